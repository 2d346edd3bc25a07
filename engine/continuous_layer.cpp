#include "engine/continuous_layer.h"

namespace engine {

void ContinuousLayer::switchClick() {
    m_engine.releaseChannel(m_c.slot);
    if (!m_c.sw.checked()) return;
    m_engine.buildPath(m_c.slot, SampleFolder::Loop,
                       m_c.first.checked() ? m_c.firstFile : m_c.secondFile);
    m_engine.createAndPlay(m_c.slot, kSampleLoop, sliderVolume(m_c.slider));
}

void ContinuousLayer::volumeChange() { m_engine.setVolume(m_c.slot, sliderVolume(m_c.slider)); }

}  // namespace engine
