// The system output level set through the sound server's default sink. The master slider and
// the sound switch call setWaveVolume on the UI thread, only on user actions, so every call opens
// its own short-lived connection: nothing is cached and a restarted server is simply found again.
//
// Without a reachable server the call returns false at once. Only when the server refuses the
// connection (no server socket) is ALSA's "default" mixer tried instead; after a timeout it is
// not, because that mixer may route through the same hung server and block. Nothing is printed.
#pragma once

#include <cstdint>

#include "engine/system_volume.h"

namespace engine {

// The server's raw volume for a 16-bit level (0..65535, 65535 = full): the nearest value to
// PA_VOLUME_NORM * v / 65535, so the level reads back exactly as that raw value.
uint32_t paVolumeForLevel(uint16_t v);

// The raw volume of the default sink's first channel, or -1 when no server or no default sink
// answers. For checks that the level really reached the server.
int64_t readDefaultSinkVolume();

class PulseVolume : public SystemVolume {
public:
    // Sets every channel of the default sink to the louder of the word's two levels. Level 0 is
    // volume 0, not the mute flag. True when the server (or the ALSA fallback) confirmed it.
    bool setWaveVolume(uint32_t word) override;
};

}  // namespace engine
