// The least any player of these recordings must spend: libsndfile decoding each of them for the
// given number of seconds of audio (looping at the end), into one reused block, with nothing
// after it. bench/soundscape_bench.sh runs it beside the program, on the same files and for as
// long, and prints the program's CPU as a multiple of this floor.
//
// With --paced, the same decoding in a player's rhythm instead of all at once: every half second
// of real time, the next half second of each file, then asleep until the next round, for SECONDS
// of real time. The bench runs it beside the program, in the same window: the machine's speed on
// this VM moves by 15% from one minute to the next, and work done in short bursts after a sleep
// costs more than one tight loop (cold caches), so this is the like-for-like floor.
#include <sndfile.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Reads `frames` frames of f into block, looping at the end; false when the file yields nothing.
bool decode(SNDFILE* f, int channels, sf_count_t frames, std::vector<float>& block) {
    const sf_count_t blockFrames = 8192;
    block.resize(static_cast<size_t>(blockFrames * channels));
    bool rewound = false;
    while (frames > 0) {
        const sf_count_t got = sf_readf_float(f, block.data(), std::min(frames, blockFrames));
        if (got <= 0) {
            if (rewound || sf_seek(f, 0, SEEK_SET) < 0) return false;
            rewound = true;
            continue;
        }
        rewound = false;
        frames -= got;
    }
    return true;
}

int pacedFloor(double seconds, int count, char** paths) {
    struct File {
        SNDFILE* f;
        SF_INFO info;
    };
    std::vector<File> files;
    for (int i = 0; i < count; ++i) {
        File file{nullptr, {}};
        file.f = sf_open(paths[i], SFM_READ, &file.info);
        if (!file.f) {
            std::fprintf(stderr, "cannot open %s: %s\n", paths[i], sf_strerror(nullptr));
            return 1;
        }
        files.push_back(file);
    }
    std::vector<float> block;
    const auto start = std::chrono::steady_clock::now();
    const auto round = std::chrono::milliseconds(500);
    for (int r = 0; r * 0.5 < seconds; ++r) {
        for (File& file : files)
            decode(file.f, file.info.channels, file.info.samplerate / 2, block);
        std::this_thread::sleep_until(start + (r + 1) * round);
    }
    for (File& file : files) sf_close(file.f);
    std::printf("%.3f\n", cpuSeconds());
    return 0;
}

int main(int argc, char** argv) {
    const bool paced = argc > 1 && std::string(argv[1]) == "--paced";
    if (argc < 3 + paced) {
        std::fprintf(stderr, "usage: %s [--paced] SECONDS FILE...\n", argv[0]);
        return 2;
    }
    const double seconds = std::atof(argv[1 + paced]);
    std::vector<float> block;
    if (paced) return pacedFloor(seconds, argc - 2 - paced, argv + 2 + paced);
    for (int i = 2; i < argc; ++i) {
        SF_INFO info{};
        SNDFILE* f = sf_open(argv[i], SFM_READ, &info);
        if (!f) {
            std::fprintf(stderr, "cannot open %s: %s\n", argv[i], sf_strerror(nullptr));
            return 1;
        }
        const sf_count_t blockFrames = 8192;
        block.resize(static_cast<size_t>(blockFrames * info.channels));
        sf_count_t left = static_cast<sf_count_t>(seconds * info.samplerate);
        while (left > 0) {
            const sf_count_t got = sf_readf_float(f, block.data(), std::min(left, blockFrames));
            if (got <= 0) {
                if (sf_seek(f, 0, SEEK_SET) < 0) break;
                continue;
            }
            left -= got;
        }
        sf_close(f);
    }
    std::printf("%.3f\n", cpuSeconds());
    return 0;
}
