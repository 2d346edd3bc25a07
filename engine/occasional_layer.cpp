#include "engine/occasional_layer.h"

namespace engine {

void OccasionalLayer::switchClick() {
    if (!m_c.sw.checked()) {
        m_engine.releaseChannel(m_c.slot);
        m_c.timer.setEnabled(false);
        return;
    }
    m_elapsedMs = 0;
    classChange();
    m_c.timer.setEnabled(true);
}

void OccasionalLayer::classChange() {
    if (const form::RangedItem* row = form::selectedRow(form::kIntervalClasses, m_c.classes)) {
        m_minSec = row->low;
        m_maxSec = row->high;
    }
    m_waitMs = m_engine.rng().randomRange(m_minSec, m_maxSec) * 1000;
}

void OccasionalLayer::tick() {
    if (m_engine.isActive(m_c.slot)) return;
    if (m_engine.isActive(Slot::rainChannel)) return;
    m_elapsedMs += 1000;
    if (m_elapsedMs < m_waitMs) return;
    const int32_t n = m_engine.rng().randomRange(1, m_c.recordings + 1);
    m_engine.startSample(m_c.slot, SampleFolder::Once, m_c.prefix + std::to_string(n), 0,
                         sliderVolume(m_c.slider));
    m_waitMs = m_engine.rng().randomRange(m_minSec, m_maxSec) * 1000;
    m_elapsedMs = 0;
}

void OccasionalLayer::volumeChange() { m_engine.setVolume(m_c.slot, sliderVolume(m_c.slider)); }

}  // namespace engine
