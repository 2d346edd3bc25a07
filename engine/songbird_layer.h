// The songbirds: recorded songs back to back, solo (one voice, species 1..14) or in duet
// (voice A species 1..7, voice B species 8..14). Each new song's species is drawn at random
// unless the user picked one in the voice's list; each list shows its voice's current species.
// A song that starts while the rain slot sounds starts silent; the rain's cross-fade moves the
// voices' volume.
#pragma once

#include "engine/sound_engine.h"
#include "form/controls.h"
#include "form/main_form.h"  // the species table
#include "form/timer.h"

namespace engine {

struct SongbirdLayerConfig {
    const form::CheckBox& sw;       // the layer switch
    const form::RadioButton& solo;  // one voice of any species
    const form::RadioButton& duet;  // voice A of the first species, voice B of the rest
    form::ComboBox& speciesA;       // shows voice A's species; a pick sets its next one
    form::ComboBox& speciesB;       // the same for voice B, in a duet only
    form::Timer& timer;             // one-second tick, on while the layer is on
    const form::TrackBar& slider;   // volume
};

class SongbirdLayer {
public:
    SongbirdLayer(SongbirdLayerConfig config, SoundEngine& engine)
        : m_c(config), m_engine(engine) {}

    void chk5Click();  // layer switch; also run by rb5/rb6 becoming checked
    void cbb5Click();  // user picks voice A's next species
    void cbb6Click();  // user picks voice B's next species
    void tmr5Timer();
    void trckbr6Change();

    // -1: voice B's next species is drawn; otherwise the species its next song must be.
    int32_t nextSingerB() const { return m_nextSingerB; }
    // The start volume of the latest song: 0 when it started under rain.
    double songStartVolume() const { return m_songStartVolume; }

private:
    void startSong(Slot slot, int32_t& nextSinger, int32_t lo, int32_t hi, form::ComboBox& list,
                   int firstSpeciesInList);

    SongbirdLayerConfig m_c;
    SoundEngine& m_engine;
    // -1: the voice's next species is drawn; otherwise the species its next song must be.
    int32_t m_nextSingerA = -1;
    int32_t m_nextSingerB = -1;
    double m_songStartVolume = 0.0;
};

}  // namespace engine
