// Rain and thunder. Rain is a granular texture of thousands of drop ticks a second with leaf hits,
// plinks and canopy drips; thunder sums N-shaped pressure pulses from the straight segments of a
// jagged lightning channel, each arriving after its distance / 343 m/s and low-passed by it.
#include <algorithm>
#include <cmath>

#include "grains.h"
#include "synth.h"

namespace soundpack {
namespace {

constexpr double kSound = 343.0;

struct RainShape {
    double dropRate = 2600;  // ticks per second at full intensity
    double leafRate = 220;
    int swellKnotsPerMinute = 6;
    double swellLo = 0.55, swellHi = 1.0;
    double level = 1.0;
};

// The rain's drops on a circular timeline of `length` frames, with the intensity curve given.
Stereo rainDrops(size_t length, const RainShape& shape, const PeriodicCurve& intensity, Rng& rng) {
    Stereo out(length);
    const double sec = static_cast<double>(length) / kRate;
    // Thinning: candidate events at the peak rate, kept with probability intensity.
    auto scatter = [&](double rate, auto&& make) {
        for (double t = -std::log(1.0 - rng.uniform()) / rate; t < sec;
             t += -std::log(1.0 - rng.uniform()) / rate) {
            const double k = intensity.at(static_cast<size_t>(t * kRate) % length);
            if (rng.uniform() < k) make(t, k);
        }
    };
    // Fine ticks of drops on leaves, grass and ground: bright, sub-millisecond, lognormal levels.
    scatter(shape.dropRate, [&](double t, double) {
        Grain g;
        g.start = t * kRate;
        g.freq = rng.logRange(1500, 18000);
        g.tau = rng.logRange(0.00008, 0.0006);
        g.amp = 0.05 * std::exp(0.6 * rng.normal());
        g.pan = rng.range(-1, 1);
        g.delay = rng.integer(-2, 2);
        addGrain(out, g, true);
    });
    // Heavier hits on broad leaves.
    scatter(shape.leafRate, [&](double t, double) {
        Grain g;
        g.start = t * kRate;
        g.freq = rng.logRange(500, 3000);
        g.tau = rng.logRange(0.003, 0.012) / 4.0;
        g.amp = 0.06 * std::exp(0.6 * rng.normal());
        g.pan = rng.range(-1, 1);
        g.delay = rng.integer(-15, 15);
        addGrain(out, g, true);
    });
    // Plinks: drops into puddles, a small rising bubble.
    scatter(1.2, [&](double t, double) {
        Grain g;
        g.start = t * kRate;
        g.freq = rng.logRange(1400, 3500);
        g.tau = rng.range(0.008, 0.02);
        g.rise = rng.range(0.2, 0.5);
        g.amp = 0.03 * std::exp(0.4 * rng.normal());
        g.pan = rng.range(-0.9, 0.9);
        addGrain(out, g, true);
    });
    // Canopy drips: big gathered drops falling from branches, near and a bit lower.
    scatter(2.5, [&](double t, double) {
        Grain g;
        g.start = t * kRate;
        g.freq = rng.logRange(700, 1800);
        g.tau = rng.range(0.004, 0.009);
        g.amp = 0.06 * std::exp(0.5 * rng.normal());
        g.pan = rng.range(-0.9, 0.9);
        g.delay = rng.integer(-10, 10);
        addGrain(out, g, true);
    });
    return out;
}

// Shapes raw drops into the heard rain: a gentle high roll-off, a low cut, a little wind and a
// short wet space. Runs on a buffer already extended for warm-up.
void finishRain(Stereo& x, size_t warm, size_t period, const PeriodicCurve& intensity, Rng& rng) {
    Biquad hpL = Biquad::highpass(250, 0.6), hpR = hpL;
    OnePole lpL(16000), lpR(16000);
    Biquad windL = Biquad::bandpass(260, 0.8), windR = windL;
    std::vector<float> windNoiseL(period), windNoiseR(period);
    for (size_t i = 0; i < period; ++i) {
        windNoiseL[i] = static_cast<float>(whiteNoise(rng));
        windNoiseR[i] = static_cast<float>(whiteNoise(rng));
    }
    for (size_t i = 0; i < x.size(); ++i) {
        const size_t k = loopIndex(i, warm, period);
        const double gust = 0.006 * intensity.at(k);
        x.l[i] = static_cast<float>(lpL.lowpass(hpL.process(x.l[i])) +
                                    gust * windL.process(windNoiseL[k]));
        x.r[i] = static_cast<float>(lpR.lowpass(hpR.process(x.r[i])) +
                                    gust * windR.process(windNoiseR[k]));
    }
    Reverb rev(0.9, 6000, 0.8, rng.next());
    x.mix(rev.run(x), 0.25);
}

Stereo rain(size_t length, size_t extra, const RainShape& shape, Rng& rng,
            PeriodicCurve* intensityOut = nullptr) {
    const double minutes = static_cast<double>(length) / kRate / 60.0;
    Rng ir = rng.fork(7);
    const int knots = std::max(3, static_cast<int>(minutes * shape.swellKnotsPerMinute));
    PeriodicCurve intensity(ir, length, knots, shape.swellLo, shape.swellHi);
    if (intensityOut) *intensityOut = intensity;
    Rng dr = rng.fork(8);
    Stereo dry = rainDrops(length, shape, intensity, dr);
    const size_t warm = std::min(length, frames(6.0));
    Stereo x = extendPeriodic(dry, warm, extra);
    Rng fr = rng.fork(9);
    finishRain(x, warm, length, intensity, fr);
    dropFront(x, warm);
    x.scale(shape.level);
    return x;
}

// --- thunder ---

struct Strike {
    double time;      // seconds of the flash on the timeline
    double distance;  // metres to the channel's foot
    double azimuth;   // -1 left .. 1 right
    double energy;
};

// Renders one flash's thunder (dry, before reverb) into dst at its time.
void addThunder(Stereo& dst, const Strike& s, bool wrap, Rng& rng) {
    // The channel: a random walk of straight segments from the cloud base to the ground.
    struct Seg {
        double x, y, z, len, orient;
    };
    std::vector<Seg> segs;
    auto walk = [&](double x, double y, double z, double length, double weight) {
        double dx = 0, dy = 0, dz = -1;
        double walked = 0;
        while (z > 0 && walked < length) {
            const double len = rng.logRange(8, 90);
            dx = 0.6 * dx + rng.range(-0.6, 0.6);
            dy = 0.6 * dy + rng.range(-0.6, 0.6);
            dz = -1;
            const double norm = std::sqrt(dx * dx + dy * dy + dz * dz);
            const double ux = dx / norm, uy = dy / norm, uz = dz / norm;
            const double mx = x + ux * len * 0.5, my = y + uy * len * 0.5, mz = z + uz * len * 0.5;
            // Sound leaves a segment mostly broadside.
            const double r = std::sqrt(mx * mx + my * my + mz * mz);
            const double cosA = (ux * mx + uy * my + uz * mz) / r;
            segs.push_back({mx, my, mz, len * weight, std::sqrt(std::max(0.05, 1 - cosA * cosA))});
            x += ux * len;
            y += uy * len;
            z += uz * len;
            walked += len;
        }
    };
    const double height = rng.range(2500, 4500);
    const double fx = s.distance, fy = rng.range(-0.3, 0.3) * s.distance;
    walk(fx + rng.range(-800, 800), fy + rng.range(-800, 800), height, 1e9, 1.0);
    const int branches = rng.integer(2, 5);
    for (int b = 0; b < branches && !segs.empty(); ++b) {
        const Seg& from = segs[rng.integer(0, static_cast<int>(segs.size()) - 1)];
        walk(from.x, from.y, from.z, rng.range(300, 1500), 0.4);
    }
    // Distance bins: each gets its own low-pass, far ones near 150 Hz.
    constexpr int kBins = 8;
    const double dmin = 200, dmax = 20000;
    const double tail = 6.0;
    double latest = 0;
    for (const Seg& g : segs)
        latest = std::max(latest, std::sqrt(g.x * g.x + g.y * g.y + g.z * g.z));
    // Arrival times are relative to the flash; the buffer starts at the first possible arrival.
    double minR = 1e18;
    for (const Seg& g : segs) minR = std::min(minR, std::sqrt(g.x * g.x + g.y * g.y + g.z * g.z));
    const double t0 = minR / kSound;
    const size_t bufLen = frames((latest - minR) / kSound + tail);
    std::vector<std::vector<float>> bins(kBins, std::vector<float>(bufLen, 0.0f));
    const int strokes = rng.integer(2, 4);
    double strokeT = 0;
    for (int st = 0; st < strokes; ++st) {
        const double strokeAmp = st == 0 ? 1.0 : rng.range(0.4, 0.8);
        for (const Seg& g : segs) {
            const double r = std::sqrt(g.x * g.x + g.y * g.y + g.z * g.z);
            const int bin = std::clamp(
                static_cast<int>(std::log(r / dmin) / std::log(dmax / dmin) * kBins), 0, kBins - 1);
            // N-wave: a sudden rise, a linear fall through zero, a sudden return. Its length grows
            // with the distance travelled.
            const double T =
                0.0025 * std::pow(std::max(r, 50.0) / 100.0, 0.35) * rng.range(0.7, 1.4);
            const double amp = strokeAmp * g.len * g.orient / r * rng.range(0.5, 1.5);
            const double start = (r / kSound - t0 + strokeT) * kRate;
            const long n = static_cast<long>(T * kRate) + 1;
            std::vector<float>& b = bins[bin];
            for (long i = 0; i < n; ++i) {
                const size_t p = static_cast<size_t>(start) + static_cast<size_t>(i);
                if (p >= b.size()) break;
                b[p] = static_cast<float>(b[p] + amp * (1.0 - 2.0 * i / n));
            }
        }
        strokeT += rng.range(0.04, 0.1);
    }
    std::vector<float> mono(bufLen, 0.0f);
    for (int bin = 0; bin < kBins; ++bin) {
        const double r = dmin * std::pow(dmax / dmin, (bin + 0.5) / kBins);
        const double fc = std::clamp(9000.0 * std::pow(300.0 / r, 1.6), 120.0, 12000.0);
        Biquad a = Biquad::lowpass(fc, 0.6), c = Biquad::lowpass(fc * 1.4, 0.6);
        std::vector<float>& b = bins[bin];
        a.run(b);
        c.run(b);
        for (size_t i = 0; i < bufLen; ++i) mono[i] += b[i];
    }
    Biquad hp = Biquad::highpass(22, 0.7);
    hp.run(mono);
    const double start = (s.time + t0) * kRate;
    for (float& v : mono) v = static_cast<float>(v * s.energy);
    addMono(dst, static_cast<long>(start), mono, 1.0, s.azimuth * 0.7, wrap);
    // The same sound a few milliseconds later from the other side: a wide, decorrelated image.
    addMono(dst, static_cast<long>(start) + rng.integer(80, 400), mono, 0.6, -s.azimuth * 0.5,
            wrap);
}

// Thunder rolls on and on: a long, dark reverb of the open landscape.
void thunderSpace(Stereo& x, Rng& rng) {
    Reverb rev(4.5, 900, 2.5, rng.next());
    x.mix(rev.run(x), 0.6);
}

}  // namespace

Stereo renderRainLoop(size_t loopFrames, size_t extra, Rng& rng) {
    RainShape shape;
    return rain(loopFrames, extra, shape, rng);
}

Stereo renderThunderBed(size_t loopFrames, size_t extra, Rng& rng) {
    const double sec = static_cast<double>(loopFrames) / kRate;
    Stereo dry(loopFrames);
    Rng tr = rng.fork(1);
    // Distant rolls spaced by long silences; one near strike per loop.
    const int count = std::max(2, static_cast<int>(sec / 28));
    const int nearOne = tr.integer(0, count - 1);
    for (int i = 0; i < count; ++i) {
        Strike s;
        s.time = (i + tr.range(0.0, 0.5)) * sec / count;
        const bool near = i == nearOne;
        s.distance = near ? tr.range(900, 1400) : tr.range(3500, 11000);
        s.azimuth = tr.range(-1, 1);
        s.energy = near ? 0.5 : 1.0;
        addThunder(dry, s, true, tr);
    }
    // A faint breeze so the silences are not digital.
    Rng wr = rng.fork(2);
    for (size_t i = 0; i < loopFrames; ++i) {
        dry.l[i] = static_cast<float>(dry.l[i] + 0.0004 * whiteNoise(wr));
        dry.r[i] = static_cast<float>(dry.r[i] + 0.0004 * whiteNoise(wr));
    }
    const size_t warm = std::min(loopFrames, frames(15.0));
    Stereo x = extendPeriodic(dry, warm, extra);
    Biquad lpL = Biquad::lowpass(3000, 0.7), lpR = lpL;
    lpL.run(x.l);
    lpR.run(x.r);
    thunderSpace(x, rng);
    dropFront(x, warm);
    return x;
}

Stereo renderLongRain(size_t length, bool storm, Rng& rng) {
    RainShape shape;
    shape.swellKnotsPerMinute = storm ? 2 : 1;
    shape.swellLo = storm ? 0.5 : 0.25;
    shape.swellHi = 1.0;
    Stereo out = rain(length, 0, shape, rng);
    if (storm) {
        // The storm passes: it comes from far away, is overhead around two thirds of the way in
        // and moves off again. Strikes come more often as it nears.
        const double sec = static_cast<double>(length) / kRate;
        Stereo thunder(length);
        Rng tr = rng.fork(3);
        const double closest = sec * tr.range(0.5, 0.65);
        const double pace = std::min(1.0, sec / 720.0);
        for (double t = sec * tr.range(0.01, 0.03); t < sec * 0.97;) {
            const double away = std::fabs(t - closest) / sec;  // 0 .. ~0.65
            Strike s;
            s.distance = std::clamp(1200 + away * 25000 * tr.range(0.7, 1.3), 800.0, 14000.0);
            s.time = t - s.distance / kSound;  // scheduled by when its thunder arrives
            s.azimuth = std::clamp((t - closest) / sec * 2.5, -1.0, 1.0);
            s.energy = 1.0;
            addThunder(thunder, s, false, tr);
            t += std::max(2.0, tr.range(0.5, 1.5) * (15 + 60 * away) * pace);
        }
        Biquad lpL = Biquad::lowpass(3000, 0.7), lpR = lpL;
        lpL.run(thunder.l);
        lpR.run(thunder.r);
        thunderSpace(thunder, tr);
        out.mix(thunder, 6.0);
    }
    return out;
}

}  // namespace soundpack
