// The system output level the master slider and the sound switch act on. The level word holds
// the left channel's level in its low 16 bits and the right channel's in its high 16 bits
// (0 silent, 0xFFFF full). Returns true when the level was set; a system without a settable
// output level returns false at once and sets nothing. UI thread only.
#pragma once

#include <cstdint>

namespace engine {

class SystemVolume {
public:
    virtual ~SystemVolume() = default;
    virtual bool setWaveVolume(uint32_t word) = 0;
};

}  // namespace engine
