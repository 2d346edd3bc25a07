// The OpenAL audio library through OpenAL Soft's real mixer, rendered offline through its
// loopback device (44100 Hz stereo float) so every sample can be compared. The recordings are
// written by the tests themselves with libsndfile. Cases that need a different output (no
// device at all, a real-time device) run in a child process, because OpenAL picks its drivers
// once per process.
#include "engine/audio/al_audio_library.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/sound_server.h"
#include "tests/support/temp_dir.h"

namespace engine {
namespace {

namespace fs = std::filesystem;
using testing_support::SoundServer;
using testing_support::TempDir;

constexpr int kRate = 44100;

struct Recording {
    int format;
    int channels;
    int rate;
    int frames;
};

std::string describe(const Recording& r) {
    const char* kind = "other";
    switch (r.format & SF_FORMAT_TYPEMASK) {
        case SF_FORMAT_WAV:
            kind = "wav";
            break;
        case SF_FORMAT_FLAC:
            kind = "flac";
            break;
        case SF_FORMAT_MPEG:
            kind = "mp3";
            break;
        case SF_FORMAT_OGG:
            kind = (r.format & SF_FORMAT_SUBMASK) == SF_FORMAT_OPUS ? "opus" : "ogg";
            break;
    }
    return std::string(kind) + "_" + std::to_string(r.channels) + "ch_" + std::to_string(r.rate) +
           "Hz_" + std::to_string(r.frames);
}
void PrintTo(const Recording& r, std::ostream* os) { *os << describe(r); }

// Deterministic noise in -0.5..0.5, interleaved.
std::vector<float> noise(size_t samples, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> dist(-0.5f, 0.5f);
    std::vector<float> v(samples);
    for (float& x : v) x = dist(gen);
    return v;
}

// A recording's samples as a decoder sees them, interleaved with its own channel count.
struct Decoded {
    int channels = 0;
    std::vector<float> samples;
    size_t frames() const { return samples.size() / channels; }
};

Decoded decodeWhole(const std::string& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    Decoded d;
    if (!f) return d;
    d.channels = info.channels;
    std::vector<float> chunk(4096 * info.channels);
    sf_count_t got;
    while ((got = sf_readf_float(f, chunk.data(), 4096)) > 0) {
        d.samples.insert(d.samples.end(), chunk.begin(), chunk.begin() + got * info.channels);
    }
    sf_close(f);
    return d;
}

// Writes a recording of noise; the name has no extension so the format must come from the
// content. Returns the path.
std::string writeRecording(const TempDir& dir, const std::string& name, const Recording& r,
                           unsigned seed = 1) {
    const std::string path = dir.file(name);
    SF_INFO info{};
    info.samplerate = r.rate;
    info.channels = r.channels;
    info.format = r.format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    EXPECT_NE(f, nullptr) << sf_strerror(nullptr);
    if (!f) return path;
    const std::vector<float> data = noise(size_t(r.frames) * r.channels, seed);
    sf_writef_float(f, data.data(), r.frames);
    sf_close(f);
    return path;
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// The first sample of `got` in [from, to) that differs from want(i), described; empty when all
// match.
template <typename Want>
std::string firstMismatch(const std::vector<float>& got, size_t from, size_t to, Want want) {
    for (size_t i = from; i < to && i < got.size(); ++i) {
        const float w = want(i);
        if (got[i] != w) {
            char text[160];
            std::snprintf(text, sizeof text, "frame %zu channel %zu: got %.9g, want %.9g", i / 2,
                          i % 2, got[i], w);
            return text;
        }
    }
    return {};
}

bool silent(const std::vector<float>& v, size_t from, size_t to) {
    for (size_t i = from; i < to && i < v.size(); ++i) {
        if (v[i] != 0.0f) return false;
    }
    return true;
}

class LoopbackTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(lib.BASS_Init(-1, kRate, 0, nullptr), 0) << "no OpenAL loopback device";
    }

    // A looping stereo float WAV of 10007 frames (a prime, so loop ends fall mid-buffer) and the
    // stereo frames a listener should hear from it, sample index i -> value.
    std::string loopFile(unsigned seed = 7) {
        const std::string path =
            writeRecording(dir, "loop" + std::to_string(seed),
                           {SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, kRate, 10007}, seed);
        loopSamples = decodeWhole(path).samples;
        return path;
    }
    float loopAt(size_t i, float gain = 1.0f) const {
        return gain * loopSamples[i % loopSamples.size()];
    }

    TempDir dir;
    AlAudioLibrary lib{AlAudioLibrary::Output::kLoopback};
    std::vector<float> loopSamples;
};

// Looping: the end of the file is followed at once by its first frame, sample for sample, over
// several loop ends. With a 44100 Hz source on a 44100 Hz mix, direct channels and gain 1, the
// mixer copies samples unchanged, so anything but exact equality is a gap, a repeat or a
// misplaced channel. Mono plays the same samples on both sides; of more channels, the first two
// are kept.
struct SeamCase {
    const char* name;
    Recording recording;
};

void PrintTo(const SeamCase& c, std::ostream* os) { *os << c.name; }

class SeamTest : public LoopbackTest, public ::testing::WithParamInterface<SeamCase> {};

TEST_P(SeamTest, LoopRepeatsTheRecordingWithoutASeam) {
    const SeamCase& c = GetParam();
    const std::string path = writeRecording(dir, c.name, c.recording, 3);
    const Decoded d = decodeWhole(path);
    ASSERT_EQ(d.frames(), size_t(c.recording.frames));

    const Handle h = lib.BASS_StreamCreateFile(path, kSampleLoop);
    ASSERT_NE(h, 0u);
    ASSERT_NE(lib.BASS_ChannelPlay(h, 0), 0);
    const int frames = 5 * c.recording.frames + 3000;
    const std::vector<float> out = lib.renderFrames(frames);
    EXPECT_EQ(firstMismatch(out, 0, out.size(),
                            [&](size_t i) {
                                const size_t frame = (i / 2) % d.frames();
                                const int channel = d.channels > 1 ? int(i % 2) : 0;
                                return d.samples[frame * d.channels + channel];
                            }),
              "");
    EXPECT_NE(lib.BASS_ChannelIsActive(h), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, SeamTest,
    ::testing::Values(SeamCase{"wav_float_stereo",
                               {SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, kRate, 10007}},
                      SeamCase{"flac_stereo", {SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, kRate, 9001}},
                      SeamCase{"flac_mono", {SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 1, kRate, 7919}},
                      SeamCase{"ogg_stereo", {SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, kRate, 12011}},
                      SeamCase{"wav_mono_short", {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, kRate, 301}},
                      SeamCase{"wav_four", {SF_FORMAT_WAV | SF_FORMAT_FLOAT, 4, kRate, 5003}},
                      SeamCase{"flac_four", {SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 4, kRate, 5003}}),
    [](const auto& info) { return std::string(info.param.name); });

// A one-shot is inactive until played, active while it sounds, and inactive with silence after
// its last frame, whatever its format and sample rate (the mixer resamples, so the end falls at
// frames * 44100 / rate).
class OneShotTest : public LoopbackTest, public ::testing::WithParamInterface<Recording> {};

TEST_P(OneShotTest, PlaysOnceThenReadsInactive) {
    const Recording& r = GetParam();
    const std::string path = writeRecording(dir, "once", r);
    const Handle h = lib.BASS_StreamCreateFile(path, 0);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(lib.BASS_ChannelIsActive(h), 0u) << "before play";
    ASSERT_NE(lib.BASS_ChannelPlay(h, 0), 0);
    EXPECT_NE(lib.BASS_ChannelIsActive(h), 0u) << "just started";

    const int heard = int(int64_t(r.frames) * kRate / r.rate);
    const std::vector<float> before = lib.renderFrames(std::max(heard - 2048, 0));
    EXPECT_NE(lib.BASS_ChannelIsActive(h), 0u) << "near the end";
    if (heard > 4096) {
        EXPECT_FALSE(silent(before, before.size() - 2048, before.size()));
    }
    if (r.rate == kRate) {
        const Decoded d = decodeWhole(path);
        EXPECT_EQ(
            firstMismatch(before, 0, before.size(),
                          [&](size_t i) {
                              return d.samples[(i / 2) * d.channels + (d.channels > 1 ? i % 2 : 0)];
                          }),
            "");
    }
    const std::vector<float> after = lib.renderFrames(4096 + 4096);
    EXPECT_EQ(lib.BASS_ChannelIsActive(h), 0u) << "after the end";
    EXPECT_TRUE(silent(after, after.size() - 2 * 4096, after.size()));

    // Playing it again starts it over.
    ASSERT_NE(lib.BASS_ChannelPlay(h, 0), 0);
    EXPECT_NE(lib.BASS_ChannelIsActive(h), 0u) << "played again";
    EXPECT_FALSE(silent(lib.renderFrames(2048), 0, 4096));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, OneShotTest,
    ::testing::Values(Recording{SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, kRate, 50000},
                      Recording{SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 2, kRate, 50000},
                      Recording{SF_FORMAT_OGG | SF_FORMAT_OPUS, 1, 48000, 40000},
                      Recording{SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, 22050, 30000},
                      Recording{SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, 48000, 60000},
                      Recording{SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 96000, 120000},
                      Recording{SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, kRate, 100}),
    [](const auto& info) { return describe(info.param); });

TEST_F(LoopbackTest, VolumeBeforePlayIsTheStartVolumeAndLaterChangesAct) {
    const Handle h = lib.BASS_StreamCreateFile(loopFile(), kSampleLoop);
    ASSERT_NE(h, 0u);
    ASSERT_NE(lib.BASS_ChannelSetAttribute(h, kAttribVolume, 0.5f), 0);
    ASSERT_NE(lib.BASS_ChannelPlay(h, 0), 0);
    const std::vector<float> first = lib.renderFrames(4096);
    EXPECT_EQ(firstMismatch(first, 0, first.size(), [&](size_t i) { return loopAt(i, 0.5f); }), "");

    // The mixer ramps a change over a short stretch; after that the new level holds exactly.
    ASSERT_NE(lib.BASS_ChannelSetAttribute(h, kAttribVolume, 0.25f), 0);
    const std::vector<float> second = lib.renderFrames(8192);
    EXPECT_EQ(firstMismatch(second, 2 * 4096, second.size(),
                            [&](size_t i) { return loopAt(i + first.size(), 0.25f); }),
              "");
}

TEST_F(LoopbackTest, VolumeIsClampedToSilenceAndFull) {
    const std::string path = loopFile();
    struct Case {
        float set, heard;
    };
    for (const Case& c : {Case{2.0f, 1.0f}, Case{-1.0f, 0.0f}, Case{NAN, 0.0f}}) {
        SCOPED_TRACE(c.set);
        const Handle h = lib.BASS_StreamCreateFile(path, kSampleLoop);
        ASSERT_NE(lib.BASS_ChannelSetAttribute(h, kAttribVolume, c.set), 0);
        ASSERT_NE(lib.BASS_ChannelPlay(h, 0), 0);
        const std::vector<float> out = lib.renderFrames(2048);
        EXPECT_EQ(firstMismatch(out, 0, out.size(), [&](size_t i) { return loopAt(i, c.heard); }),
                  "");
        lib.BASS_StreamFree(h);
    }
    const Handle h = lib.BASS_StreamCreateFile(path, kSampleLoop);
    EXPECT_EQ(lib.BASS_ChannelSetAttribute(h, kAttribVolume + 1, 0.5f), 0) << "other attribute";
}

// Stop pauses: the stream reads inactive and is silent, and Play carries on from the same
// sample. Play with restart starts from the first frame.
TEST_F(LoopbackTest, StopThenPlayResumesAndRestartRewinds) {
    const Handle h = lib.BASS_StreamCreateFile(loopFile(), kSampleLoop);
    ASSERT_NE(lib.BASS_ChannelPlay(h, 0), 0);
    lib.renderFrames(5000);
    ASSERT_NE(lib.BASS_ChannelStop(h), 0);
    EXPECT_EQ(lib.BASS_ChannelIsActive(h), 0u);
    EXPECT_TRUE(silent(lib.renderFrames(3000), 0, 6000));

    ASSERT_NE(lib.BASS_ChannelPlay(h, 0), 0);
    EXPECT_NE(lib.BASS_ChannelIsActive(h), 0u);
    const std::vector<float> resumed = lib.renderFrames(20000);
    EXPECT_EQ(
        firstMismatch(resumed, 0, resumed.size(), [&](size_t i) { return loopAt(i + 2 * 5000); }),
        "");

    ASSERT_NE(lib.BASS_ChannelPlay(h, 1), 0);
    const std::vector<float> restarted = lib.renderFrames(20000);
    EXPECT_EQ(firstMismatch(restarted, 0, restarted.size(), [&](size_t i) { return loopAt(i); }),
              "");
}

// A loop at volume 0 is held (nothing mixed or decoded for it), so raising the volume carries on
// from the sample it was at, as Stop and Play do. A one-shot at volume 0 keeps its time: it
// still ends when it would have.
TEST_F(LoopbackTest, SilentLoopWaitsWhereItWasAndSilentOneShotStillEnds) {
    const Handle loop = lib.BASS_StreamCreateFile(loopFile(), kSampleLoop);
    ASSERT_NE(lib.BASS_ChannelPlay(loop, 0), 0);
    lib.renderFrames(5000);
    ASSERT_NE(lib.BASS_ChannelSetAttribute(loop, kAttribVolume, 0.0f), 0);
    EXPECT_NE(lib.BASS_ChannelIsActive(loop), 0u) << "a silent loop still plays";
    EXPECT_TRUE(silent(lib.renderFrames(30000), 0, 60000));
    ASSERT_NE(lib.BASS_ChannelSetAttribute(loop, kAttribVolume, 1.0f), 0);
    const std::vector<float> resumed = lib.renderFrames(20000);
    EXPECT_EQ(
        firstMismatch(resumed, 0, resumed.size(), [&](size_t i) { return loopAt(i + 2 * 5000); }),
        "");
    lib.BASS_StreamFree(loop);

    const std::string once =
        writeRecording(dir, "once", {SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, kRate, 20000});
    const Handle h = lib.BASS_StreamCreateFile(once, 0);
    ASSERT_NE(lib.BASS_ChannelSetAttribute(h, kAttribVolume, 0.0f), 0);
    ASSERT_NE(lib.BASS_ChannelPlay(h, 0), 0);
    EXPECT_TRUE(silent(lib.renderFrames(20000 + 4096), 0, 2 * (20000 + 4096)));
    EXPECT_EQ(lib.BASS_ChannelIsActive(h), 0u) << "a silent one-shot ends in its time";
}

// A one-shot at volume 0 is held too, and keeps its time: heard again after a silence longer than
// its queue (two seconds), it joins the recording where it would be by now (after a fade-in of
// 10 ms); after a shorter one it resumes where it was. Once its length has passed it reads as
// ended and stays silent. A stop freezes its time, as it does for any stream. A header that
// claims more than the file holds cannot keep it alive past its data.
TEST_F(LoopbackTest, SilentOneShotJoinsWhereItWouldBe) {
    constexpr int kFrames = 200000;
    constexpr size_t kFade = kRate / 100;
    const std::string once =
        writeRecording(dir, "once", {SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, kRate, kFrames}, 5);
    const std::vector<float> rec = decodeWhole(once).samples;
    // A FLAC file cut in half still claims its whole length in its header.
    const std::string cut =
        writeRecording(dir, "cut", {SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, kRate, kFrames});
    fs::resize_file(cut, fs::file_size(cut) / 2);
    struct Case {
        const char* name;
        const std::string& path;
        int heardFor;    // frames rendered at full volume first (0: silent from the start)
        int silentFor;   // then frames rendered at volume 0
        int stoppedFor;  // then frames rendered while stopped (0: not stopped)
        int heardFrom;   // the frame it must be heard from when raised again; -1: it has ended
    };
    for (const Case& c :
         {Case{"raised after a short silence", once, 0, 15000, 0, 0},
          Case{"raised after a long silence", once, 0, 100000, 0, 100000},
          Case{"stopped, then played at full volume", once, 0, 100000, 6000, 100000},
          Case{"heard, silenced and stopped, then played", once, 20000, 100000, 2000, 120000},
          Case{"heard, briefly silenced and stopped, then played", once, 20000, 3000, 2000, 20000},
          Case{"raised after its end", once, 0, kFrames + 2048, 0, -1},
          Case{"raised past the data, before the claimed end", cut, 0, 150000, 0, -1}}) {
        SCOPED_TRACE(c.name);
        const Handle h = lib.BASS_StreamCreateFile(c.path, 0);
        ASSERT_NE(h, 0u);
        ASSERT_NE(lib.BASS_ChannelSetAttribute(h, kAttribVolume, c.heardFor > 0 ? 1.0f : 0.0f), 0);
        ASSERT_NE(lib.BASS_ChannelPlay(h, 0), 0);
        lib.renderFrames(c.heardFor);
        ASSERT_NE(lib.BASS_ChannelSetAttribute(h, kAttribVolume, 0.0f), 0);
        EXPECT_TRUE(silent(lib.renderFrames(c.silentFor), 0, 2 * size_t(c.silentFor)));
        if (c.stoppedFor > 0) {
            ASSERT_NE(lib.BASS_ChannelStop(h), 0);
            lib.renderFrames(c.stoppedFor);
        }
        ASSERT_NE(lib.BASS_ChannelSetAttribute(h, kAttribVolume, 1.0f), 0);
        if (c.stoppedFor > 0) {
            ASSERT_NE(lib.BASS_ChannelPlay(h, 0), 0);
        }
        const std::vector<float> out = lib.renderFrames(8192);
        if (c.heardFrom < 0) {
            EXPECT_EQ(lib.BASS_ChannelIsActive(h), 0u);
            EXPECT_TRUE(silent(out, 0, out.size()));
        } else {
            EXPECT_NE(lib.BASS_ChannelIsActive(h), 0u);
            EXPECT_EQ(firstMismatch(out, 2 * kFade, out.size(),
                                    [&](size_t i) { return rec[2 * size_t(c.heardFrom) + i]; }),
                      "");
            // It still ends in its time.
            lib.renderFrames(kFrames - c.heardFrom - 8192 + 4096);
            EXPECT_EQ(lib.BASS_ChannelIsActive(h), 0u);
        }
        lib.BASS_StreamFree(h);
    }
}

TEST_F(LoopbackTest, StopAllAndFreeAllEndEveryStream) {
    const std::string path = loopFile();
    const Handle a = lib.BASS_StreamCreateFile(path, kSampleLoop);
    const Handle b = lib.BASS_StreamCreateFile(path, kSampleLoop);
    ASSERT_NE(a, b);
    lib.BASS_ChannelPlay(a, 0);
    lib.BASS_ChannelPlay(b, 0);
    lib.renderFrames(1000);
    ASSERT_NE(lib.BASS_Stop(), 0);
    EXPECT_EQ(lib.BASS_ChannelIsActive(a), 0u);
    EXPECT_EQ(lib.BASS_ChannelIsActive(b), 0u);
    EXPECT_TRUE(silent(lib.renderFrames(2000), 0, 4000));

    lib.BASS_ChannelPlay(a, 0);
    ASSERT_NE(lib.BASS_Free(), 0);
    EXPECT_EQ(lib.BASS_Free(), 0) << "already free";
    for (Handle h : {a, b}) {
        EXPECT_EQ(lib.BASS_ChannelIsActive(h), 0u);
        EXPECT_EQ(lib.BASS_ChannelPlay(h, 0), 0);
    }
    EXPECT_EQ(lib.BASS_StreamCreateFile(path, kSampleLoop), 0u) << "not initialised";

    ASSERT_NE(lib.BASS_Init(-1, kRate, 0, nullptr), 0) << "again after free";
    const Handle c = lib.BASS_StreamCreateFile(path, kSampleLoop);
    EXPECT_NE(c, 0u);
    EXPECT_NE(c, a);
    EXPECT_NE(c, b);
}

// A call given 0, a freed handle or one never issued does nothing and reports failure, and a
// freed stream falls silent at once.
TEST_F(LoopbackTest, NoneFreedAndUnknownHandlesAreIgnored) {
    const std::string path = loopFile();
    const Handle freed = lib.BASS_StreamCreateFile(path, kSampleLoop);
    ASSERT_NE(freed, 0u);
    lib.BASS_ChannelPlay(freed, 0);
    lib.renderFrames(1000);
    ASSERT_NE(lib.BASS_StreamFree(freed), 0);
    EXPECT_TRUE(silent(lib.renderFrames(2000), 0, 4000));

    const Handle live = lib.BASS_StreamCreateFile(path, kSampleLoop);
    ASSERT_NE(live, 0u);
    EXPECT_NE(live, freed) << "handles are not reused";
    for (Handle h : {Handle(0), freed, Handle(live + 1000)}) {
        SCOPED_TRACE(h);
        EXPECT_EQ(lib.BASS_ChannelSetAttribute(h, kAttribVolume, 0.5f), 0);
        EXPECT_EQ(lib.BASS_ChannelPlay(h, 0), 0);
        EXPECT_EQ(lib.BASS_ChannelIsActive(h), 0u);
        EXPECT_EQ(lib.BASS_ChannelStop(h), 0);
        EXPECT_EQ(lib.BASS_StreamFree(h), 0);
    }
    EXPECT_EQ(lib.BASS_ChannelIsActive(live), 0u) << "never played";
    EXPECT_TRUE(silent(lib.renderFrames(1000), 0, 2000)) << "the calls above woke nothing";
}

TEST_F(LoopbackTest, WhatIsNotARecordingGivesNoHandle) {
    const std::string wav =
        writeRecording(dir, "good", {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, kRate, 10});
    std::string header;
    {
        std::ifstream in(wav, std::ios::binary);
        header.assign(44, '\0');
        in.read(header.data(), 44);
    }
    std::string randomBytes(4096, '\0');
    std::mt19937 gen(5);
    for (char& c : randomBytes) c = char(gen());
    writeBytes(dir.file("text"), "birdsong, rain and wind\n");
    writeBytes(dir.file("random"), randomBytes);
    writeBytes(dir.file("empty"), "");
    writeBytes(dir.file("header_only"), header);  // claims ten frames, holds none
    writeRecording(dir, "no_frames", {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, kRate, 0});
    fs::create_directory(dir.file("folder"));

    for (const char* name :
         {"missing", "folder", "text", "random", "empty", "header_only", "no_frames"}) {
        for (uint32_t flags : {0u, kSampleLoop}) {
            EXPECT_EQ(lib.BASS_StreamCreateFile(dir.file(name), flags), 0u) << name;
        }
    }
}

// Resident memory of this process, in MB.
long residentMb() {
    std::ifstream in("/proc/self/statm");
    long size = 0, resident = 0;
    in >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE) / (1024 * 1024);
}

// A header may claim any rate, channel count or length. Each case patches one field of a valid
// PCM WAV of 20000 frames. Claims past what any recording has give no handle; a claim the file
// does not back (a 4 GB data chunk) plays what is there, ends and stays small. Before the limits,
// a rate of 50 MHz made each stream's buffers 200 MB apiece and a loop filled them by decoding
// the file over and over.
struct HostileHeader {
    const char* name;
    size_t fmtOffset;  // into the "fmt " chunk's body, or kDataSize: the data chunk's size field
    int bytes;
    uint32_t value;
    bool opens;
};

constexpr size_t kDataSize = size_t(-1);

void PrintTo(const HostileHeader& c, std::ostream* os) { *os << c.name; }

class HostileHeaderTest : public LoopbackTest,
                          public ::testing::WithParamInterface<HostileHeader> {};

TEST_P(HostileHeaderTest, GivesNoHandleOrABoundedStream) {
    const HostileHeader& c = GetParam();
    const std::string path =
        writeRecording(dir, "good", {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, kRate, 20000});
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    const size_t fmt = bytes.find("fmt ");
    const size_t data = bytes.find("data");
    ASSERT_NE(fmt, std::string::npos);
    ASSERT_NE(data, std::string::npos);
    const size_t at = c.fmtOffset == kDataSize ? data + 4 : fmt + 8 + c.fmtOffset;
    for (int i = 0; i < c.bytes; ++i) bytes[at + i] = char((c.value >> (8 * i)) & 0xff);
    writeBytes(path, bytes);

    const long before = residentMb();
    for (uint32_t flags : {0u, kSampleLoop}) {
        SCOPED_TRACE(flags);
        const Handle h = lib.BASS_StreamCreateFile(path, flags);
        if (!c.opens) {
            EXPECT_EQ(h, 0u);
            continue;
        }
        ASSERT_NE(h, 0u);
        ASSERT_NE(lib.BASS_ChannelPlay(h, 0), 0);
        const std::vector<float> out = lib.renderFrames(20000 + 8192);
        for (float x : out) ASSERT_TRUE(std::isfinite(x) && std::fabs(x) <= 1.0f) << x;
        if (flags == 0) {
            EXPECT_EQ(lib.BASS_ChannelIsActive(h), 0u) << "ends where the data does";
        }
        lib.BASS_StreamFree(h);
    }
    EXPECT_LT(residentMb() - before, 32) << "MB more resident after the streams";
}

INSTANTIATE_TEST_SUITE_P(Claims, HostileHeaderTest,
                         ::testing::Values(HostileHeader{"rate_50MHz", 4, 4, 50000000, false},
                                           HostileHeader{"rate_400kHz", 4, 4, 400000, false},
                                           HostileHeader{"rate_zero", 4, 4, 0, false},
                                           HostileHeader{"channels_zero", 2, 2, 0, false},
                                           HostileHeader{"channels_1000", 2, 2, 1000, false},
                                           HostileHeader{"data_4GB", kDataSize, 4, 0xffffffffu,
                                                         true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A float file carries whatever bits it holds. Not-a-number and infinities play as silence and
// anything past the bound is clipped to it; values within it pass unchanged.
TEST_F(LoopbackTest, NonFiniteAndHugeSamplesArriveFiniteAndBounded) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<float> pattern = {0.25f, nan, inf, -inf, 1e30f, -1e30f, 3.5f, -5.0f};
    const std::vector<float> heard = {0.25f, 0.0f, 0.0f, 0.0f, 4.0f, -4.0f, 3.5f, -4.0f};
    const int frames = 20000;
    const std::string path = dir.file("wild");
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    std::vector<float> samples(2 * frames);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = pattern[i % pattern.size()];
    sf_writef_float(f, samples.data(), frames);
    sf_close(f);

    for (uint32_t flags : {0u, kSampleLoop}) {
        const Handle h = lib.BASS_StreamCreateFile(path, flags);
        ASSERT_NE(h, 0u);
        ASSERT_NE(lib.BASS_ChannelPlay(h, 0), 0);
        const std::vector<float> out = lib.renderFrames(frames);
        EXPECT_EQ(
            firstMismatch(out, 0, out.size(), [&](size_t i) { return heard[i % heard.size()]; }),
            "")
            << flags;
        lib.BASS_StreamFree(h);
    }
}

// Among good samples, a single bad one is found wherever it falls in what the reader decodes at a
// time: the first sample, one in the middle, the last one (after the last whole run of checks).
TEST_F(LoopbackTest, LoneBadSampleIsFoundWhereverItFalls) {
    struct Case {
        size_t at;
        float value;
        float heard;
    };
    const int frames = 20001;  // one read of the stream's first block; 40002 samples
    for (const Case& c : {Case{0, std::numeric_limits<float>::quiet_NaN(), 0.0f},
                          Case{12347, -std::numeric_limits<float>::infinity(), 0.0f},
                          Case{2 * frames - 1, 1e30f, 4.0f}}) {
        SCOPED_TRACE(c.at);
        const std::string path = dir.file("lone" + std::to_string(c.at));
        SF_INFO info{};
        info.samplerate = kRate;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
        ASSERT_NE(f, nullptr);
        std::vector<float> samples(2 * frames, 0.25f);
        samples[c.at] = c.value;
        sf_writef_float(f, samples.data(), frames);
        sf_close(f);

        const Handle h = lib.BASS_StreamCreateFile(path, 0);
        ASSERT_NE(h, 0u);
        ASSERT_NE(lib.BASS_ChannelPlay(h, 0), 0);
        const std::vector<float> out = lib.renderFrames(frames);
        EXPECT_EQ(firstMismatch(out, 0, out.size(),
                                [&](size_t i) { return i == c.at ? c.heard : 0.25f; }),
                  "");
        lib.BASS_StreamFree(h);
    }
}

// A file cut short plays what it has and then ends like any one-shot; looping, it loops over
// what it has.
TEST_F(LoopbackTest, TruncatedRecordingPlaysWhatItHasAndEnds) {
    for (int format : {SF_FORMAT_WAV | SF_FORMAT_PCM_16, SF_FORMAT_FLAC | SF_FORMAT_PCM_16,
                       SF_FORMAT_OGG | SF_FORMAT_VORBIS}) {
        SCOPED_TRACE(format);
        const std::string path = writeRecording(dir, "cut", {format, 2, kRate, 40000});
        fs::resize_file(path, fs::file_size(path) * 6 / 10);

        const Handle once = lib.BASS_StreamCreateFile(path, 0);
        const Handle loop = lib.BASS_StreamCreateFile(path, kSampleLoop);
        ASSERT_NE(once, 0u);
        ASSERT_NE(loop, 0u);
        lib.BASS_ChannelPlay(once, 0);
        lib.BASS_ChannelPlay(loop, 0);
        EXPECT_NE(lib.BASS_ChannelIsActive(once), 0u);
        lib.renderFrames(40000 + 8192);
        EXPECT_EQ(lib.BASS_ChannelIsActive(once), 0u);
        EXPECT_NE(lib.BASS_ChannelIsActive(loop), 0u);
        lib.BASS_StreamFree(once);
        lib.BASS_StreamFree(loop);
    }
}

TEST(AudioLibrary, ReportsVersionAndIgnoresCallsBeforeInit) {
    AlAudioLibrary lib(AlAudioLibrary::Output::kLoopback);
    EXPECT_EQ(lib.BASS_GetVersion(), kLibraryVersion);
    EXPECT_EQ(lib.BASS_StreamCreateFile("/dev/null", 0), 0u);
    EXPECT_EQ(lib.BASS_Stop(), 0);
    EXPECT_EQ(lib.BASS_Free(), 0);
    ASSERT_NE(lib.BASS_Init(-1, kRate, 0, nullptr), 0);
    EXPECT_NE(lib.BASS_Init(-1, kRate, 0, nullptr), 0) << "a second init keeps the first";
}

// The cases below run in a child process that starts this binary afresh, so that OpenAL there
// reads the drivers set in the environment by the case itself. Each case is a function that
// sets up, cleans up and returns the child's exit status; a failure says what on stderr.
class ChildProcessTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

#define EXPECT_CHILD_SUCCEEDS(body) \
    EXPECT_EXIT(std::_Exit(body()), ::testing::ExitedWithCode(0), "")

int fail(const char* what) {
    std::fprintf(stderr, "failed: %s\n", what);
    return 1;
}

int initWithoutAnyOutput() {
    TempDir dir;
    const std::string conf = dir.file("client.conf");
    writeBytes(conf, "autospawn = no\n");
    const std::string wav =
        writeRecording(dir, "w", {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, kRate, 100});
    setenv("ALSOFT_DRIVERS", "pulse", 1);
    setenv("PULSE_SERVER", ("unix:" + dir.file("no-server")).c_str(), 1);
    setenv("PULSE_CLIENTCONFIG", conf.c_str(), 1);
    AlAudioLibrary lib;
    if (lib.BASS_Init(-1, kRate, 0, nullptr) != 0) return fail("init reports no output");
    if (lib.BASS_StreamCreateFile(wav, kSampleLoop) != 0) return fail("no stream");
    if (lib.BASS_Free() != 0) return fail("nothing to free");
    if (lib.BASS_Init(-1, kRate, 0, nullptr) != 0) return fail("init again");
    return 0;
}

TEST_F(ChildProcessTest, InitFailsCleanlyWithoutAnyOutput) {
    EXPECT_CHILD_SUCCEEDS(initWithoutAnyOutput);
}

// Where no PulseAudio server is there at all, nothing listening on its socket or no socket, the
// library's own output plays instead (here its silent driver, after its PulseAudio backend): a
// short one-shot ends in its time, which nothing but a playing output makes it do.
int fallsBackWithoutASoundServer(bool staleSocket) {
    TempDir dir;
    const std::string conf = dir.file("client.conf");
    writeBytes(conf, "autospawn = no\n");
    const std::string socketPath = dir.file("native");
    if (staleSocket) {  // left by a server that is gone: a connect is refused
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
        const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(fd);
        if (!bound) return fail("stale socket");
    }
    const std::string wav =
        writeRecording(dir, "w", {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, kRate, 4410});
    setenv("ALSOFT_DRIVERS", "pulse,null", 1);
    setenv("PULSE_SERVER", ("unix:" + socketPath).c_str(), 1);
    setenv("PULSE_CLIENTCONFIG", conf.c_str(), 1);
    AlAudioLibrary lib;
    if (lib.BASS_Init(-1, kRate, 0, nullptr) == 0) return fail("init on the fallback");
    const Handle h = lib.BASS_StreamCreateFile(wav, 0);
    if (h == 0 || lib.BASS_ChannelPlay(h, 0) == 0) return fail("a one-shot plays");
    // Polled, with a deadline far beyond the 0.1 s it lasts.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (lib.BASS_ChannelIsActive(h) != 0) {
        if (std::chrono::steady_clock::now() > deadline) return fail("the one-shot ends");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (lib.BASS_Free() == 0) return fail("free");
    return 0;
}

TEST_F(ChildProcessTest, WithoutASoundServerTheLibrarysOwnOutputPlays) {
    EXPECT_CHILD_SUCCEEDS([] { return fallsBackWithoutASoundServer(false); });
    EXPECT_CHILD_SUCCEEDS([] { return fallsBackWithoutASoundServer(true); });
}

// The library's configuration file is the user's alone. In the runtime folder a symlink planted
// under its name is replaced, never written through; without a runtime folder the file goes to a
// fresh folder only the user can enter, not to a name in /tmp anyone can take first, and that
// folder goes at the close.
int configurationFileIsPrivate(bool withRuntimeFolder) {
    TempDir dir;
    const std::string victim = dir.file("victim");
    writeBytes(victim, "keep");
    const std::string runtime = dir.file("run");
    const std::string name = "/ombrelin-" + std::to_string(getuid()) + "-openal.conf";
    unsetenv("ALSOFT_CONF");
    setenv("ALSOFT_DRIVERS", "null", 1);
    if (withRuntimeFolder) {
        mkdir(runtime.c_str(), 0700);
        if (symlink(victim.c_str(), (runtime + name).c_str()) != 0) return fail("plant");
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    } else {
        unsetenv("XDG_RUNTIME_DIR");
    }
    AlAudioLibrary lib;
    if (lib.BASS_Init(-1, kRate, 0, nullptr) == 0) return fail("init");
    const char* conf = std::getenv("ALSOFT_CONF");
    if (!conf) return fail("configuration written");
    const std::string path = conf;
    const std::string folder = fs::path(path).parent_path().string();
    struct stat file {};
    struct stat parent {};
    if (lstat(path.c_str(), &file) != 0 || stat(folder.c_str(), &parent) != 0) return fail("stat");
    int result = 0;
    if (!S_ISREG(file.st_mode) || (file.st_mode & 07777) != 0600) result = fail("a 0600 file");
    if (file.st_uid != geteuid() || parent.st_uid != geteuid()) result = fail("the user's own");
    if ((parent.st_mode & 0077) != 0) result = fail("in a folder of the user's alone");
    if (withRuntimeFolder && path != runtime + name) result = fail("in the runtime folder");
    std::ifstream in(victim);
    if (std::string(std::istreambuf_iterator<char>(in), {}) != "keep") result = fail("victim kept");
    lib.BASS_Free();
    if (withRuntimeFolder && !fs::exists(path)) result = fail("the runtime folder's file kept");
    if (!withRuntimeFolder && fs::exists(folder)) result = fail("the folder removed at the close");
    if (!withRuntimeFolder && folder.rfind("/tmp/ombrelin-openal-", 0) == 0) fs::remove_all(folder);
    return result;
}

// A start that finds no output leaves no folder of its own in /tmp either.
int failedStartRemovesItsConfigurationFolder() {
    TempDir dir;
    const std::string conf = dir.file("client.conf");
    writeBytes(conf, "autospawn = no\n");
    unsetenv("ALSOFT_CONF");
    unsetenv("XDG_RUNTIME_DIR");
    setenv("ALSOFT_DRIVERS", "pulse", 1);
    setenv("PULSE_SERVER", ("unix:" + dir.file("no-server")).c_str(), 1);
    setenv("PULSE_CLIENTCONFIG", conf.c_str(), 1);
    AlAudioLibrary lib;
    if (lib.BASS_Init(-1, kRate, 0, nullptr) != 0) return fail("init reports no output");
    const char* written = std::getenv("ALSOFT_CONF");
    if (!written) return fail("configuration written");
    const fs::path folder = fs::path(written).parent_path();
    if (fs::exists(folder)) {
        fs::remove_all(folder);
        return fail("the folder removed after the failed start");
    }
    return 0;
}

TEST_F(ChildProcessTest, ConfigurationFileIsPrivate) {
    EXPECT_CHILD_SUCCEEDS([] { return configurationFileIsPrivate(true); });
    EXPECT_CHILD_SUCCEEDS([] { return configurationFileIsPrivate(false); });
    EXPECT_CHILD_SUCCEEDS(failedStartRemovesItsConfigurationFolder);
}

// With the feeder thread running on a real-time (silent) device, a loop keeps sounding and a
// short one-shot ends on its own.
int realTimePlayback() {
    TempDir dir;
    const std::string loop =
        writeRecording(dir, "loop", {SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, kRate, 20000});
    const std::string once =
        writeRecording(dir, "once", {SF_FORMAT_OGG | SF_FORMAT_VORBIS, 1, 22050, 5000});
    setenv("ALSOFT_DRIVERS", "null", 1);
    AlAudioLibrary lib;
    if (lib.BASS_Init(-1, kRate, 0, nullptr) == 0) return fail("init");
    const Handle l = lib.BASS_StreamCreateFile(loop, kSampleLoop);
    const Handle o = lib.BASS_StreamCreateFile(once, 0);
    lib.BASS_ChannelSetAttribute(l, kAttribVolume, 0.3f);
    lib.BASS_ChannelPlay(l, 0);
    lib.BASS_ChannelPlay(o, 0);
    if (lib.BASS_ChannelIsActive(o) == 0) return fail("one-shot started");
    // Polled, with a deadline far beyond the 0.23 s it lasts.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (lib.BASS_ChannelIsActive(o) != 0) {
        if (std::chrono::steady_clock::now() > deadline) return fail("one-shot ends");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (int i = 0; i < 60; ++i) {  // about 1.2 s, several loop ends
        if (lib.BASS_ChannelIsActive(l) == 0) return fail("loop active");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (lib.BASS_Free() == 0) return fail("free");
    return 0;
}

TEST_F(ChildProcessTest, RealTimeLoopKeepsPlayingAndOneShotEnds) {
    EXPECT_CHILD_SUCCEEDS(realTimePlayback);
}

// A child's own sound server, not yet started, that the audio layer is pointed at, and a looping
// recording to play on it. The mix reaches the server through the program's own stream, or with
// `openal` through OpenAL's own output (its PulseAudio backend, what a machine gets where the
// stream cannot be opened).
struct ServedLoop {
    static std::string runtimeIn(const TempDir& dir) {
        const std::string runtime = dir.file("run");
        fs::create_directory(runtime);
        fs::permissions(runtime, fs::perms::owner_all);
        return runtime;
    }
    explicit ServedLoop(bool throughOpenAl = false) : openal(throughOpenAl) {
        setenv("ALSOFT_DRIVERS", "pulse", 1);
        if (openal) {
            setenv("OMBRELIN_AUDIO_OUTPUT", "openal", 1);
        } else {
            unsetenv("OMBRELIN_AUDIO_OUTPUT");
        }
        server.exportEnvironment();
    }
    // Whether what plays on the server came through the output asked for: the program's own
    // stream goes by its own name.
    bool onTheOutputAskedFor() const {
        const bool ownStream = std::system(
                                   "pactl list sink-inputs 2>/dev/null | "
                                   "grep -q 'media.name = \"Soundscape\"'") == 0;
        return ownStream != openal;
    }

    const bool openal;
    TempDir dir;
    const std::string loop =
        writeRecording(dir, "loop", {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, kRate, 30000});
    SoundServer server{runtimeIn(dir)};
};

// The sound server's faults below, over both outputs.
struct ServerOutput {
    const char* name;
    bool openal;
};

void PrintTo(const ServerOutput& o, std::ostream* os) { *os << o.name; }

class SoundServerFaultTest : public ChildProcessTest,
                             public ::testing::WithParamInterface<ServerOutput> {
protected:
    void SetUp() override {
        ChildProcessTest::SetUp();
        if (!SoundServer::installed()) GTEST_SKIP() << "pulseaudio is not installed";
    }
};

// The sound server goes away under a playing stream and comes back: the handle stays valid, the
// loop reads active all along and is heard again on the new server, through the same output. With
// `hangsAtFirst` the new server stops answering as soon as it is up, before the feeder got
// through to it, and resumes a few seconds later: the feeder's reopens give up on it meanwhile
// instead of turning to OpenAL's own output, which would wait on it and then play there.
int soundServerRestart(bool openal, bool hangsAtFirst) {
    ServedLoop p(openal);
    if (!p.server.start()) return fail("server start");

    AlAudioLibrary lib;
    if (lib.BASS_Init(-1, kRate, 0, nullptr) == 0) return fail("init");
    const Handle h = lib.BASS_StreamCreateFile(p.loop, kSampleLoop);
    lib.BASS_ChannelPlay(h, 0);
    if (!p.server.sounding()) return fail("heard before");
    if (!p.onTheOutputAskedFor()) return fail("on the output asked for");
    p.server.stop();
    // Gone for a while: the feeder retries about once a second meanwhile.
    for (int i = 0; i < 75; ++i) {
        if (lib.BASS_ChannelIsActive(h) == 0) return fail("active while gone");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!p.server.start()) return fail("server restart");
    if (hangsAtFirst) {
        kill(p.server.pid(), SIGSTOP);
        std::this_thread::sleep_for(std::chrono::seconds(4));
        if (lib.BASS_ChannelIsActive(h) == 0) return fail("active while the new server hangs");
        kill(p.server.pid(), SIGCONT);
    }
    bool heard = false;
    for (int i = 0; i < 10 && !heard; ++i) heard = p.server.sounding();
    if (!heard) return fail("heard after the restart");
    if (!p.onTheOutputAskedFor()) return fail("on the output asked for after the restart");
    if (lib.BASS_ChannelIsActive(h) == 0) return fail("active after");
    if (lib.BASS_StreamFree(h) == 0 || lib.BASS_Free() == 0) return fail("free");
    return 0;
}

TEST_P(SoundServerFaultTest, StreamsComeBackAfterTheSoundServerRestarts) {
    const bool openal = GetParam().openal;
    EXPECT_CHILD_SUCCEEDS([openal] { return soundServerRestart(openal, false); });
    EXPECT_CHILD_SUCCEEDS([openal] { return soundServerRestart(openal, true); });
}

// A close while the sound server hangs leaves the feeder behind inside a call into it. When the
// server answers again, long after the library is gone and its memory reused, that thread must
// find everything it touches still there: the child ends cleanly instead of crashing.
int feederLeftBehindAtAHungClose(bool openal) {
    ServedLoop p(openal);
    if (!p.server.start()) return fail("server start");

    auto lib = std::make_unique<AlAudioLibrary>();
    if (lib->BASS_Init(-1, kRate, 0, nullptr) == 0) return fail("init");
    const Handle h = lib->BASS_StreamCreateFile(p.loop, kSampleLoop);
    lib->BASS_ChannelPlay(h, 0);
    if (!p.server.sounding()) return fail("heard before");
    if (!p.onTheOutputAskedFor()) return fail("on the output asked for");
    kill(p.server.pid(), SIGSTOP);
    // Nothing sounds any more: the feeder's next round pauses the output, a call into the
    // stopped server that does not return.
    lib->BASS_StreamFree(h);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const auto start = std::chrono::steady_clock::now();
    lib->BASS_Free();
    if (std::chrono::steady_clock::now() - start > std::chrono::seconds(6)) return fail("bounded");
    lib.reset();
    // Whatever the library's memory held is overwritten before the server answers again.
    std::vector<std::unique_ptr<char[]>> reuse;
    for (int i = 0; i < 256; ++i) {
        reuse.emplace_back(new char[sizeof(AlAudioLibrary)]);
        std::memset(reuse.back().get(), 0xa5, sizeof(AlAudioLibrary));
    }
    kill(p.server.pid(), SIGCONT);
    std::this_thread::sleep_for(std::chrono::seconds(2));  // the feeder's call returns meanwhile
    return 0;
}

TEST_P(SoundServerFaultTest, FeederLeftBehindAtAHungCloseTouchesNothingFreed) {
    const bool openal = GetParam().openal;
    EXPECT_CHILD_SUCCEEDS([openal] { return feederLeftBehindAtAHungClose(openal); });
}

INSTANTIATE_TEST_SUITE_P(Outputs, SoundServerFaultTest,
                         ::testing::Values(ServerOutput{"own_stream", false},
                                           ServerOutput{"openal", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A sound server that is there but hangs (stopped) when the library starts: the init ends within
// a few seconds instead of waiting on the server through OpenAL's own output, a stream made
// meanwhile reads as playing, and it is heard once the server answers again. A hang fails the
// child through the alarm instead of holding the run.
int initWhileTheSoundServerHangs() {
    ServedLoop p;
    if (!p.server.start()) return fail("server start");
    alarm(60);
    kill(p.server.pid(), SIGSTOP);
    AlAudioLibrary lib;
    const auto start = std::chrono::steady_clock::now();
    if (lib.BASS_Init(-1, kRate, 0, nullptr) == 0) return fail("init while the server hangs");
    if (std::chrono::steady_clock::now() - start > std::chrono::seconds(6)) return fail("bounded");
    const Handle h = lib.BASS_StreamCreateFile(p.loop, kSampleLoop);
    if (h == 0 || lib.BASS_ChannelPlay(h, 0) == 0) return fail("a stream while the server hangs");
    std::this_thread::sleep_for(std::chrono::seconds(1));
    if (lib.BASS_ChannelIsActive(h) == 0) return fail("active while the server hangs");
    kill(p.server.pid(), SIGCONT);
    bool heard = false;
    for (int i = 0; i < 10 && !heard; ++i) heard = p.server.sounding();
    if (!heard) return fail("heard once the server answers");
    if (!p.onTheOutputAskedFor()) return fail("through the program's own stream");
    if (lib.BASS_StreamFree(h) == 0 || lib.BASS_Free() == 0) return fail("free");
    return 0;
}

TEST_F(ChildProcessTest, InitWhileTheSoundServerHangsEndsAndPlaysOnceItAnswers) {
    if (!SoundServer::installed()) GTEST_SKIP() << "pulseaudio is not installed";
    EXPECT_CHILD_SUCCEEDS(initWhileTheSoundServerHangs);
}

}  // namespace
}  // namespace engine
