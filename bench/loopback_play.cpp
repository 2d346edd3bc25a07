// Plays recordings through the audio layer's loopback output for a number of seconds of audio,
// paced as the real output would be, with no sound server, no thread and no clock: the same work
// on every run, so an instruction count of it (bench/audio_instructions.sh) is a figure without
// noise. What it does per second of audio, like the program on its own stream:
// - renders the mix in blocks of 75 ms (what the sound server asks for at a time) and keeps it
//   within full scale with the same limiter;
// - runs the feeder's round (pump) every half second (the feeder refills one buffer of half a
//   second per stream, when the first stream is down to its last second);
// - asks every stream whether it is active four times a second (the program's layer timers) and
//   plays a one-shot again when it has ended.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/audio/al_audio_library.h"
#include "engine/audio/peak_limiter.h"

namespace {

// The output's rate: PulseAudio's default, or LOOPBACK_PLAY_RATE (PipeWire's default is 48000,
// where the library resamples every recording of the pack).
int outputRate() {
    const char* asked = std::getenv("LOOPBACK_PLAY_RATE");
    const int rate = asked ? std::atoi(asked) : 0;
    return rate >= 8000 && rate <= 192000 ? rate : 44100;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s SECONDS LOOP_FILE... [--once ONE_SHOT_FILE...]\n", argv[0]);
        return 2;
    }
    const int rate = outputRate();
    const int renderFrames = rate * 75 / 1000;
    const int pumpFrames = rate / 2;
    const int pollFrames = rate / 4;
    const long total = std::lround(std::atof(argv[1]) * rate);
    engine::AlAudioLibrary audio(engine::AlAudioLibrary::Output::kLoopback);
    if (audio.BASS_Init(-1, rate, 0, nullptr) == 0) {
        std::fprintf(stderr, "no OpenAL loopback device\n");
        return 1;
    }
    std::vector<engine::Handle> streams;
    bool once = false;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--once") == 0) {
            once = true;
            continue;
        }
        const engine::Handle h =
            audio.BASS_StreamCreateFile(argv[i], once ? 0 : engine::kSampleLoop);
        if (h == 0) {
            std::fprintf(stderr, "cannot play %s\n", argv[i]);
            return 1;
        }
        audio.BASS_ChannelSetAttribute(h, engine::kAttribVolume, 0.5f);
        audio.BASS_ChannelPlay(h, 0);
        streams.push_back(h);
    }

    engine::PeakLimiter limiter(rate);
    std::vector<float> block(2 * renderFrames);
    long nextPump = 0;
    long nextPoll = pollFrames;
    int restarts = 0;
    double sum = 0.0;  // of the output, printed so none of the mix can be left out
    for (long done = 0; done < total;) {
        if (done >= nextPump) {
            audio.pump();
            nextPump += pumpFrames;
        }
        if (done >= nextPoll) {
            for (engine::Handle h : streams) {
                if (audio.BASS_ChannelIsActive(h) == 0) {
                    audio.BASS_ChannelPlay(h, 1);
                    ++restarts;
                }
            }
            nextPoll += pollFrames;
        }
        const int frames = static_cast<int>(std::min<long>(renderFrames, total - done));
        audio.render(block.data(), frames);
        limiter.process(block.data(), static_cast<size_t>(frames));
        for (int i = 0; i < 2 * frames; i += 997) sum += block[static_cast<size_t>(i)];
        done += frames;
    }
    audio.BASS_Free();
    std::printf("streams %zu, one-shots played again %d, checksum %.6f\n", streams.size(), restarts,
                sum);
    return 0;
}
