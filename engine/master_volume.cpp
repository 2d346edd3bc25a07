#include "engine/master_volume.h"

namespace engine {

uint32_t masterVolumeWord(int position) {
    const uint32_t v = static_cast<uint16_t>(position * 650);
    return v + v * 65536u;
}

void MasterVolume::strckbr11Change() {
    m_system.setWaveVolume(masterVolumeWord(m_form.strckbr11.position()));
}

void MasterVolume::chk10Click() {
    const bool on = m_form.chk10.checked();
    m_system.setWaveVolume(on ? masterVolumeWord(m_form.strckbr11.position()) : 0);
    if (onTrayImage) onTrayImage(on ? 1 : 0);
}

void MasterVolume::toggleSound() {
    m_form.chk10.setChecked(!m_form.chk10.checked());
    chk10Click();
}

}  // namespace engine
