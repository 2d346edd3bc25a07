#include "engine/songbird_layer.h"

namespace engine {

void SongbirdLayer::chk5Click() {
    m_engine.releaseChannel(m_engine.songChannelA);
    m_engine.releaseChannel(m_engine.songChannelB);
    if (!m_form.chk5.checked()) {
        m_form.tmr5.setEnabled(false);
        m_form.cbb5.setEnabled(false);
        m_form.cbb6.setEnabled(false);
        return;
    }
    m_form.cbb5.setEnabled(true);
    m_form.cbb6.setEnabled(m_form.rb6.checked());
    m_form.cbb5.clear();
    const auto& species = form::speciesItems();
    const size_t count = m_form.rb5.checked() ? species.size() : 7;
    for (size_t i = 0; i < count; ++i) m_form.cbb5.addItem(species[i]);
    m_form.tmr5.setEnabled(true);
}

void SongbirdLayer::cbb5Click() {
    nextSingerA = m_form.cbb5.itemIndex() + 1;
    m_engine.releaseChannel(m_engine.songChannelA);
}

void SongbirdLayer::cbb6Click() {
    nextSingerB = m_form.cbb6.itemIndex() + 8;
    m_engine.releaseChannel(m_engine.songChannelB);
}

void SongbirdLayer::tmr5Timer() {
    if (m_form.rb5.checked() && !m_engine.isActive(m_engine.songChannelA))
        startSong(m_engine.songChannelA, nextSingerA, 1, 15, m_form.cbb5, 1);
    if (m_form.rb6.checked()) {
        if (!m_engine.isActive(m_engine.songChannelA))
            startSong(m_engine.songChannelA, nextSingerA, 1, 8, m_form.cbb5, 1);
        if (!m_engine.isActive(m_engine.songChannelB))
            startSong(m_engine.songChannelB, nextSingerB, 8, 15, m_form.cbb6, 8);
    }
}

void SongbirdLayer::trckbr6Change() {
    const float volume = sliderVolume(m_form.trckbr6);
    m_engine.setVolume(m_engine.songChannelA, volume);
    m_engine.setVolume(m_engine.songChannelB, volume);
}

void SongbirdLayer::startSong(Handle& slot, int32_t& nextSinger, int32_t lo, int32_t hi,
                              form::ComboBox& list, int firstSpeciesInList) {
    songStartVolume =
        m_engine.isActive(m_engine.rainChannel) ? 0.0 : m_form.trckbr6.position() / 20.0;
    if (nextSinger < 0) nextSinger = m_engine.rng.randomRange(lo, hi);
    const int32_t species = nextSinger;
    list.setItemIndex(species - firstSpeciesInList);
    m_engine.startSample(slot, SampleFolder::Once, "pticp" + std::to_string(species), 0,
                         static_cast<float>(songStartVolume), m_engine.songPath);
    nextSinger = -1;
}

}  // namespace engine
