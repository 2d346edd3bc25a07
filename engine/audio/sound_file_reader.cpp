#include "engine/audio/sound_file_reader.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cmath>

namespace engine {
namespace {

constexpr size_t kScratchFrames = 4096;

float sanitised(float x) {
    if (!std::isfinite(x)) return 0.0f;
    return std::clamp(x, -SoundFileReader::kMaxSample, SoundFileReader::kMaxSample);
}

// True when every sample is within the bound, as in any real recording (not-a-number is not), so
// the usual block is only read, never written. The runs keep kRun flags side by side: GCC
// vectorises that at -O2, where a loop keeping a single flag stays one sample at a time.
bool withinBound(const float* samples, size_t count) {
    constexpr size_t kRun = 16;
    std::array<int, kRun> outside{};
    size_t i = 0;
    for (; i + kRun <= count; i += kRun) {
        for (size_t j = 0; j < kRun; ++j) {
            outside[j] |= !(std::fabs(samples[i + j]) <= SoundFileReader::kMaxSample);
        }
    }
    for (; i < count; ++i) outside[0] |= !(std::fabs(samples[i]) <= SoundFileReader::kMaxSample);
    for (int o : outside) {
        if (o) return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<SoundFileReader> SoundFileReader::open(const std::string& path) {
    // libsndfile would happily open a directory and only fail on the first read.
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
    std::unique_ptr<SoundFileReader> reader(new SoundFileReader);
    reader->m_path = path;
    if (!reader->openFile()) return nullptr;
    return reader;
}

SoundFileReader::~SoundFileReader() { closeFile(); }

bool SoundFileReader::openFile() {
    SF_INFO info{};
    SNDFILE* file = sf_open(m_path.c_str(), SFM_READ, &info);
    if (!file) return false;
    if (info.channels < kMinChannels || info.channels > kMaxChannels ||
        info.samplerate < kMinSampleRate || info.samplerate > kMaxSampleRate) {
        sf_close(file);
        return false;
    }
    m_file = file;
    m_channels = info.channels;
    m_sampleRate = info.samplerate;
    m_right = m_channels > 1 ? 1 : 0;
    // Stereo decodes straight into the caller's block; other layouts go through a block of
    // their own to be turned into stereo.
    m_scratch.resize(m_channels == 2 ? 0 : kScratchFrames * static_cast<size_t>(m_channels));
    m_atEnd = false;
    m_framesSinceStart = 0;
    m_claimedFrames = info.seekable && info.frames > 0 && info.frames < SF_COUNT_MAX
                          ? static_cast<size_t>(info.frames)
                          : 0;
    return true;
}

void SoundFileReader::closeFile() {
    if (m_file) sf_close(m_file);
    m_file = nullptr;
}

bool SoundFileReader::rewind() {
    m_atEnd = false;
    m_framesSinceStart = 0;
    if (m_file && sf_seek(m_file, 0, SEEK_SET) == 0) return true;
    // Some decoders cannot seek after an error; reading the file afresh always starts at 0.
    closeFile();
    if (openFile()) return true;
    m_atEnd = true;
    return false;
}

bool SoundFileReader::seek(size_t frame) {
    if (frame == 0) return rewind();
    m_atEnd = true;
    if (!m_file || frame >= m_claimedFrames) return false;
    if (sf_seek(m_file, static_cast<sf_count_t>(frame), SEEK_SET) < 0) return false;
    m_atEnd = false;
    m_framesSinceStart = frame;
    return true;
}

size_t SoundFileReader::read(float* out, size_t frames, bool loop) {
    size_t done = 0;
    int rewinds = 0;
    while (done < frames && !m_atEnd) {
        float* o = out + 2 * done;
        const bool stereo = m_channels == 2;
        const size_t want = stereo ? frames - done : std::min(frames - done, kScratchFrames);
        // The end of the file is where decoding stops, not the length in the header: a
        // truncated or padded file disagrees with its header.
        const sf_count_t got = m_file ? sf_readf_float(m_file, stereo ? o : m_scratch.data(),
                                                       static_cast<sf_count_t>(want))
                                      : 0;
        if (got <= 0) {
            if (!loop || m_framesSinceStart == 0 || ++rewinds > kMaxRewindsPerRead || !rewind()) {
                m_atEnd = true;
            }
            continue;
        }
        if (!stereo) {
            const float* in = m_scratch.data();
            for (sf_count_t i = 0; i < got; ++i, in += m_channels) {
                o[2 * i] = in[0];
                o[2 * i + 1] = in[m_right];
            }
        }
        // A damaged file can hold anything: checked first, fixed only when needed.
        const size_t samples = 2 * static_cast<size_t>(got);
        if (!withinBound(o, samples)) std::transform(o, o + samples, o, sanitised);
        done += static_cast<size_t>(got);
        m_framesSinceStart += static_cast<size_t>(got);
    }
    return done;
}

}  // namespace engine
