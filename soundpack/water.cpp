// Brooks. What a listener hears as babbling water is mostly bubbles: many small decaying
// resonances (300-3500 Hz) whose pitch rises as they reach the surface, coming in clusters and in
// runs where the water pours over a stone, with a few deep "glugs" and, in a livelier stream,
// brief splashes of spray. Under them lies a shaped noise bed: a gurgling low-mid body, a band
// whose centre drifts slowly, and a low rumble, all falling off above a few kHz so the top end
// stays soft rather than hissing.
#include <algorithm>
#include <cmath>

#include "grains.h"
#include "synth.h"

namespace soundpack {
namespace {

// The character of one brook. The calm one is a small stream babbling with fewer, smaller and
// brighter bubbles; the lively one has denser, louder clusters at lower pitch, more deep gurgling
// and some spray.
struct BrookShape {
    int spots;                  // places where the water tumbles, each with its own pitch range
    double spotLoHz, spotHiHz;  // range of the spots' centre pitches
    double clusterRate;         // clusters per second at full activity
    int clusterMax;             // bubbles in a cluster, 2..clusterMax
    double clusterAmp;          // level of cluster and run bubbles
    double runRate, runLoSec, runHiSec, runBubbleHz;  // babbling runs at one spot
    double carpetRate, carpetAmp;                     // faint scattered bubbles filling the gaps
    double glugRate, glugAmp;                         // deep bubbles of the gurgle
    double splashRate, splashAmp;                     // spray bursts
    double bodyHz, bodyLevel, gurgleDepth;    // low-mid noise body and its irregular pulsing
    double driftLoHz, driftHiHz, driftLevel;  // the slowly drifting band
    double rumbleLevel;
};

BrookShape brookShape(bool lively) {
    BrookShape s{};
    s.spots = lively ? 8 : 6;
    s.spotLoHz = lively ? 500 : 900;
    s.spotHiHz = lively ? 2200 : 3000;
    s.clusterRate = lively ? 10.0 : 4.5;
    s.clusterMax = lively ? 14 : 7;
    s.clusterAmp = lively ? 0.13 : 0.10;
    s.runRate = lively ? 0.9 : 0.4;
    s.runLoSec = lively ? 0.5 : 0.6;
    s.runHiSec = lively ? 2.5 : 2.0;
    s.runBubbleHz = lively ? 18 : 10;
    s.carpetRate = lively ? 130 : 60;
    s.carpetAmp = lively ? 0.026 : 0.022;
    s.glugRate = lively ? 1.8 : 0.6;
    s.glugAmp = lively ? 0.14 : 0.08;
    s.splashRate = lively ? 0.7 : 0.1;
    s.splashAmp = lively ? 0.35 : 0.08;
    s.bodyHz = lively ? 300 : 450;
    s.bodyLevel = lively ? 0.17 : 0.055;
    s.gurgleDepth = lively ? 0.8 : 0.5;
    s.driftLoHz = lively ? 600 : 700;
    s.driftHiHz = lively ? 2200 : 2600;
    s.driftLevel = lively ? 0.100 : 0.060;
    s.rumbleLevel = lively ? 0.09 : 0.05;
    return s;
}

// Damping of a bubble's ringing grows with its pitch (viscous and thermal losses), so small high
// bubbles are short ticks and large low ones ring on.
double bubbleTau(double hz) { return 1.0 / (0.043 * hz + 0.0014 * std::pow(hz, 1.5)); }

// `damping` above one shortens the ringing, for bubbles torn apart by turbulence.
void addBubble(Stereo& dst, Rng& rng, double startSec, double hz, double amp, double pan,
               double damping = 1.0) {
    Grain g;
    g.start = startSec * kRate;
    g.freq = hz;
    g.tau = bubbleTau(hz) / damping * rng.range(0.75, 1.3);
    g.rise = rng.range(0.1, 0.5);
    // Small bubbles ring briefly, so they are given a little more level to stand beside the
    // large ones: the many small ones are what makes a brook sparkle.
    g.amp = amp * std::exp(0.45 * rng.normal()) * std::pow(hz / 900.0, 0.3);
    g.pan = std::clamp(pan, -1.0, 1.0);
    g.delay = static_cast<int>(g.pan * 12);
    addGrain(dst, g, true);
}

// A spray burst: noise with a sharp onset and quick decay, band-limited to 1-4 kHz with a falling
// top, sprinkled with tiny droplets.
void addSplash(Stereo& dst, Rng& rng, double startSec, double amp) {
    const double dur = rng.range(0.03, 0.15);
    const size_t n = frames(dur * 7.0);  // down to -60 dB, so the burst ends unheard
    std::vector<float> burst(n);
    Biquad band = Biquad::bandpass(rng.logRange(1200, 2800), 0.6);
    OnePole top(3500);
    const double attack = rng.range(0.002, 0.006) * kRate, decay = std::exp(-1.0 / (dur * kRate));
    double env = 1.0;
    for (size_t i = 0; i < n; ++i) {
        const double rise = i < attack ? 0.5 - 0.5 * std::cos(kPi * i / attack) : 1.0;
        burst[i] = static_cast<float>(top.lowpass(band.process(whiteNoise(rng))) * env * rise);
        env *= decay;
    }
    const double pan = rng.range(-0.8, 0.8);
    const long start = static_cast<long>(startSec * kRate);
    addMono(dst, start, burst, amp, pan, true);
    const int drops = rng.integer(6, 20);
    for (int k = 0; k < drops; ++k) {
        addBubble(dst, rng, startSec + rng.uniform() * dur * 1.5, rng.logRange(1500, 4000),
                  amp * 0.15, pan + rng.range(-0.3, 0.3));
    }
}

// Bubbles, glugs and splashes on the loop's circular timeline.
Stereo brookEvents(const BrookShape& s, size_t loopFrames, Rng& rng) {
    const double loopSec = static_cast<double>(loopFrames) / kRate;
    Stereo out(loopFrames);
    struct Spot {
        double lo, hi, pan, level;
    };
    std::vector<Spot> spots;
    for (int i = 0; i < s.spots; ++i) {
        // Spread over the whole range whatever the seed: one spot per slice of it.
        const double u = (i + rng.uniform()) / s.spots;
        const double centre = s.spotLoHz * std::pow(s.spotHiHz / s.spotLoHz, u);
        spots.push_back({centre / 1.5, centre * 1.5, rng.range(-0.85, 0.85), rng.range(0.4, 1.0)});
    }
    auto spotPitch = [](const Spot& sp, Rng& r) {
        return std::clamp(r.logRange(sp.lo, sp.hi), 300.0, 3500.0);
    };
    // Whole cycles over the loop: the stream's activity swells and eases without a seam.
    const PeriodicCurve activity(rng, loopFrames, std::max(2, static_cast<int>(loopSec / 6)), 0.4,
                                 1.0);
    auto nextGap = [&](double t, double rate) {
        const double a = activity.at(frames(t) % loopFrames);
        return -std::log(1.0 - rng.uniform()) / (rate * a);
    };
    // Clusters: where the water tumbles over a stone several bubbles burst at once.
    for (double t = rng.range(0, 0.2); t < loopSec; t += nextGap(t, s.clusterRate)) {
        const Spot& sp = spots[static_cast<size_t>(rng.integer(0, s.spots - 1))];
        const int count = rng.integer(2, s.clusterMax);
        const double spread = rng.range(0.03, 0.25);
        const double amp = s.clusterAmp * sp.level;
        for (int k = 0; k < count; ++k) {
            addBubble(out, rng, t + rng.uniform() * spread, spotPitch(sp, rng), amp,
                      sp.pan + rng.range(-0.15, 0.15));
        }
    }
    // Runs: one spot babbling steadily for a while, bubble after bubble at a wandering rhythm.
    for (double t = rng.range(0, 1.0); t < loopSec; t += nextGap(t, s.runRate)) {
        const Spot& sp = spots[static_cast<size_t>(rng.integer(0, s.spots - 1))];
        const double len = rng.range(s.runLoSec, s.runHiSec);
        const double rate = s.runBubbleHz * rng.range(0.6, 1.4);
        const double amp = s.clusterAmp * sp.level * rng.range(0.6, 1.0);
        for (double u = 0; u < len; u += rng.range(0.4, 1.6) / rate) {
            // Rises and falls in level over the run rather than switching on and off.
            const double shape = std::sin(kPi * u / len);
            addBubble(out, rng, t + u, spotPitch(sp, rng), amp * (0.3 + 0.7 * shape),
                      sp.pan + rng.range(-0.1, 0.1));
        }
    }
    // A faint carpet of small bubbles everywhere along the stream, so the gaps between clusters
    // are still water rather than noise.
    for (double t = 0; t < loopSec; t += nextGap(t, s.carpetRate)) {
        addBubble(out, rng, t, rng.logRange(450, 3500), s.carpetAmp, rng.range(-0.9, 0.9));
    }
    // Glugs: large bubbles in the deeper pools, often two or three together.
    for (double t = rng.range(0, 1.0); t < loopSec; t += nextGap(t, s.glugRate)) {
        const int count = rng.integer(1, 3);
        const double pan = rng.range(-0.6, 0.6);
        for (int k = 0; k < count; ++k) {
            addBubble(out, rng, t + k * rng.range(0.05, 0.14), rng.logRange(160, 420), s.glugAmp,
                      pan + rng.range(-0.1, 0.1), 2.0);
        }
    }
    for (double t = rng.range(0, 2.0); t < loopSec; t += nextGap(t, s.splashRate)) {
        addSplash(out, rng, t, s.splashAmp * std::exp(0.4 * rng.normal()));
    }
    return out;
}

// A band-pass whose centre may move every few samples: a trapezoidal state-variable filter,
// which stays stable and click-free under modulation where a biquad's direct form would not.
class SweptBandpass {
public:
    void tune(double hz, double q) {
        const double g = std::tan(kPi * std::min(hz, kRate * 0.45) / kRate);
        m_k = 1.0 / q;
        m_a1 = 1.0 / (1.0 + g * (g + m_k));
        m_a2 = g * m_a1;
        m_a3 = g * m_a2;
    }
    // Unity gain at the centre.
    double process(double x) {
        const double v3 = x - m_ic2;
        const double v1 = m_a1 * m_ic1 + m_a2 * v3;
        const double v2 = m_ic2 + m_a2 * m_ic1 + m_a3 * v3;
        m_ic1 = 2 * v1 - m_ic1;
        m_ic2 = 2 * v2 - m_ic2;
        return m_k * v1;
    }

private:
    double m_k = 1, m_a1 = 0, m_a2 = 0, m_a3 = 0, m_ic1 = 0, m_ic2 = 0;
};

// An irregular positive fluctuation of mean one that repeats every `n` frames: white noise on the
// loop through two one-pole low-passes, run once round the loop to settle and kept from the
// second lap, then exponentiated so swells are rounded and dips never reach zero.
std::vector<float> periodicWobble(Rng& rng, size_t n, double hz, double depth) {
    std::vector<float> src(n), out(n);
    for (auto& v : src) v = static_cast<float>(whiteNoise(rng));
    OnePole a(hz), b(hz);
    for (int lap = 0; lap < 2; ++lap) {
        for (size_t i = 0; i < n; ++i) out[i] = static_cast<float>(b.lowpass(a.lowpass(src[i])));
    }
    double sq = 0;
    for (float v : out) sq += double(v) * v;
    const double norm = 1.0 / std::sqrt(std::max(sq / static_cast<double>(n), 1e-30));
    double mean = 0;
    for (auto& v : out) {
        v = static_cast<float>(std::exp(depth * v * norm));
        mean += v;
    }
    mean /= static_cast<double>(n);
    for (auto& v : out) v = static_cast<float>(v / mean);
    return out;
}

}  // namespace

Stereo renderBrook(bool lively, size_t loopFrames, size_t extra, Rng& rng) {
    const BrookShape s = brookShape(lively);
    const double loopSec = static_cast<double>(loopFrames) / kRate;
    Rng er = rng.fork(1);
    const Stereo events = brookEvents(s, loopFrames, er);

    // The noise bed, from loop-long noise per channel (partly shared, so the stream is wide but
    // not split in two).
    Rng nr = rng.fork(2);
    std::vector<float> noiseL(loopFrames), noiseR(loopFrames);
    for (size_t i = 0; i < loopFrames; ++i) {
        noiseL[i] = static_cast<float>(whiteNoise(nr));
        noiseR[i] = static_cast<float>(0.5 * noiseL[i] + 0.866 * whiteNoise(nr));
    }
    const int knots = std::max(2, static_cast<int>(loopSec / 5));
    const PeriodicCurve bedSwell(nr, loopFrames, knots, 0.6, 1.0);
    const PeriodicCurve drift(nr, loopFrames, knots, 0.0, 1.0);
    const PeriodicCurve driftLevel(nr, loopFrames, knots, 0.4, 1.0);
    const std::vector<float> gurgle = periodicWobble(nr, loopFrames, 6.0, s.gurgleDepth);

    const size_t warm = std::min<size_t>(std::max(loopFrames, frames(6.0)), frames(10.0));
    Stereo out = extendPeriodic(events, warm, extra);
    // Body: a broad low-mid band, pulsing irregularly like water gurgling between stones.
    Biquad bodyL = Biquad::bandpass(s.bodyHz, 0.8), bodyR = bodyL;
    SweptBandpass driftL, driftR;
    Biquad rumbleL = Biquad::lowpass(100, 0.7), rumbleR = rumbleL;
    // The bed's top end falls off by another 6 dB/octave above 3.5 kHz.
    OnePole topL(3500), topR(3500);
    constexpr size_t kRetune = 16;
    for (size_t i = 0; i < out.size(); ++i) {
        const size_t k = loopIndex(i, warm, loopFrames);
        // Retuned on loop positions, so the warm-up and the continuation see the same schedule.
        if (k % kRetune == 0) {
            const double u = std::clamp(drift.at(k), 0.0, 1.0);
            const double hz = s.driftLoHz * std::pow(s.driftHiHz / s.driftLoHz, u);
            driftL.tune(hz, 1.3);
            driftR.tune(hz * 1.06, 1.3);
        }
        const double swell = bedSwell.at(k);
        const double gb = s.bodyLevel * swell * gurgle[k];
        const double gd = s.driftLevel * swell * driftLevel.at(k);
        const double l =
            topL.lowpass(gb * bodyL.process(noiseL[k]) + gd * driftL.process(noiseL[k])) +
            s.rumbleLevel * rumbleL.process(noiseL[k]);
        const double r =
            topR.lowpass(gb * bodyR.process(noiseR[k]) + gd * driftR.process(noiseR[k])) +
            s.rumbleLevel * rumbleR.process(noiseR[k]);
        out.l[i] = static_cast<float>(out.l[i] + l);
        out.r[i] = static_cast<float>(out.r[i] + r);
    }
    // A little space from the banks, its highs damped.
    Reverb rev(0.8, 4000, 0.7, rng.next());
    const Stereo wet = rev.run(out);
    out.mix(wet, 0.15);
    Biquad dcL = Biquad::highpass(30), dcR = dcL;
    dcL.run(out.l);
    dcR.run(out.r);
    dropFront(out, warm);
    return out;
}

}  // namespace soundpack
