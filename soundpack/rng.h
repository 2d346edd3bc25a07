// The sound pack's own random generator: xoshiro256** seeded through splitmix64. Every draw is
// plain integer arithmetic plus a few libm calls, so the same seed renders the same audio with
// any standard library (the std distributions differ between implementations).
#pragma once

#include <cmath>
#include <cstdint>

namespace soundpack {

class Rng {
public:
    explicit Rng(uint64_t seed) {
        uint64_t x = seed;
        for (auto& s : m_s) s = splitmix(x);
    }

    uint64_t next() {
        const uint64_t result = rotl(m_s[1] * 5, 7) * 9;
        const uint64_t t = m_s[1] << 17;
        m_s[2] ^= m_s[0];
        m_s[3] ^= m_s[1];
        m_s[1] ^= m_s[2];
        m_s[0] ^= m_s[3];
        m_s[2] ^= t;
        m_s[3] = rotl(m_s[3], 45);
        return result;
    }

    // [0, 1) with 53 random bits.
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    double range(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    // Inclusive integer range.
    int integer(int lo, int hi) {
        return lo + static_cast<int>(next() % static_cast<uint64_t>(hi - lo + 1));
    }
    bool chance(double p) { return uniform() < p; }
    double logRange(double lo, double hi) { return lo * std::exp(std::log(hi / lo) * uniform()); }
    // Standard normal by Box-Muller (no cached second value, so draws stay independent of order).
    double normal() {
        const double u1 = 1.0 - uniform();
        const double u2 = uniform();
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    }
    // Multiplies by a random factor of +-cents-like relative spread.
    double jitter(double value, double relative) { return value * (1.0 + relative * range(-1, 1)); }
    // An independent generator for a sub-part, so adding draws in one part leaves others alone.
    Rng fork(uint64_t salt) { return Rng(next() ^ (salt * 0x9E3779B97F4A7C15ull)); }

private:
    static uint64_t rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    static uint64_t splitmix(uint64_t& x) {
        uint64_t z = (x += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint64_t m_s[4];
};

}  // namespace soundpack
