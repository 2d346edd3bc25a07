#include "engine/rain.h"

namespace engine {

void RainLayer::chk7Click() {
    if (!m_c.sw.checked()) {
        releaseRain();
        m_c.schedulerTimer.setEnabled(false);
        m_c.episodeTimer.setEnabled(false);
        // Clearing a checked thunder box runs this handler once more, nested; that run finds
        // the box clear and stops there.
        m_c.thunder.setChecked(false);
        endEpisodeBySwitch();
    }
    if (m_c.sw.checked()) {
        releaseRain();
        m_rainTicks = 0;
        cbb3Change();
        cbb4Change();
        m_c.schedulerTimer.setEnabled(true);
        m_c.episodeTimer.setEnabled(false);
        endEpisodeBySwitch();
    }
}

void RainLayer::endEpisodeBySwitch() {
    unlockRainControls();
    setSongVolumes(sliderVolume(m_c.songSlider));
    m_c.button.setCaption(kRainCaptionIdle);
}

void RainLayer::cbb3Change() {
    if (const form::RangedItem* row = form::selectedRow(form::kRainFrequencies, m_c.frequency)) {
        m_rainMinTicks = row->low;
        m_rainMaxTicks = row->high;
    }
    m_rainDueTicks = m_engine.rng().randomRange(m_rainMinTicks, m_rainMaxTicks);
}

void RainLayer::tmr3Timer() {
    if (m_engine.isActive(Slot::rainChannel)) return;
    m_rainTicks += 1;
    if (m_rainTicks >= m_rainDueTicks) {
        btn1Click();
        m_rainDueTicks = m_engine.rng().randomRange(m_rainMinTicks, m_rainMaxTicks);
        m_rainTicks = 0;
    }
}

}  // namespace engine
