// Keeps the mix within full scale at next to no cost. Almost always the mix is well below it and
// all this does is find each block's peak; only the rare moment when several loud layers meet (a
// thunder strike over songs and insects) turns the block down: the gain glides down to what the
// block's peak allows within the first few milliseconds, then comes back up over about half a
// second. Whatever still passes full scale while the gain glides down is clipped. OpenAL's own
// limiter does the same with a gain worked out sample by sample, which costs more than mixing.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace engine {

class PeakLimiter {
public:
    static constexpr float kCeiling = 1.0f;
    static constexpr float kUnity = 0.999f;  // a gain this close to 1 is inaudible: taken as 1

    explicit PeakLimiter(unsigned rate)
        : m_attackFrames(std::max(1u, rate / 200)), m_releaseFrames(std::max(1.0f, 0.5f * rate)) {}

    float gain() const { return m_gain; }

    // Interleaved stereo, `frames` frames, in place.
    void process(float* samples, size_t frames) {
        const float peak = peakOf(samples, 2 * frames);
        const float allowed = peak > kCeiling ? kCeiling / peak : 1.0f;
        float target = allowed;
        if (allowed >= m_gain) {
            // Release: the gain comes back towards what this block allows, by how long it lasts.
            const float kept = std::exp(-static_cast<float>(frames) / m_releaseFrames);
            target = allowed - (allowed - m_gain) * kept;
            if (allowed == 1.0f && target > kUnity) target = 1.0f;  // back to leaving it alone
        }
        if (target == 1.0f && m_gain == 1.0f) return;  // the usual block: left alone
        const size_t ramp = target < m_gain ? std::min(frames, m_attackFrames) : frames;
        const float start = m_gain;
        const float step = ramp > 0 ? (target - start) / static_cast<float>(ramp) : 0.0f;
        for (size_t f = 0; f < frames; ++f) {
            const float g = f < ramp ? start + step * static_cast<float>(f + 1) : target;
            float& left = samples[2 * f];
            float& right = samples[2 * f + 1];
            left = std::clamp(left * g, -kCeiling, kCeiling);
            right = std::clamp(right * g, -kCeiling, kCeiling);
        }
        m_gain = target;
    }

private:
    // The largest magnitude in the block. The runs keep kRun peaks side by side, folded together
    // at the end: GCC vectorises that at -O2, where a loop keeping a single peak stays one sample
    // at a time.
    static float peakOf(const float* samples, size_t count) {
        constexpr size_t kRun = 16;
        std::array<float, kRun> peaks{};
        size_t i = 0;
        for (; i + kRun <= count; i += kRun) {
            for (size_t j = 0; j < kRun; ++j) {
                peaks[j] = std::max(peaks[j], std::fabs(samples[i + j]));
            }
        }
        for (; i < count; ++i) peaks[0] = std::max(peaks[0], std::fabs(samples[i]));
        float peak = 0.0f;
        for (float p : peaks) peak = std::max(peak, p);
        return peak;
    }

    size_t m_attackFrames;
    float m_releaseFrames;
    float m_gain = 1.0f;
};

}  // namespace engine
