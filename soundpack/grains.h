// Short sound grains shared by water, rain and thunder: written straight into a stereo buffer,
// wrapping around its end when it is a loop's circular timeline.
#pragma once

#include "dsp.h"

namespace soundpack {

// A decaying sine starting at phase zero; `rise` bends its pitch upwards over its life
// (a bubble's pitch rises as it nears the surface). `delay` frames of extra lag on the right
// channel (negative: on the left) place it by time difference as well as by level.
struct Grain {
    double start = 0;  // frame
    double freq = 1000, tau = 0.01, rise = 0.0;
    double amp = 1.0, pan = 0.0;
    int delay = 0;
};
void addGrain(Stereo& dst, const Grain& g, bool wrap);

// Index inside a loop of `period` frames for a frame of a buffer extended by `warmup` frames.
inline size_t loopIndex(size_t i, size_t warmup, size_t period) {
    return (i + period - (warmup % period)) % period;
}

}  // namespace soundpack
