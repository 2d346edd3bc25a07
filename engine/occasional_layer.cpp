#include "engine/occasional_layer.h"

namespace engine {

void OccasionalLayer::switchClick() {
    if (!m_c.sw.checked()) {
        m_engine.releaseChannel(m_c.slot);
        m_c.timer.setEnabled(false);
        return;
    }
    elapsedMs = 0;
    classChange();
    m_c.timer.setEnabled(true);
}

void OccasionalLayer::classChange() {
    if (const form::RangedItem* row = form::selectedRow(form::kIntervalClasses, m_c.classes)) {
        minSec = row->low;
        maxSec = row->high;
    }
    waitMs = m_engine.rng.randomRange(minSec, maxSec) * 1000;
}

void OccasionalLayer::tick() {
    if (m_engine.isActive(m_c.slot)) return;
    if (m_engine.isActive(m_engine.rainChannel)) return;
    elapsedMs += 1000;
    if (elapsedMs < waitMs) return;
    const int32_t n = m_engine.rng.randomRange(1, m_c.recordings + 1);
    m_engine.startSample(m_c.slot, SampleFolder::Once, m_c.prefix + std::to_string(n), 0,
                         sliderVolume(m_c.slider), m_c.path);
    waitMs = m_engine.rng.randomRange(minSec, maxSec) * 1000;
    elapsedMs = 0;
}

void OccasionalLayer::volumeChange() { m_engine.setVolume(m_c.slot, sliderVolume(m_c.slider)); }

}  // namespace engine
