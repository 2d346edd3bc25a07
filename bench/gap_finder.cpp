// Finds the gaps in a recording of a sink monitor: stretches where every sample is silent while
// the soundscape plays a brook that never is. A sound server that runs out of data plays zeros,
// so a dropout shows as such a stretch. Reads raw interleaved stereo float at the given rate
// from stdin until it ends, skips the first seconds (the stream starting), and prints one line:
// "seconds S gaps N longest_ms L first_at_s T".
//
// usage: gap_finder RATE [SKIP_SECONDS [SHORTEST_MS]]   (default skip 2 s, shortest gap 5 ms)
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s RATE [SKIP_SECONDS [SHORTEST_MS]]\n", argv[0]);
        return 2;
    }
    const double rate = std::atof(argv[1]);
    const double skip = argc > 2 ? std::atof(argv[2]) : 2.0;
    const double shortestMs = argc > 3 ? std::atof(argv[3]) : 5.0;
    // Far below the quietest moment of a brook, far above what a resampler's rounding leaves.
    const float silent = 1e-5f;
    const auto shortest = static_cast<long long>(rate * shortestMs / 1000.0);
    const auto skipFrames = static_cast<long long>(rate * skip);

    std::vector<float> block(2 * 4096);
    long long frame = 0;
    long long run = 0;  // silent frames in a row
    long long gaps = 0;
    long long longest = 0;
    double firstAt = -1.0;
    size_t got = 0;
    while ((got = std::fread(block.data(), 2 * sizeof(float), block.size() / 2, stdin)) > 0) {
        for (size_t i = 0; i < got; ++i, ++frame) {
            if (frame < skipFrames) continue;
            const bool quiet =
                std::fabs(block[2 * i]) < silent && std::fabs(block[2 * i + 1]) < silent;
            if (quiet) {
                ++run;
                continue;
            }
            if (run >= shortest) {
                ++gaps;
                if (run > longest) longest = run;
                if (firstAt < 0) firstAt = double(frame - run) / rate;
            }
            run = 0;
        }
    }
    if (run >= shortest) {  // silent up to the end: counted too
        ++gaps;
        if (run > longest) longest = run;
        if (firstAt < 0) firstAt = double(frame - run) / rate;
    }
    const double seconds = frame > skipFrames ? double(frame - skipFrames) / rate : 0.0;
    std::printf("seconds %.1f gaps %lld longest_ms %.0f first_at_s %.1f\n", seconds, gaps,
                1000.0 * double(longest) / rate, firstAt);
    return 0;
}
