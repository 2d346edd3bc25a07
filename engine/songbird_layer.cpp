#include "engine/songbird_layer.h"

namespace engine {

void SongbirdLayer::chk5Click() {
    m_engine.releaseChannel(Slot::songChannelA);
    m_engine.releaseChannel(Slot::songChannelB);
    if (!m_c.sw.checked()) {
        m_c.timer.setEnabled(false);
        m_c.speciesA.setEnabled(false);
        m_c.speciesB.setEnabled(false);
        return;
    }
    m_c.speciesA.setEnabled(true);
    m_c.speciesB.setEnabled(m_c.duet.checked());
    m_c.speciesA.clear();
    const int last = m_c.solo.checked() ? form::kSpeciesCount : form::kFirstDuetSpeciesB - 1;
    for (std::string& item : form::speciesItems(1, last)) m_c.speciesA.addItem(std::move(item));
    m_c.timer.setEnabled(true);
}

void SongbirdLayer::cbb5Click() {
    m_nextSingerA = m_c.speciesA.itemIndex() + 1;
    m_engine.releaseChannel(Slot::songChannelA);
}

void SongbirdLayer::cbb6Click() {
    m_nextSingerB = m_c.speciesB.itemIndex() + form::kFirstDuetSpeciesB;
    m_engine.releaseChannel(Slot::songChannelB);
}

void SongbirdLayer::tmr5Timer() {
    if (m_c.solo.checked() && !m_engine.isActive(Slot::songChannelA))
        startSong(Slot::songChannelA, m_nextSingerA, 1, form::kSpeciesCount + 1, m_c.speciesA, 1);
    if (m_c.duet.checked()) {
        if (!m_engine.isActive(Slot::songChannelA))
            startSong(Slot::songChannelA, m_nextSingerA, 1, form::kFirstDuetSpeciesB, m_c.speciesA,
                      1);
        if (!m_engine.isActive(Slot::songChannelB))
            startSong(Slot::songChannelB, m_nextSingerB, form::kFirstDuetSpeciesB,
                      form::kSpeciesCount + 1, m_c.speciesB, form::kFirstDuetSpeciesB);
    }
}

void SongbirdLayer::trckbr6Change() {
    const float volume = sliderVolume(m_c.slider);
    m_engine.setVolume(Slot::songChannelA, volume);
    m_engine.setVolume(Slot::songChannelB, volume);
}

void SongbirdLayer::startSong(Slot slot, int32_t& nextSinger, int32_t lo, int32_t hi,
                              form::ComboBox& list, int firstSpeciesInList) {
    m_songStartVolume = m_engine.isActive(Slot::rainChannel) ? 0.0 : sliderLevel(m_c.slider);
    if (nextSinger < 0) nextSinger = m_engine.rng().randomRange(lo, hi);
    const int32_t species = nextSinger;
    list.setItemIndex(species - firstSpeciesInList);
    m_engine.startSample(slot, SampleFolder::Once, "pticp" + std::to_string(species), 0,
                         static_cast<float>(m_songStartVolume));
    nextSinger = -1;
}

}  // namespace engine
