#include "engine/master_volume.h"

namespace engine {

uint32_t masterVolumeWord(int position) {
    const uint32_t v = static_cast<uint16_t>(position * 650);
    return v + v * 65536u;
}

void MasterVolume::strckbr11Change() {
    m_system.setWaveVolume(masterVolumeWord(m_c.slider.position()));
}

void MasterVolume::chk10Click() {
    const bool on = m_c.sw.checked();
    m_system.setWaveVolume(on ? masterVolumeWord(m_c.slider.position()) : 0);
    if (onTrayImage) onTrayImage(on ? 1 : 0);
}

void MasterVolume::toggleSound() {
    m_c.sw.setChecked(!m_c.sw.checked());
    chk10Click();
}

}  // namespace engine
