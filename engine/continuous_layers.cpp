#include "engine/continuous_layers.h"

namespace engine {

void ContinuousLayers::chk1Click() {
    toggle(m_form.chk1, m_form.rb1, "ruchey3", "ruchey4", m_form.TrackBar1, m_engine.brookChannel,
           m_engine.brookPath);
}

void ContinuousLayers::chk2Click() {
    toggle(m_form.chk2, m_form.rb3, "pticv1", "pticv2", m_form.trckbr1,
           m_engine.distantBirdsChannel, m_engine.distantBirdsPath);
}

void ContinuousLayers::TrackBar1Change() {
    m_engine.setVolume(m_engine.brookChannel, sliderVolume(m_form.TrackBar1));
}

void ContinuousLayers::trckbr1Change() {
    m_engine.setVolume(m_engine.distantBirdsChannel, sliderVolume(m_form.trckbr1));
}

void ContinuousLayers::toggle(const form::CheckBox& sw, const form::RadioButton& first,
                              const char* firstFile, const char* secondFile,
                              const form::TrackBar& slider, Handle& slot, std::string& path) {
    m_engine.releaseChannel(slot);
    if (!sw.checked()) return;
    m_engine.buildPath(SampleFolder::Loop, first.checked() ? firstFile : secondFile, path);
    m_engine.createAndPlay(slot, path, kSampleLoop, sliderVolume(slider));
}

}  // namespace engine
