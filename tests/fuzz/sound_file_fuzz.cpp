// Opens whatever bytes it is given as a recording and plays it the way a stream does: looped in
// reads of awkward sizes, then rewound and read once to the end, then joined in the middle.
// Whatever the header claims, the reader must keep to its limits: a sample rate within range, every
// sample a finite number within the bound, a short read only at the end, and no spinning or
// unbounded memory (libFuzzer's -timeout and -rss_limit_mb catch those).
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/audio/sound_file_reader.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/support/temp_dir.h"

namespace {

using engine::SoundFileReader;

// Frames read per input at most: enough to cross several of the reader's scratch blocks and a
// loop's seam in a small file, little enough to keep thousands of inputs a second.
constexpr size_t kMaxFramesPerInput = 1 << 16;

void checkSamples(const std::vector<float>& buffer, size_t frames) {
    for (size_t i = 0; i < 2 * frames; ++i) {
        FUZZ_CHECK(std::isfinite(buffer[i]));
        FUZZ_CHECK(std::fabs(buffer[i]) <= SoundFileReader::kMaxSample);
    }
}

// The reader opens files by path, as the program does, so each input goes through one.
const std::string& inputPath() {
    static testing_support::TempDir dir("fuzz");
    static const std::string path = dir.file("recording");
    return path;
}

bool writeInput(const uint8_t* data, size_t size) {
    const int fd = open(inputPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    close(fd);
    return done == size;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!writeInput(data, size)) return 0;
    std::unique_ptr<SoundFileReader> reader = SoundFileReader::open(inputPath());
    if (!reader) return 0;
    FUZZ_CHECK(reader->sampleRate() >= SoundFileReader::kMinSampleRate &&
               reader->sampleRate() <= SoundFileReader::kMaxSampleRate);

    std::vector<float> buffer;
    size_t total = 0;
    // Looped: a file with anything to play fills every read whole.
    for (size_t frames : {size_t{1}, size_t{1000}, size_t{5000}}) {
        buffer.assign(2 * frames, NAN);
        const size_t got = reader->read(buffer.data(), frames, true);
        FUZZ_CHECK(got <= frames);
        checkSamples(buffer, got);
        total += got;
        if (got < frames) break;
    }

    // Once through: short reads only at the end, and the end stays the end.
    reader->rewind();
    while (total < kMaxFramesPerInput) {
        const size_t frames = 4099;
        buffer.assign(2 * frames, NAN);
        const size_t got = reader->read(buffer.data(), frames, false);
        FUZZ_CHECK(got <= frames);
        checkSamples(buffer, got);
        total += got;
        if (got < frames) {
            FUZZ_CHECK(reader->atEnd());
            FUZZ_CHECK(reader->read(buffer.data(), frames, false) == 0);
            break;
        }
    }

    // Joined in the middle, as a one-shot heard again after a silence is: a seek the header's
    // length allows either lands and reads within the limits, or leaves the reader at its end.
    const size_t claimed = reader->claimedFrames();
    if (claimed > 0) {
        const bool landed = reader->seek(claimed / 2);
        FUZZ_CHECK(landed != reader->atEnd());
        buffer.assign(2 * 4099, NAN);
        const size_t got = reader->read(buffer.data(), 4099, false);
        FUZZ_CHECK(landed || got == 0);
        checkSamples(buffer, got);
    }
    return 0;
}
