// Checks shared by the in-memory tests and the checks on generated files: the songs' features
// against each species' band and against each other, and the texture of brooks, rain and thunder.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "analysis.h"

namespace soundpack_test {

// Field-guide bands: active length (s), onsets per second and median dominant frequency (Hz).
struct SpeciesBand {
    const char* name;
    double actLo, actHi, rateLo, rateHi, f50Lo, f50Hi;
};
inline const SpeciesBand kBands[14] = {
    {"bluethroat", 1.5, 5, 6, 14, 2500, 5000},   {"song thrush", 3.5, 9, 4, 10, 2500, 5000},
    {"blackbird", 0.8, 3, 3, 9, 1500, 3000},     {"skylark", 5, 12, 10, 20, 2500, 5500},
    {"robin", 0.8, 3, 5, 12, 3500, 7000},        {"chaffinch", 1.2, 3.5, 8, 14, 3000, 5000},
    {"reed warbler", 3.5, 9, 6, 14, 2000, 4500}, {"linnet", 2, 6, 7, 15, 2500, 5000},
    {"yellowhammer", 0.8, 3, 4, 9, 4500, 7500},  {"garden warbler", 4, 10, 7, 16, 1500, 3500},
    {"blackcap", 1.5, 4.5, 6, 14, 2000, 4500},   {"nightingale", 1.2, 4, 3, 20, 1000, 3000},
    {"siskin", 2, 5, 9, 18, 4000, 7000},         {"goldfinch", 2, 5, 8, 17, 3500, 6500},
};

// songs[i] is species i + 1.
inline void checkSongs(const std::vector<Stereo>& songs) {
    ASSERT_EQ(songs.size(), 14u);
    std::vector<SongFeatures> f;
    for (const Stereo& s : songs) f.push_back(songFeatures(s));
    for (size_t i = 0; i < f.size(); ++i) {
        const SpeciesBand& b = kBands[i];
        SCOPED_TRACE(b.name);
        EXPECT_GE(f[i].activeSec, b.actLo);
        EXPECT_LE(f[i].activeSec, b.actHi);
        EXPECT_GE(f[i].onsetRate, b.rateLo);
        EXPECT_LE(f[i].onsetRate, b.rateHi);
        EXPECT_GE(f[i].f50, b.f50Lo);
        EXPECT_LE(f[i].f50, b.f50Hi);
    }
    for (size_t i = 0; i < f.size(); ++i) {
        for (size_t j = i + 1; j < f.size(); ++j) {
            const std::vector<double> a = f[i].log2s(), b = f[j].log2s();
            double widest = 0;
            for (size_t k = 0; k < a.size(); ++k) widest = std::max(widest, std::fabs(a[k] - b[k]));
            EXPECT_GE(widest, 0.5) << kBands[i].name << " and " << kBands[j].name << " sound alike";
        }
    }
}

inline void checkRain(const Stereo& rain) {
    constexpr size_t kFft = 4096;
    const std::vector<double> power = powerSpectrum(monoMix(rain), kFft);
    EXPECT_LT(powerFraction(power, kFft, 0, 200), 0.05);
    const double slope = octaveSlope(power, kFft, 500, 8000);
    EXPECT_GE(slope, -3.0);
    EXPECT_LE(slope, 1.0);
    EXPECT_GE(flatness(power, kFft, 200, 16000), 0.4);
    const double corr = correlation(rain.l, rain.r);
    EXPECT_GE(corr, 0.05);
    EXPECT_LE(corr, 0.6);
}

// A brook's energy lies where its bubbles and gurgle are, and its top end keeps falling instead
// of levelling off into a hiss. No bubble starts with a click: nowhere does a kink stand out
// from the water around it (a bubble switched on at full level gave 13-15 times the local
// second difference, the water itself stays near 5).
inline void checkBrook(const Stereo& brook) {
    for (const std::vector<float>* ch : {&brook.l, &brook.r})
        EXPECT_LE(worstKink(*ch, static_cast<size_t>(0.01 * soundpack::kRate)), 9.0);
    constexpr size_t kFft = 4096;
    const std::vector<double> power = powerSpectrum(monoMix(brook), kFft);
    const double body = powerFraction(power, kFft, 200, 3000);
    EXPECT_GE(body, 0.85);
    const double airDb = 10 * std::log10(powerFraction(power, kFft, 8000, 22050) / body);
    EXPECT_LE(airDb, -22.0);
    EXPECT_LE(octaveSlope(power, kFft, 2000, 16000), -6.0);
}

// In the loudest second of thunder (a strike) most of the energy lies below 200 Hz.
inline void checkThunder(const Stereo& thunder) {
    const std::vector<float> m = monoMix(thunder);
    const size_t win = static_cast<size_t>(soundpack::kRate);
    size_t best = 0;
    double bestE = -1, e = 0;
    for (size_t i = 0; i < m.size(); ++i) {
        e += double(m[i]) * m[i];
        if (i >= win) e -= double(m[i - win]) * m[i - win];
        if (i + 1 >= win && e > bestE) {
            bestE = e;
            best = i + 1 - win;
        }
    }
    const std::vector<float> strike(m.begin() + static_cast<long>(best),
                                    m.begin() + static_cast<long>(std::min(m.size(), best + win)));
    const std::vector<double> power = powerSpectrum(strike, 8192);
    EXPECT_GT(powerFraction(power, 8192, 0, 200), 0.5);
}

}  // namespace soundpack_test
