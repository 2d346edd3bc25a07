// The rain: episodes (a shower that fades in over 30 one-second steps while the songbirds fade
// out, plays for twelve minutes or a drawn duration, optionally with thunder, and fades out
// again) and the scheduler that starts them after a random number of rain-free 100-second
// ticks. The rain button's caption is the episode's state. Any change of the rain switch, the
// thunder box or the rain mode ends a running episode at once, without a fade-out.
#pragma once

#include <string>

#include "engine/sound_engine.h"
#include "form/main_form.h"

namespace engine {

extern const char* const kRainCaptionIdle;    // "Дождя!"
extern const char* const kRainCaptionSteady;  // "Хватит дождя!"

class RainLayer {
public:
    RainLayer(form::MainForm& form, SoundEngine& engine) : m_form(form), m_engine(engine) {}

    // Episode.
    void btn1Click();  // the press: starts an episode on "Дождя!", ends one on "Хватит дождя!"
    void tmr4Timer();  // one step of the episode
    void cbb4Change();
    void trckbr9Change();
    void unlockRainControls();

    // Scheduler.
    void chk7Click();  // rain switch; also run by chk8, rb7 and rb8
    void cbb3Change();
    void tmr3Timer();

    int32_t rainTicks = 0;
    int32_t rainDueTicks = 0;
    int32_t rainMinTicks = 0;
    int32_t rainMaxTicks = 0;

    int32_t rainMinUnits = 0;
    int32_t rainMaxUnits = 0;
    int32_t rainDurationMs = 0;
    int32_t rainElapsedMs = 0;
    int32_t fadeInStep = 0;
    int32_t fadeOutStep = 0;
    double songFadeVolume = 0.0;
    double rainFadeVolume = 0.0;

private:
    void releaseRain();  // the rain and the thunder streams
    void setSongVolumes(float volume);
    void endEpisodeBySwitch();
    void lockControls();

    form::MainForm& m_form;
    SoundEngine& m_engine;
};

}  // namespace engine
