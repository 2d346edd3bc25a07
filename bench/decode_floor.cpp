// The least any player of these recordings must spend: libsndfile decoding each of them for the
// given number of seconds of audio (looping at the end), into one reused block, with nothing
// after it. bench/soundscape_bench.sh runs it beside the program, on the same files and for as
// long, and prints the program's CPU as a multiple of this floor.
#include <sndfile.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s SECONDS FILE...\n", argv[0]);
        return 2;
    }
    const double seconds = std::atof(argv[1]);
    std::vector<float> block;
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
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double cpu = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                       (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::printf("%.3f\n", cpu);
    return 0;
}
