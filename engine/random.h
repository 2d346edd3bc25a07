// The program's one random generator: a 32-bit linear congruential state that starts at 0 on
// every run and is never seeded, so a run's draws depend only on their order. Every random
// choice of the soundscape goes through randomRange. UI thread only.
#pragma once

#include <cstdint>

namespace engine {

class Random {
public:
    // 0 .. n-1 for n > 0; 0 for n = 0.
    int32_t randomInt(int32_t n);
    // lo .. hi-1 when hi >= lo (lo itself when they are equal); hi .. lo-1 otherwise.
    int32_t randomRange(int32_t lo, int32_t hi);

    // The state; copying a generator copies the draws to come.
    uint32_t randSeed() const { return m_randSeed; }

private:
    uint32_t m_randSeed = 0;
};

}  // namespace engine
