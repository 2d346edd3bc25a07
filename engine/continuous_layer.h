// The brook and the distant birds: each plays one looping recording, in one of two variants,
// while its switch is on. Every run of a toggle ends the current stream; a run with the switch on
// starts the chosen variant from its beginning. The rain never touches these layers.
#pragma once

#include "engine/sound_engine.h"
#include "form/controls.h"

namespace engine {

struct ContinuousLayerConfig {
    const form::CheckBox& sw;        // the layer switch
    const form::RadioButton& first;  // checked: the first variant, else the second
    const form::TrackBar& slider;    // volume
    Slot slot;                       // the layer's channel slot
    const char* firstFile;           // the variants' names in the loop folder
    const char* secondFile;
};

class ContinuousLayer {
public:
    ContinuousLayer(ContinuousLayerConfig config, SoundEngine& engine)
        : m_c(config), m_engine(engine) {}

    void switchClick();   // chk1Click / chk2Click; also run by the variant pair becoming checked
    void volumeChange();  // TrackBar1Change / trckbr1Change

private:
    ContinuousLayerConfig m_c;
    SoundEngine& m_engine;
};

}  // namespace engine
