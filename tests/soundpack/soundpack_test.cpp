// The generator's own behaviour, on audio rendered in memory (short mode): the loudness meter
// it levels with, seamless loops, songs, brooks, rain and thunder, and determinism.
#include <gtest/gtest.h>

#include <cmath>

#include "analysis.h"
#include "grains.h"
#include "loudness.h"
#include "pack.h"
#include "pack_checks.h"

using namespace soundpack;
using namespace soundpack_test;

namespace {

Stereo sine(double hz, double dbfs, double seconds, bool left, bool right) {
    Stereo s(frames(seconds));
    for (size_t i = 0; i < s.size(); ++i) {
        const double v = dbToGain(dbfs) * std::sin(kTwoPi * hz * i / kRate);
        s.l[i] = left ? static_cast<float>(v) : 0.0f;
        s.r[i] = right ? static_cast<float>(v) : 0.0f;
    }
    return s;
}

Stereo concat(std::initializer_list<Stereo> parts) {
    Stereo out;
    for (const Stereo& p : parts) {
        out.l.insert(out.l.end(), p.l.begin(), p.l.end());
        out.r.insert(out.r.end(), p.r.begin(), p.r.end());
    }
    return out;
}

Stereo fileOnly(const Rendered& r) {
    Stereo s = r.audio;
    s.resize(r.fileFrames);
    return s;
}

}  // namespace

TEST(Loudness, ReferenceSignalsAndGating) {
    struct Case {
        const char* what;
        Stereo signal;
        double integrated, momentary;
    };
    const Stereo loud = sine(997, -20, 10, true, true);
    const Case cases[] = {
        {"1 kHz at -20 dBFS in both channels", loud, -20.0, -20.0},
        {"the same in one channel only", sine(997, -20, 10, true, false), -23.01, -23.01},
        {"silence does not lower it", concat({loud, Stereo(frames(20))}), -20.0, -20.0},
        {"a much quieter part is gated out", concat({loud, sine(997, -45, 10, true, true)}), -20.0,
         -20.0},
        {"a quiet part within 10 LU counts", concat({loud, sine(997, -26, 10, true, true)}), -22.03,
         -20.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_NEAR(integratedLoudness(c.signal), c.integrated, 0.15);
        EXPECT_NEAR(maxMomentaryLoudness(c.signal), c.momentary, 0.15);
    }
    // K-weighting: a 100 Hz tone reads lower than 1 kHz, a 5 kHz tone higher.
    EXPECT_LT(integratedLoudness(sine(100, -20, 5, true, true)), -20.5);
    EXPECT_GT(integratedLoudness(sine(5000, -20, 5, true, true)), -17.0);
}

TEST(Loudness, TruePeakFindsPeaksBetweenSamples) {
    // A quarter-rate sine sampled 45 degrees off its crests: samples at 0.707, true peak 1.
    Stereo s(4096);
    for (size_t i = 0; i < s.size(); ++i)
        s.l[i] = s.r[i] = static_cast<float>(0.5 * std::sin(kPi / 2 * i + kPi / 4));
    EXPECT_NEAR(samplePeak(s, 0, s.size()), 0.5 * 0.7071, 1e-3);
    EXPECT_NEAR(gainToDb(truePeak(s)), gainToDb(0.5), 0.2);
}

// Rendering past a loop's end must repeat its beginning: the circular timeline and the warm-up
// make the filters and reverbs start in their periodic state.
TEST(Loops, ContinuationRepeatsTheBeginning) {
    for (const Entry& e : catalogue()) {
        if (e.kind != Kind::Loop) continue;
        SCOPED_TRACE(e.name);
        const size_t extra = frames(2.0);
        const Rendered r = render(e, true, extra);
        ASSERT_EQ(r.audio.size(), r.fileFrames + extra);
        double signal = 0, diff = 0;
        for (size_t i = 0; i < r.fileFrames; ++i)
            signal += double(r.audio.l[i]) * r.audio.l[i] + double(r.audio.r[i]) * r.audio.r[i];
        for (size_t i = 0; i < extra; ++i) {
            const double dl = r.audio.l[r.fileFrames + i] - r.audio.l[i];
            const double dr = r.audio.r[r.fileFrames + i] - r.audio.r[i];
            diff += dl * dl + dr * dr;
        }
        const double ratioDb = 10 * std::log10((diff / extra + 1e-30) / (signal / r.fileFrames));
        EXPECT_LT(ratioDb, -80.0);
    }
}

TEST(Songs, SpeciesAreDistinctAndInTheirBands) {
    std::vector<Stereo> songs;
    for (int i = 1; i <= 14; ++i)
        songs.push_back(fileOnly(render(*findEntry("pticp" + std::to_string(i)), true)));
    checkSongs(songs);
}

TEST(Weather, RainAndThunderSpectra) {
    for (const char* name : {"dogd3", "dogd2"}) {
        SCOPED_TRACE(name);
        checkRain(fileOnly(render(*findEntry(name), true)));
    }
    for (const char* name : {"dogd_gr", "dogd_gr3"}) {
        SCOPED_TRACE(name);
        checkThunder(fileOnly(render(*findEntry(name), true)));
    }
}

TEST(Water, BrookSpectra) {
    for (const char* name : {"ruchey3", "ruchey4"}) {
        SCOPED_TRACE(name);
        checkBrook(fileOnly(render(*findEntry(name), true)));
    }
}

// A bubble switched on at full level starts with a kink, heard as a faint click in every brook.
// The curvature (second difference) at a grain's start must be no larger than the grain's own
// curvature a little later, for low and high, short and long, steady and rising bubbles.
TEST(Water, BubblesStartWithoutAClick) {
    struct Case {
        double freq, tau, rise;
    };
    for (const Case& c : {Case{300, 0.02, 0.3}, Case{1000, 0.008, 0.0}, Case{1000, 0.008, 0.4},
                          Case{3000, 0.002, 0.2}}) {
        SCOPED_TRACE(c.freq);
        Stereo s(frames(0.2));
        Grain g;
        g.start = 100;
        g.freq = c.freq;
        g.tau = c.tau;
        g.rise = c.rise;
        addGrain(s, g, false);
        auto curvature = [&](size_t from, size_t to) {
            double m = 0;
            for (size_t i = from; i < to; ++i)
                m = std::max(m, std::fabs(double(s.l[i]) - 2.0 * s.l[i - 1] + s.l[i - 2]));
            return m;
        };
        const size_t period = static_cast<size_t>(kRate / c.freq);
        EXPECT_LE(curvature(98, 100 + period / 4), 1.2 * curvature(100 + period, 100 + 3 * period));
    }
}

// Each insect's sound has the structure of the way it is made. The field cricket's chirps are
// pulses at about 30 a second on a pure carrier (every carrier cycle is one tooth let go by the
// escapement, so the pulses hold no slower sub-pulses); a bush-cricket's syllables are trains of
// separate tooth strikes, and the cicada's song is a train of tymbal clicks, both seen as a
// steady pulsing of the level at that rate inside the sound's band.
TEST(Insects, PulsesStrikesAndClicksAtTheirRates) {
    struct Case {
        const char* file;
        const char* what;
        double bandLo, bandHi, rateLo, rateHi;
    };
    const Case cases[] = {
        {"nas1", "field cricket: pulses in a chirp", 3000, 7000, 22, 40},
        {"nas3", "bush-cricket: tooth strikes in a syllable", 7000, 20000, 900, 3000},
        {"nas5", "cicada: tymbal clicks", 3000, 10000, 100, 700},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Pulsing p = envelopePulsing(fileOnly(render(*findEntry(c.file), true)), c.bandLo,
                                          c.bandHi, c.rateLo, c.rateHi);
        EXPECT_GE(p.regularity, 0.45) << "at " << p.hz << " Hz";
    }
    // The cricket's carrier: one narrow line on the harp's 4.5-5 kHz.
    const Stereo cricket = fileOnly(render(*findEntry("nas1"), true));
    constexpr size_t kFft = 8192;
    const std::vector<double> power = powerSpectrum(monoMix(cricket), kFft);
    size_t peak = 1;
    for (size_t k = 1; k < power.size(); ++k)
        if (power[k] > power[peak]) peak = k;
    EXPECT_GE(binHz(peak, kFft), 4300);
    EXPECT_LE(binHz(peak, kFft), 5000);
    EXPECT_GE(powerFraction(power, kFft, binHz(peak, kFft) - 300, binHz(peak, kFft) + 300), 0.8);
}

TEST(Determinism, SameSeedSameAudioOtherFilesDiffer) {
    for (const char* name : {"pticp6", "dogd3", "nas1"}) {
        SCOPED_TRACE(name);
        const Entry& e = *findEntry(name);
        const Rendered a = render(e, true), b = render(e, true);
        EXPECT_EQ(pcmHash(a.audio, a.fileFrames), pcmHash(b.audio, b.fileFrames));
    }
    EXPECT_NE(pcmHash(render(*findEntry("ruchey3"), true).audio, frames(4)),
              pcmHash(render(*findEntry("ruchey4"), true).audio, frames(4)));
}
