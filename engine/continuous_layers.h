// The brook and the distant birds: each plays one looping recording, in one of two variants,
// while its switch is on. Every run of a toggle ends the current stream; a run with the switch on
// starts the chosen variant from its beginning. The rain never touches these layers.
#pragma once

#include "engine/sound_engine.h"
#include "form/main_form.h"

namespace engine {

class ContinuousLayers {
public:
    ContinuousLayers(form::MainForm& form, SoundEngine& engine) : m_form(form), m_engine(engine) {}

    void chk1Click();  // brook toggle; also run by rb1/rb2 becoming checked
    void chk2Click();  // distant-birds toggle; also run by rb3/rb4 becoming checked
    void TrackBar1Change();
    void trckbr1Change();

private:
    void toggle(const form::CheckBox& sw, const form::RadioButton& first, const char* firstFile,
                const char* secondFile, const form::TrackBar& slider, Slot slot);

    form::MainForm& m_form;
    SoundEngine& m_engine;
};

}  // namespace engine
