#include "engine/rain.h"

namespace engine {

void RainLayer::chk7Click() {
    if (!m_form.chk7.checked()) {
        releaseRain();
        m_form.tmr3.setEnabled(false);
        m_form.tmr4.setEnabled(false);
        // Clearing a checked thunder box runs this handler once more, nested; that run finds
        // the box clear and stops there.
        m_form.chk8.setChecked(false);
        endEpisodeBySwitch();
    }
    if (m_form.chk7.checked()) {
        releaseRain();
        m_rainTicks = 0;
        cbb3Change();
        cbb4Change();
        m_form.tmr3.setEnabled(true);
        m_form.tmr4.setEnabled(false);
        endEpisodeBySwitch();
    }
}

void RainLayer::endEpisodeBySwitch() {
    unlockRainControls();
    setSongVolumes(sliderVolume(m_form.trckbr6));
    m_form.btn1.setCaption(kRainCaptionIdle);
}

void RainLayer::cbb3Change() {
    if (const form::RangedItem* row = form::selectedRow(form::kRainFrequencies, m_form.cbb3)) {
        m_rainMinTicks = row->low;
        m_rainMaxTicks = row->high;
    }
    m_rainDueTicks = m_engine.rng().randomRange(m_rainMinTicks, m_rainMaxTicks);
}

void RainLayer::tmr3Timer() {
    if (m_engine.isActive(Slot::Rain)) return;
    m_rainTicks += 1;
    if (m_rainTicks >= m_rainDueTicks) {
        btn1Click();
        m_rainDueTicks = m_engine.rng().randomRange(m_rainMinTicks, m_rainMaxTicks);
        m_rainTicks = 0;
    }
}

}  // namespace engine
