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

// One bird syllable: a tone gliding along a smooth curve in log-frequency through its start,
// middle and end pitch, with harmonics, a breathy noise part and optional buzz or warble.
struct Note {
    double t = 0, dur = 0.1;                 // onset and length, seconds
    double f0 = 3000, fm = 3000, f1 = 3000;  // pitch at start, middle, end (Hz)
    double amp = 1.0;
    double h2 = 0.06, h3 = 0.02;      // 2nd and 3rd harmonic, linear relative to the fundamental
    double rich = 0.0;                // extra harmonics 4..12 at rich / k
    double noise = 0.03;              // breathy part, relative
    double buzzHz = 0, buzz = 0;      // amplitude modulation rate and depth
    double warbleHz = 0, warble = 0;  // fast frequency modulation rate and relative depth
    double attack = 0.15, release = 0.25;  // fractions of the length
};

constexpr int kSongCount = 14;
constexpr int kCallCount = 10;
constexpr int kInsectCount = 8;

// Species 1..14 in the order of the song files; calls 1..10; insects 1..8.
std::vector<Note> buildSong(int species, Rng& rng);
std::vector<Note> buildCall(int index, Rng& rng);
std::vector<float> renderNotes(const std::vector<Note>& notes, Rng& rng, double tail = 0.05);

Stereo renderSong(int species, Rng& rng);
Stereo renderCall(int index, Rng& rng);
Stereo renderInsect(int index, Rng& rng);

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
