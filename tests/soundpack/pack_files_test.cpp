// Checks on the generated files as the program will play them: decoded from disk without an
// extension. With --short the generator is run into a temporary folder in its short mode; with
// --pack DIR the full pack in DIR is checked (generated into a temporary folder when DIR has
// none), including the lengths the program expects.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "analysis.h"
#include "loudness.h"
#include "pack.h"
#include "pack_checks.h"
#include "tests/support/temp_dir.h"

using namespace soundpack;
using namespace soundpack_test;
using testing_support::TempDir;

namespace {

std::string g_generator, g_packDir;
bool g_full = false;

bool exists(const std::string& p) {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0;
}

int run(const std::string& cmd) { return std::system((cmd + " > /dev/null").c_str()); }

std::map<std::string, std::pair<double, std::string>> readManifest(const std::string& dir) {
    std::map<std::string, std::pair<double, std::string>> m;
    std::ifstream in(dir + "/soundpack-manifest.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream ls(line);
        std::string name, hash;
        double sec = 0;
        ls >> name >> sec >> hash;
        m[name] = {sec, hash};
    }
    return m;
}

// The lengths the program is built around, in seconds.
void lengthRange(const Entry& e, double* lo, double* hi) {
    if (!g_full) {  // short mode: loops and long files as catalogued, one-shots as in full
        if (e.kind != Kind::OneShot) {
            *lo = e.shortSeconds - 0.001;
            *hi = e.shortSeconds + 0.05;
            return;
        }
    }
    if (e.name == "dogd_gr") {
        *lo = 120, *hi = 300;
    } else if (e.kind == Kind::Loop) {
        *lo = 60, *hi = 180;
    } else if (e.kind == Kind::Long) {
        *lo = 715, *hi = 725;
    } else if (e.sound == "song") {
        *lo = 1.5, *hi = 10;  // 1.5-8 s of song plus the forest's short tail
    } else if (e.sound == "insect") {
        *lo = 2, *hi = 20;
    } else {
        *lo = 0.3, *hi = 4.5;  // calls: up to 4 s plus the tail
    }
}

class PackFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = g_packDir;
        if (s_dir.empty() || !exists(s_dir + "/soundpack-manifest.txt")) {
            s_owned = std::make_unique<TempDir>("soundpack");
            s_dir = s_owned->path();
            ASSERT_EQ(run(g_generator + " --out " + s_dir + (g_full ? "" : " --short")), 0);
        }
        for (const Entry& e : catalogue()) {
            Stereo s;
            std::string error;
            const std::string path = s_dir + "/" + e.folder + "/" + e.name;
            if (decodeFile(path, &s, &error)) s_audio[e.folder + "/" + e.name] = std::move(s);
        }
    }
    static void TearDownTestSuite() {
        s_owned.reset();
        s_audio.clear();
    }
    static const Stereo* audio(const Entry& e) {
        auto it = s_audio.find(e.folder + "/" + e.name);
        return it == s_audio.end() ? nullptr : &it->second;
    }
    static std::string s_dir;
    static std::unique_ptr<TempDir> s_owned;  // the pack generated here, when there is one
    static std::map<std::string, Stereo> s_audio;
};
std::string PackFiles::s_dir;
std::unique_ptr<TempDir> PackFiles::s_owned;
std::map<std::string, Stereo> PackFiles::s_audio;

TEST_F(PackFiles, EveryFileDecodesAndIsLevelled) {
    for (const Entry& e : catalogue()) {
        SCOPED_TRACE(e.folder + "/" + e.name);
        const Stereo* s = audio(e);
        ASSERT_NE(s, nullptr) << "missing or undecodable";
        ASSERT_GT(s->size(), 0u);
        EXPECT_GE(rmsDb(*s), -50.0);
        EXPECT_LT(samplePeak(*s, 0, s->size()), 1.0);
        EXPECT_LE(gainToDb(truePeak(*s)), -1.0);
        EXPECT_LT(std::fabs(dcOffset(s->l)), 0.001);
        EXPECT_LT(std::fabs(dcOffset(s->r)), 0.001);
        if (e.kind == Kind::OneShot)
            EXPECT_NEAR(maxMomentaryLoudness(*s), kOneShotLufs, 3.0);
        else
            EXPECT_NEAR(integratedLoudness(*s), kLoopLufs, 3.0);
        double lo, hi;
        lengthRange(e, &lo, &hi);
        const double sec = s->size() / kRate;
        EXPECT_GE(sec, lo);
        EXPECT_LE(sec, hi);
    }
}

TEST_F(PackFiles, OneShotsFadeAndLoopsJoinWithoutAStep) {
    const size_t edge = frames(0.005);
    for (const Entry& e : catalogue()) {
        SCOPED_TRACE(e.folder + "/" + e.name);
        const Stereo* s = audio(e);
        ASSERT_NE(s, nullptr);
        const size_t n = s->size();
        if (e.kind != Kind::Loop) {
            EXPECT_LT(gainToDb(samplePeak(*s, 0, edge)), -60.0);
            EXPECT_LT(gainToDb(samplePeak(*s, n - edge, n)), -60.0);
            continue;
        }
        // The step from the last sample back to the first is no larger than any step inside.
        for (const std::vector<float>* ch : {&s->l, &s->r}) {
            double inside = 0;
            for (size_t i = 1; i < n; ++i)
                inside = std::max(inside, std::fabs(double((*ch)[i]) - (*ch)[i - 1]));
            EXPECT_LE(std::fabs(double((*ch)[0]) - (*ch)[n - 1]), inside);
        }
    }
}

TEST_F(PackFiles, ManifestMatchesTheDecodedAudio) {
    const auto manifest = readManifest(s_dir);
    for (const Entry& e : catalogue()) {
        const std::string rel = e.folder + "/" + e.name;
        SCOPED_TRACE(rel);
        const Stereo* s = audio(e);
        ASSERT_NE(s, nullptr);
        auto it = manifest.find(rel);
        ASSERT_NE(it, manifest.end());
        EXPECT_NEAR(it->second.first, s->size() / kRate, 0.001);
        char hash[32];
        std::snprintf(hash, sizeof hash, "%016llx",
                      static_cast<unsigned long long>(pcmHash(*s, s->size())));
        EXPECT_EQ(it->second.second, hash);
    }
}

TEST_F(PackFiles, SongsRainAndThunderAsHeard) {
    std::vector<Stereo> songs;
    for (int i = 1; i <= 14; ++i) {
        const Stereo* s = audio(*findEntry("pticp" + std::to_string(i)));
        ASSERT_NE(s, nullptr);
        songs.push_back(*s);
    }
    checkSongs(songs);
    for (const char* name : {"dogd3", "dogd2"}) {
        SCOPED_TRACE(name);
        checkRain(*audio(*findEntry(name)));
    }
    for (const char* name : {"dogd_gr", "dogd_gr3"}) {
        SCOPED_TRACE(name);
        checkThunder(*audio(*findEntry(name)));
    }
}

TEST_F(PackFiles, BrooksAsHeard) {
    for (const char* name : {"ruchey3", "ruchey4"}) {
        SCOPED_TRACE(name);
        const Stereo* s = audio(*findEntry(name));
        ASSERT_NE(s, nullptr);
        checkBrook(*s);
    }
}

// Every song and call sits in the forest: its tail dies away with the forest's reverberation
// (no digital silence before the file's very end), and the songbirds' harmonics above 12 kHz
// stay far under their song, as heard from 10-30 m.
TEST_F(PackFiles, SongsAndCallsRingOutInTheForest) {
    for (const Entry& e : catalogue()) {
        if (e.sound != "song" && e.sound != "call") continue;
        SCOPED_TRACE(e.name);
        const Stereo* s = audio(e);
        ASSERT_NE(s, nullptr);
        const double t60 = tailDecaySeconds(*s, 2000, 4000);
        EXPECT_GE(t60, 0.5);
        EXPECT_LE(t60, 1.8);
        // No dead stretch of exact zeros between the first and the last sound above -40 dB.
        const double loud = 0.01 * samplePeak(*s, 0, s->size());
        size_t first = s->size(), last = 0;
        for (size_t i = 0; i < s->size(); ++i) {
            if (std::fabs(s->l[i]) > loud || std::fabs(s->r[i]) > loud) {
                first = std::min(first, i);
                last = i;
            }
        }
        const size_t dead = frames(0.005);
        size_t run = 0, longest = 0;
        for (size_t i = first; i < last; ++i) {
            run = (s->l[i] == 0.0f && s->r[i] == 0.0f) ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        EXPECT_LT(longest, dead);
        if (e.sound == "song") EXPECT_LE(strongestAboveDb(*s, 12000), -30.0);
    }
}

// The crow's and the jay's calls rasp: far less harmonic than the whistled songs.
TEST_F(PackFiles, RaspsAreLessHarmonicThanWhistles) {
    double whistles = 1e9, rasps = -1e9;
    // Blackbird, blackcap, nightingale and cuckoo.
    for (const char* name : {"pticp3", "pticp11", "pticp12", "pticd1"})
        whistles = std::min(whistles, harmonicToNoiseDb(*audio(*findEntry(name))));
    for (const char* name : {"pticd6", "pticd7"})  // carrion crow, jay
        rasps = std::max(rasps, harmonicToNoiseDb(*audio(*findEntry(name))));
    EXPECT_LT(rasps, whistles - 8.0) << "rasps " << rasps << " dB, whistles " << whistles << " dB";
}

// Repeated syllables are not copies: within each run of like syllables (the yellowhammer's
// notes, the chaffinch's trills) pitch, length and level vary as a bird's do.
TEST_F(PackFiles, RepeatedSyllablesVaryLikeABirds) {
    for (const char* name : {"pticp9", "pticp6"}) {
        SCOPED_TRACE(name);
        const std::vector<Syllable> all = syllables(*audio(*findEntry(name)));
        std::vector<std::vector<Syllable>> runs;
        for (const Syllable& s : all) {
            const bool alike = !runs.empty() && std::fabs(s.hz / runs.back()[0].hz - 1) < 0.1 &&
                               std::fabs(s.length / runs.back()[0].length - 1) < 0.3;
            if (!alike) runs.emplace_back();
            runs.back().push_back(s);
        }
        int checked = 0;
        for (const std::vector<Syllable>& run : runs) {
            if (run.size() < 5) continue;
            ++checked;
            auto spread = [&](auto value) {
                double m = 0, v = 0;
                for (const Syllable& s : run) m += value(s);
                m /= run.size();
                for (const Syllable& s : run) v += (value(s) - m) * (value(s) - m);
                return std::sqrt(v / (run.size() - 1));
            };
            const double pitch = spread([](const Syllable& s) { return std::log(s.hz); });
            const double length = spread([](const Syllable& s) { return std::log(s.length); });
            const double level = spread([](const Syllable& s) { return s.levelDb; });
            EXPECT_GE(pitch, 0.005);
            EXPECT_LE(pitch, 0.03);
            EXPECT_GE(length, 0.015);
            EXPECT_LE(length, 0.08);
            EXPECT_GE(level, 0.25);
            EXPECT_LE(level, 2.0);
        }
        EXPECT_GE(checked, 1) << "no run of repeated syllables found";
    }
}

// Two runs of the generator give the same decoded audio, though the encoded bytes differ.
TEST(PackGenerator, SameSeedSameDecodedAudio) {
    if (g_full) GTEST_SKIP() << "covered by the short run";
    const TempDir dirA("soundpack"), dirB("soundpack");
    const std::string a = dirA.path(), b = dirB.path();
    for (const std::string& d : {a, b}) {
        ASSERT_EQ(run(g_generator + " --short --only pticp6 --out " + d), 0);
        ASSERT_EQ(run(g_generator + " --short --only dogd3 --out " + d), 0);
    }
    const auto ma = readManifest(a), mb = readManifest(b);
    EXPECT_EQ(ma.size(), 2u);
    EXPECT_EQ(ma, mb);
    for (const char* rel : {"samp_raz/pticp6", "samp_povt/dogd3"}) {
        Stereo sa, sb;
        ASSERT_TRUE(decodeFile(a + "/" + rel, &sa, nullptr));
        ASSERT_TRUE(decodeFile(b + "/" + rel, &sb, nullptr));
        EXPECT_EQ(pcmHash(sa, sa.size()), pcmHash(sb, sb.size()));
    }
    EXPECT_NE(run(g_generator + " --only no_such_file --out /tmp"), 0);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--generator" && i + 1 < argc)
            g_generator = argv[++i];
        else if (a == "--pack" && i + 1 < argc)
            g_packDir = argv[++i], g_full = true;
        else if (a == "--full")
            g_full = true;
    }
    if (g_generator.empty()) {
        std::fprintf(stderr, "usage: %s --generator PATH [--pack DIR | --full]\n", argv[0]);
        return 2;
    }
    return RUN_ALL_TESTS();
}
