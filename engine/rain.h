// The rain: episodes (a shower that fades in over 30 one-second steps while the songbirds fade
// out, plays for twelve minutes or a drawn duration, optionally with thunder, and fades out
// again) and the scheduler that starts them after a random number of rain-free 100-second
// ticks. The rain button's caption is the episode's state. Any change of the rain switch, the
// thunder box or the rain mode ends a running episode at once, without a fade-out.
#pragma once

#include <array>
#include <string>

#include "engine/sound_engine.h"
#include "form/controls.h"
#include "form/main_form.h"  // the frequency and duration tables
#include "form/timer.h"

namespace engine {

extern const char* const kRainCaptionIdle;    // "Дождя!"
extern const char* const kRainCaptionSteady;  // "Хватит дождя!"

struct RainLayerConfig {
    form::Button& button;         // "Дождя!": press, countdown, "Хватит дождя!"
    form::Timer& episodeTimer;    // the episode's steps: 1 s, then 100 s while it lasts
    form::Timer& schedulerTimer;  // 100-second tick of the scheduler
    const form::CheckBox& sw;     // the rain switch
    form::CheckBox& thunder;      // cleared with the rain switch
    const form::RadioButton& recording;  // the twelve-minute recording, played once
    const form::RadioButton& looped;     // a loop for a drawn duration
    const form::ComboBox& frequency;     // how often the scheduler rains
    const form::ComboBox& duration;      // the looped rain's duration class
    form::TrackBar& slider;              // volume
    // The songbirds' slider, which the fades move against the rain's, and with it the controls
    // an episode locks.
    form::TrackBar& songSlider;
    form::CheckBox& songSwitch;
    form::RadioButton& solo;
    form::RadioButton& duet;
    form::ComboBox& speciesA;
    form::ComboBox& speciesB;
    form::CheckBox& insectsSwitch;
    form::CheckBox& extraBirdsSwitch;
};

class RainLayer {
public:
    RainLayer(RainLayerConfig config, SoundEngine& engine) : m_c(config), m_engine(engine) {}

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

    // The scheduler's rain-free ticks counted and the count that starts the next episode.
    int32_t rainTicks() const { return m_rainTicks; }
    int32_t rainDueTicks() const { return m_rainDueTicks; }
    // The drawn length of a looped rain's episode and the part of it played so far.
    int32_t rainDurationMs() const { return m_rainDurationMs; }
    int32_t rainElapsedMs() const { return m_rainElapsedMs; }

private:
    void releaseRain();  // the rain and the thunder streams
    void setSongVolumes(float volume);
    void endEpisodeBySwitch();
    // What an episode takes from the user and gives back, besides the species lists (those come
    // back only as the songbird layer allows them).
    std::array<form::Control*, 8> episodeControls();
    void lockControls();

    RainLayerConfig m_c;
    SoundEngine& m_engine;

    int32_t m_rainTicks = 0;
    int32_t m_rainDueTicks = 0;
    int32_t m_rainMinTicks = 0;
    int32_t m_rainMaxTicks = 0;

    int32_t m_rainMinUnits = 0;
    int32_t m_rainMaxUnits = 0;
    int32_t m_rainDurationMs = 0;
    int32_t m_rainElapsedMs = 0;
    int32_t m_fadeInStep = 0;
    int32_t m_fadeOutStep = 0;
    double m_songFadeVolume = 0.0;
    double m_rainFadeVolume = 0.0;
};

}  // namespace engine
