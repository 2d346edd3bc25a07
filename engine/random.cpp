#include "engine/random.h"

namespace engine {

int32_t Random::randomInt(int32_t n) {
    m_randSeed = m_randSeed * 0x08088405u + 1u;
    const uint64_t product = static_cast<uint64_t>(m_randSeed) * static_cast<uint32_t>(n);
    return static_cast<int32_t>(product >> 32);
}

int32_t Random::randomRange(int32_t lo, int32_t hi) {
    // The differences are taken in 32-bit two's complement, so a range wider than int32 wraps
    // the same way on every machine and a seed always gives the same draws.
    if (hi >= lo)
        return static_cast<int32_t>(static_cast<uint32_t>(lo) +
                                    static_cast<uint32_t>(randomInt(static_cast<int32_t>(
                                        static_cast<uint32_t>(hi) - static_cast<uint32_t>(lo)))));
    return static_cast<int32_t>(static_cast<uint32_t>(hi) +
                                static_cast<uint32_t>(randomInt(static_cast<int32_t>(
                                    static_cast<uint32_t>(lo) - static_cast<uint32_t>(hi)))));
}

}  // namespace engine
