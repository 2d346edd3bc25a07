#include "engine/songbird_layer.h"

namespace engine {

void SongbirdLayer::chk5Click() {
    m_engine.releaseChannel(Slot::SongA);
    m_engine.releaseChannel(Slot::SongB);
    if (!m_form.chk5.checked()) {
        m_form.tmr5.setEnabled(false);
        m_form.cbb5.setEnabled(false);
        m_form.cbb6.setEnabled(false);
        return;
    }
    m_form.cbb5.setEnabled(true);
    m_form.cbb6.setEnabled(m_form.rb6.checked());
    m_form.cbb5.clear();
    const int last = m_form.rb5.checked() ? form::kSpeciesCount : form::kFirstDuetSpeciesB - 1;
    for (std::string& item : form::speciesItems(1, last)) m_form.cbb5.addItem(std::move(item));
    m_form.tmr5.setEnabled(true);
}

void SongbirdLayer::cbb5Click() {
    m_nextSingerA = m_form.cbb5.itemIndex() + 1;
    m_engine.releaseChannel(Slot::SongA);
}

void SongbirdLayer::cbb6Click() {
    m_nextSingerB = m_form.cbb6.itemIndex() + form::kFirstDuetSpeciesB;
    m_engine.releaseChannel(Slot::SongB);
}

void SongbirdLayer::tmr5Timer() {
    if (m_form.rb5.checked() && !m_engine.isActive(Slot::SongA))
        startSong(Slot::SongA, m_nextSingerA, 1, form::kSpeciesCount + 1, m_form.cbb5, 1);
    if (m_form.rb6.checked()) {
        if (!m_engine.isActive(Slot::SongA))
            startSong(Slot::SongA, m_nextSingerA, 1, form::kFirstDuetSpeciesB, m_form.cbb5, 1);
        if (!m_engine.isActive(Slot::SongB))
            startSong(Slot::SongB, m_nextSingerB, form::kFirstDuetSpeciesB, form::kSpeciesCount + 1,
                      m_form.cbb6, form::kFirstDuetSpeciesB);
    }
}

void SongbirdLayer::trckbr6Change() {
    const float volume = sliderVolume(m_form.trckbr6);
    m_engine.setVolume(Slot::SongA, volume);
    m_engine.setVolume(Slot::SongB, volume);
}

void SongbirdLayer::startSong(Slot slot, int32_t& nextSinger, int32_t lo, int32_t hi,
                              form::ComboBox& list, int firstSpeciesInList) {
    m_songStartVolume = m_engine.isActive(Slot::Rain) ? 0.0 : sliderLevel(m_form.trckbr6);
    if (nextSinger < 0) nextSinger = m_engine.rng().randomRange(lo, hi);
    const int32_t species = nextSinger;
    list.setItemIndex(species - firstSpeciesInList);
    m_engine.startSample(slot, SampleFolder::Once, "pticp" + std::to_string(species), 0,
                         static_cast<float>(m_songStartVolume));
    nextSinger = -1;
}

}  // namespace engine
