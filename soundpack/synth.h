// The renderers of the pack's sounds. Each takes its own random generator and returns stereo
// audio at 44.1 kHz before levelling. Loop renderers return `loopFrames + extra` frames: the
// loop itself followed by its continuation, which equals the loop's beginning when the loop is
// seamless.
#pragma once

#include <cstddef>
#include <vector>

#include "dsp.h"
#include "rng.h"

namespace soundpack {

constexpr int kSongCount = 14;
constexpr int kCallCount = 10;
constexpr int kInsectCount = 8;

// Species 1..14 in the order of the song files; calls 1..10; insects 1..8.
Stereo renderSong(int species, Rng& rng);
Stereo renderCall(int index, Rng& rng);
Stereo renderInsect(int index, Rng& rng);
const char* insectName(int index);

Stereo renderBrook(bool lively, size_t loopFrames, size_t extra, Rng& rng);
Stereo renderChorus(int morning, size_t loopFrames, size_t extra, Rng& rng);
Stereo renderRainLoop(size_t loopFrames, size_t extra, Rng& rng);
Stereo renderThunderBed(size_t loopFrames, size_t extra, Rng& rng);
Stereo renderLongRain(size_t length, bool storm, Rng& rng);

// Places a dry mono one-shot in a forest: distance, pan, air absorption and a little reverb,
// with leading and trailing room for the tail.
Stereo placeInForest(const std::vector<float>& dry, double distance, double pan, double rt60,
                     uint64_t seed);

}  // namespace soundpack
