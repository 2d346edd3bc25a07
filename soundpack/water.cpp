// Brooks: clusters of small bubbles over slowly drifting band-passed noise and a low rumble.
#include <algorithm>
#include <cmath>

#include "grains.h"
#include "synth.h"

namespace soundpack {

Stereo renderBrook(bool lively, size_t loopFrames, size_t extra, Rng& rng) {
    const double loopSec = static_cast<double>(loopFrames) / kRate;
    Stereo bubbles(loopFrames);
    // Bubble clusters: where the water tumbles over a stone several bubbles burst at once.
    Rng br = rng.fork(1);
    const double clusterRate = lively ? 9.0 : 4.5;
    // Each spot of the stream has its own pitch range and place in the stereo field.
    struct Spot {
        double lo, hi, pan, level;
    };
    std::vector<Spot> spots;
    for (int i = 0; i < 7; ++i) {
        const double centre = br.logRange(lively ? 450 : 600, lively ? 2200 : 2800);
        spots.push_back({centre / 1.6, centre * 1.6, br.range(-0.85, 0.85), br.range(0.4, 1.0)});
    }
    PeriodicCurve activity(br, loopFrames, std::max(2, static_cast<int>(loopSec / 6)), 0.5, 1.0);
    for (double t = br.range(0, 0.2); t < loopSec;) {
        const Spot& sp = spots[br.integer(0, static_cast<int>(spots.size()) - 1)];
        const int count = br.integer(2, lively ? 14 : 9);
        const double spread = br.range(0.03, 0.25);
        for (int k = 0; k < count; ++k) {
            Grain g;
            g.start = (t + br.uniform() * spread) * kRate;
            g.freq = std::clamp(br.logRange(sp.lo, sp.hi), 300.0, 3000.0);
            g.tau = 0.022 * std::pow(500.0 / g.freq, 0.7) * br.range(0.7, 1.3);
            g.rise = br.range(0.1, 0.5);
            g.amp = sp.level * std::exp(0.5 * br.normal()) * std::pow(800.0 / g.freq, 0.5) * 0.12;
            g.pan = std::clamp(sp.pan + br.range(-0.15, 0.15), -1.0, 1.0);
            g.delay = static_cast<int>(g.pan * 12);
            addGrain(bubbles, g, true);
        }
        const double rate = clusterRate * activity.at(frames(t) % loopFrames);
        t += -std::log(1.0 - br.uniform()) / rate;
    }
    // Background water noise in three bands whose levels drift independently, per channel.
    Rng nr = rng.fork(2);
    std::vector<float> noiseL(loopFrames), noiseR(loopFrames);
    for (size_t i = 0; i < loopFrames; ++i) {
        noiseL[i] = static_cast<float>(whiteNoise(nr));
        noiseR[i] = static_cast<float>(0.5 * noiseL[i] + 0.866 * whiteNoise(nr));
    }
    const int knots = std::max(2, static_cast<int>(loopSec / 4));
    const double bandHz[3] = {lively ? 500.0 : 700.0, 1300.0, 3200.0};
    const double bandLevel[3] = {lively ? 0.05 : 0.03, lively ? 0.04 : 0.022, lively ? 0.02 : 0.01};
    std::vector<PeriodicCurve> drift;
    for (int b = 0; b < 3; ++b) drift.emplace_back(nr, loopFrames, knots, 0.3, 1.0);

    const size_t warm = std::min<size_t>(std::max(loopFrames, frames(6.0)), frames(10.0));
    Stereo out = extendPeriodic(bubbles, warm, extra);
    Biquad bpL[3], bpR[3];
    for (int b = 0; b < 3; ++b) bpL[b] = bpR[b] = Biquad::bandpass(bandHz[b], 0.9);
    Biquad rumbleL = Biquad::lowpass(110, 0.7), rumbleR = rumbleL;
    const double rumbleLevel = lively ? 0.35 : 0.2;
    for (size_t i = 0; i < out.size(); ++i) {
        const size_t k = loopIndex(i, warm, loopFrames);
        double l = 0, r = 0;
        for (int b = 0; b < 3; ++b) {
            const double g = bandLevel[b] * drift[b].at(k);
            l += g * bpL[b].process(noiseL[k]);
            r += g * bpR[b].process(noiseR[k]);
        }
        l += rumbleLevel * rumbleL.process(noiseL[k]);
        r += rumbleLevel * rumbleR.process(noiseR[k]);
        out.l[i] = static_cast<float>(out.l[i] + l);
        out.r[i] = static_cast<float>(out.r[i] + r);
    }
    // A little space from the banks.
    Reverb rev(0.8, 5000, 0.7, rng.next());
    const Stereo wet = rev.run(out);
    out.mix(wet, 0.15);
    Biquad dcL = Biquad::highpass(30), dcR = dcL;
    dcL.run(out.l);
    dcR.run(out.r);
    dropFront(out, warm);
    return out;
}

}  // namespace soundpack
