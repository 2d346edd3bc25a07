#include "engine/random.h"

#include <gtest/gtest.h>

#include "engine/sound_engine.h"

namespace {

TEST(Random, PublishedSequence) {
    engine::Random r;
    std::vector<int32_t> draws;
    for (int i = 0; i < 5; ++i) draws.push_back(r.randomInt(10));
    EXPECT_EQ(draws, (std::vector<int32_t>{0, 0, 8, 2, 2}));
}

TEST(Random, FirstDrawsOfAFreshGenerator) {
    for (int32_t n : {1, 2, 31, 1000, 2147483647}) {
        engine::Random r;
        EXPECT_EQ(r.randomInt(n), 0) << n;
        EXPECT_EQ(r.randSeed(), 1u);
        if (n < 32) {
            EXPECT_EQ(r.randomInt(n), 0) << n;
        }
    }
    engine::Random r;
    EXPECT_EQ(r.randomInt(0), 0);
}

TEST(Random, RangeBoundsAndEqualBoundsStillAdvance) {
    engine::Random r;
    EXPECT_EQ(r.randomRange(40, 40), 40);
    EXPECT_EQ(r.randSeed(), 1u);
    int lo = 100, hi = -100;
    for (int i = 0; i < 5000; ++i) {
        const int v = r.randomRange(2, 7);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    EXPECT_EQ(lo, 2);
    EXPECT_EQ(hi, 6);
    // Reversed bounds draw from hi .. lo-1.
    lo = 100, hi = -100;
    for (int i = 0; i < 5000; ++i) {
        const int v = r.randomRange(7, 2);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    EXPECT_EQ(lo, 2);
    EXPECT_EQ(hi, 6);
}

TEST(SliderVolume, PositionOverTwenty) {
    form::TrackBar slider("s", 0, 14);
    slider.setMax(20);
    const std::pair<int, float> cases[] = {{0, 0.0f}, {1, 0.05f}, {10, 0.5f}, {20, 1.0f}};
    for (auto [position, volume] : cases) {
        slider.setPosition(position);
        EXPECT_EQ(engine::sliderVolume(slider), volume) << position;
    }
}

}  // namespace
