// Plays the given recordings together, each looping, through the OpenAL audio library for a
// number of seconds, then reports whether every stream read active throughout. The audio CPU
// benchmark (bench/audio_cpu.sh) measures this process; it is also handy by hand to hear the
// layer or to check that streams survive a sound server restart.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "engine/audio/al_audio_library.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s SECONDS FILE...\n", argv[0]);
        return 2;
    }
    const double seconds = std::atof(argv[1]);
    engine::AlAudioLibrary audio;
    if (audio.BASS_Init(-1, 44100, 0, nullptr) == 0) {
        std::fprintf(stderr, "no audio output\n");
        return 1;
    }
    std::vector<engine::Handle> streams;
    for (int i = 2; i < argc; ++i) {
        const engine::Handle h = audio.BASS_StreamCreateFile(argv[i], engine::kSampleLoop);
        if (h == 0) {
            std::fprintf(stderr, "cannot play %s\n", argv[i]);
            return 1;
        }
        audio.BASS_ChannelSetAttribute(h, engine::kAttribVolume, 0.5f);
        audio.BASS_ChannelPlay(h, 0);
        streams.push_back(h);
    }
    // Poll as the program's timers would, a few times a second.
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int inactive = 0;
    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        for (engine::Handle h : streams) {
            if (audio.BASS_ChannelIsActive(h) == 0) ++inactive;
        }
    }
    audio.BASS_Free();
    std::printf("streams %zu, inactive readings %d\n", streams.size(), inactive);
    return inactive == 0 ? 0 : 3;
}
