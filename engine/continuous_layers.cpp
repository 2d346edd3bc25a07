#include "engine/continuous_layers.h"

namespace engine {

void ContinuousLayers::chk1Click() {
    toggle(m_form.chk1, m_form.rb1, "ruchey3", "ruchey4", m_form.TrackBar1, Slot::Brook);
}

void ContinuousLayers::chk2Click() {
    toggle(m_form.chk2, m_form.rb3, "pticv1", "pticv2", m_form.trckbr1, Slot::DistantBirds);
}

void ContinuousLayers::TrackBar1Change() {
    m_engine.setVolume(Slot::Brook, sliderVolume(m_form.TrackBar1));
}

void ContinuousLayers::trckbr1Change() {
    m_engine.setVolume(Slot::DistantBirds, sliderVolume(m_form.trckbr1));
}

void ContinuousLayers::toggle(const form::CheckBox& sw, const form::RadioButton& first,
                              const char* firstFile, const char* secondFile,
                              const form::TrackBar& slider, Slot slot) {
    m_engine.releaseChannel(slot);
    if (!sw.checked()) return;
    m_engine.buildPath(slot, SampleFolder::Loop, first.checked() ? firstFile : secondFile);
    m_engine.createAndPlay(slot, kSampleLoop, sliderVolume(slider));
}

}  // namespace engine
