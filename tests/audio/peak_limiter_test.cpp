#include "engine/audio/peak_limiter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace engine {
namespace {

constexpr unsigned kRate = 48000;
constexpr size_t kBlock = 3600;  // 75 ms, as the sound server asks for it

// A stereo tone of 441 Hz at the given amplitude, `blocks` blocks long, from frame `from` on.
std::vector<float> tone(float amplitude, size_t frames, size_t from = 0) {
    std::vector<float> out(2 * frames);
    for (size_t f = 0; f < frames; ++f) {
        out[2 * f] = out[2 * f + 1] =
            amplitude * static_cast<float>(std::sin(2 * M_PI * 441.0 * double(from + f) / kRate));
    }
    return out;
}

void processInBlocks(PeakLimiter& limiter, std::vector<float>& samples) {
    for (size_t f = 0; f < samples.size() / 2; f += kBlock) {
        limiter.process(samples.data() + 2 * f, std::min(kBlock, samples.size() / 2 - f));
    }
}

TEST(PeakLimiter, MixUpToFullScaleIsLeftBitExact) {
    for (float amplitude : {0.0f, 0.3f, 1.0f}) {
        PeakLimiter limiter(kRate);
        const std::vector<float> in = tone(amplitude, kRate);
        std::vector<float> out = in;
        processInBlocks(limiter, out);
        EXPECT_EQ(out, in) << "amplitude " << amplitude;
    }
}

// A loud stretch comes out within full scale, turned down as a whole rather than clipped flat
// (a sine keeps a sine's ratio of peak to RMS); once it is over the gain comes back and the
// quiet mix after it is left bit-exact again.
TEST(PeakLimiter, LoudStretchIsTurnedDownNotClippedAndTheGainComesBack) {
    for (float amplitude : {1.5f, 3.0f, 40.0f}) {
        SCOPED_TRACE(amplitude);
        PeakLimiter limiter(kRate);
        std::vector<float> loud = tone(amplitude, 2 * kRate);
        processInBlocks(limiter, loud);
        double sum = 0.0;
        float peak = 0.0f;
        for (size_t i = 0; i < loud.size(); ++i) {
            ASSERT_LE(std::fabs(loud[i]), PeakLimiter::kCeiling) << "sample " << i;
            if (i >= loud.size() / 2) {  // the second second: the gain has settled
                sum += double(loud[i]) * loud[i];
                peak = std::max(peak, std::fabs(loud[i]));
            }
        }
        const double rms = std::sqrt(sum / double(loud.size() / 2));
        EXPECT_NEAR(peak / rms, std::sqrt(2.0), 0.05) << "a sine, not a clipped one";
        EXPECT_GT(peak, 0.9f) << "turned down to full scale, not far below it";

        std::vector<float> quiet = tone(0.3f, 6 * kRate, 2 * kRate);
        const std::vector<float> expected = quiet;
        processInBlocks(limiter, quiet);
        const size_t lastSecond = 2 * 5 * kRate;
        EXPECT_TRUE(
            std::equal(quiet.begin() + lastSecond, quiet.end(), expected.begin() + lastSecond))
            << "gain back to 1 within five seconds";
    }
}

}  // namespace
}  // namespace engine
