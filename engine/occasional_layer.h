// Insects and extra birds: twin layers of short one-shot recordings that sound now and then.
// While on, a layer waits a random number of seconds from its interval class, counting only
// one-second ticks on which neither its own recording nor the rain sounds, then plays a random
// recording of its numbered set and draws the next wait.
#pragma once

#include <string>

#include "engine/sound_engine.h"
#include "form/main_form.h"

namespace engine {

struct OccasionalLayerConfig {
    form::CheckBox& sw;       // the layer switch
    form::ComboBox& classes;  // the interval class list
    form::Timer& timer;       // one-second tick, on while the layer is on
    form::TrackBar& slider;   // volume
    Slot slot;                // the layer's channel slot
    const char* prefix;       // file name prefix in the one-shot folder
    int recordings;           // files prefix1 .. prefixN
};

class OccasionalLayer {
public:
    OccasionalLayer(OccasionalLayerConfig config, SoundEngine& engine)
        : m_c(config), m_engine(engine) {}

    void switchClick();   // chk9Click / chk6Click
    void classChange();   // cbb1Change / cbb2Change
    void tick();          // Timer1Timer / tmr2Timer
    void volumeChange();  // trckbr10Change / trckbr7Change

    // The drawn wait and the silence counted towards it.
    int32_t waitMs() const { return m_waitMs; }
    int32_t elapsedMs() const { return m_elapsedMs; }

private:
    // Interval-class bounds in seconds (upper exclusive).
    int32_t m_minSec = 0;
    int32_t m_maxSec = 0;
    int32_t m_waitMs = 0;
    int32_t m_elapsedMs = 0;

    OccasionalLayerConfig m_c;
    SoundEngine& m_engine;
};

}  // namespace engine
