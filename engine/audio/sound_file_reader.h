// Decodes one recording for streaming: the format is recognised from the content, and the
// samples come out as interleaved stereo float frames, a block at a time, so a long file is
// never held in memory whole. A looping reader starts over inside the same block when the file
// ends, which makes the seam sample-exact. Mono is copied to both sides; of a file with more than
// two channels only the first two are played (front left and right in WAV and FLAC; libsndfile
// reports no channel layout for the compressed formats, so there is nothing better to go on).
// Not thread-safe: one stream owns its reader and one thread at a time uses it (the thread that
// creates the stream, then the feeder).
//
// A header can claim anything, so what a recording may be is bounded here, from what real
// recordings use, and nothing is ever sized from a header beyond these limits:
// - 1 to 8 channels (7.1 is the most any real recording carries);
// - 8000 to 192000 Hz (telephone speech to studio masters);
// - the length in the header never decides what is decoded: decoding stops where the data does.
//   It only tells how long a one-shot lasts while it is not decoded at all (at volume 0, see
//   al_audio_library.h); a header that lies makes such an unheard stream end early or late,
//   and once heard again it plays what the data holds.
// A file outside them does not open, so its layer stays silent. Samples come out finite and
// within +-4.0 (about +12 dBFS; real recordings stay within +-1.0, a float file a little past
// it): not-a-number and infinity read as 0, anything louder is clipped to the bound, so a
// damaged file can never put an insane value into the mix. A loop whose file yields no frames
// after starting over, or which starts over more than kMaxRewindsPerRead times to fill one
// read (a loop of a handful of frames), ends instead of spinning.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

struct sf_private_tag;

namespace engine {

class SoundFileReader {
public:
    static constexpr int kMinChannels = 1;
    static constexpr int kMaxChannels = 8;
    static constexpr int kMinSampleRate = 8000;
    static constexpr int kMaxSampleRate = 192000;
    static constexpr float kMaxSample = 4.0f;
    static constexpr int kMaxRewindsPerRead = 1000;

    // nullptr when the path is not a regular file libsndfile can decode within the limits above.
    static std::unique_ptr<SoundFileReader> open(const std::string& path);
    ~SoundFileReader();
    SoundFileReader(const SoundFileReader&) = delete;
    SoundFileReader& operator=(const SoundFileReader&) = delete;

    int sampleRate() const { return m_sampleRate; }

    // Writes up to `frames` stereo frames (2 * frames floats) into out and returns how many it
    // wrote. With loop, the end of the file continues from its start, so only a file that has
    // nothing to play returns less. Without loop, returning fewer than asked means the end was
    // reached; atEnd() then tells so. A decoding error counts as the end of the file.
    size_t read(float* out, size_t frames, bool loop);
    bool atEnd() const { return m_atEnd; }

    // Back to the first frame. False when the file can no longer be read.
    bool rewind();
    // To `frame` frames from the start; past the data, or when the decoder cannot seek, the
    // reader is at its end. False then.
    bool seek(size_t frame);
    // The length the header claims, in frames; 0 when it claims none or the file cannot seek.
    size_t claimedFrames() const { return m_claimedFrames; }

private:
    SoundFileReader() = default;
    bool openFile();
    void closeFile();

    std::string m_path;
    sf_private_tag* m_file = nullptr;
    int m_channels = 0;
    int m_sampleRate = 0;
    int m_right = 0;  // source channel played on the right; the left is always channel 0
    bool m_atEnd = false;
    size_t m_framesSinceStart = 0;  // guards a loop over a file that yields nothing
    size_t m_claimedFrames = 0;
    std::vector<float> m_scratch;
};

}  // namespace engine
