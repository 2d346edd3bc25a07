// Insects: a steady carrier with the rhythm that tells the species apart.
#include <algorithm>
#include <cmath>

#include "synth.h"

namespace soundpack {
namespace {

// A smooth pulse window: raised-cosine edges over `edge` of its length.
double pulseEnv(double u, double edge) {
    if (u < 0 || u > 1) return 0;
    if (u < edge) return 0.5 - 0.5 * std::cos(kPi * u / edge);
    if (u > 1 - edge) return 0.5 - 0.5 * std::cos(kPi * (1 - u) / edge);
    return 1;
}

// Adds a tonal pulse train: `pulses` pulses of `pulseSec` every `periodSec`, starting at t.
void tonePulses(std::vector<float>& x, double t, int pulses, double pulseSec, double periodSec,
                double freq, double amp, Rng& rng) {
    for (int p = 0; p < pulses; ++p) {
        const size_t s0 = frames(t + p * periodSec);
        const size_t n = frames(pulseSec);
        const double f = freq * (1.0 + 0.004 * rng.range(-1, 1));
        for (size_t i = 0; i < n && s0 + i < x.size(); ++i) {
            const double ts = i / kRate, u = static_cast<double>(i) / n;
            // The file's pitch drops slightly over a pulse as the wing's scraper slows.
            const double ph = kTwoPi * f * ts * (1.0 - 0.01 * u);
            const double v = std::sin(ph) + 0.1 * std::sin(2 * ph) + 0.03 * std::sin(3 * ph);
            x[s0 + i] = static_cast<float>(x[s0 + i] + amp * pulseEnv(u, 0.2) * v);
        }
    }
}

// Band-limited noise burst train used by the noisy stridulators.
void noisePulses(std::vector<float>& x, double t, int pulses, double pulseSec, double periodSec,
                 double amp, Rng& rng) {
    for (int p = 0; p < pulses; ++p) {
        const size_t s0 = frames(t + p * periodSec), n = frames(pulseSec);
        for (size_t i = 0; i < n && s0 + i < x.size(); ++i) {
            const double u = static_cast<double>(i) / n;
            x[s0 + i] = static_cast<float>(x[s0 + i] + amp * pulseEnv(u, 0.15) * whiteNoise(rng));
        }
    }
}

void bandpass(std::vector<float>& x, double f, double q, int stages) {
    for (int s = 0; s < stages; ++s) {
        Biquad b = Biquad::bandpass(f, q);
        b.run(x);
    }
}

std::vector<float> fieldCricket(Rng& rng) {
    std::vector<float> x(frames(10.0), 0.0f);
    const double carrier = rng.range(4300, 4800);
    for (double t = 0.3; t < 9.5; t += rng.range(0.3, 0.42)) {
        tonePulses(x, t, rng.integer(3, 7), 0.016, 0.032, carrier, rng.range(0.8, 1.0), rng);
    }
    return x;
}

std::vector<float> treeCricket(Rng& rng) {
    std::vector<float> x(frames(12.0), 0.0f);
    const double carrier = rng.range(2600, 2900);
    const double period = 1.0 / rng.range(45, 55);
    const int pulses = static_cast<int>(11.2 / period);
    tonePulses(x, 0.3, pulses, period * 0.6, period, carrier, 0.5, rng);
    // A soft, breathing level.
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(x[i] * (0.75 + 0.25 * std::sin(kTwoPi * 0.23 * i / kRate)));
    return x;
}

std::vector<float> bushCricket(Rng& rng) {
    std::vector<float> x(frames(8.0), 0.0f);
    for (double t = 0.3; t < 7.5; t += rng.range(0.28, 0.36)) {
        noisePulses(x, t, 1, 0.022, 0, 1.0, rng);
        noisePulses(x, t + 0.05, 1, 0.025, 0, 0.8, rng);
    }
    bandpass(x, 14000, 1.2, 2);
    return x;
}

std::vector<float> grasshopper(Rng& rng) {
    std::vector<float> x(frames(11.0), 0.0f);
    double t = 0.3;
    for (int burst = 0; burst < 3; ++burst) {
        const double len = rng.range(2.0, 2.6);
        const int pulses = static_cast<int>(len * 18);
        for (int p = 0; p < pulses; ++p) {
            const double amp = dbToGain(-18.0 + 18.0 * p / pulses);  // crescendo
            noisePulses(x, t + p / 18.0, 1, 0.035, 0, amp, rng);
        }
        t += len + rng.range(0.9, 1.4);
    }
    Biquad hp = Biquad::highpass(5000, 0.7);
    hp.run(x);
    Biquad lp = Biquad::lowpass(15000, 0.7);
    lp.run(x);
    bandpass(x, 8500, 0.6, 1);
    return x;
}

std::vector<float> cicada(Rng& rng) {
    std::vector<float> x(frames(15.0), 0.0f);
    const double tymbal = rng.range(140, 190), phrase = rng.range(4, 7);
    for (size_t i = 0; i < x.size(); ++i) {
        const double ts = i / kRate;
        const double clicks = std::pow(0.5 + 0.5 * std::sin(kTwoPi * tymbal * ts), 4.0);
        const double pulse = 0.55 + 0.45 * std::sin(kTwoPi * phrase * ts);
        const double swell = std::min(1.0, ts / 2.0) * std::min(1.0, (15.0 - ts) / 2.0);
        x[i] = static_cast<float>(clicks * pulse * swell * whiteNoise(rng));
    }
    bandpass(x, 6000, 1.5, 2);
    return x;
}

std::vector<float> moleCricket(Rng& rng) {
    std::vector<float> x(frames(16.0), 0.0f);
    const double carrier = rng.range(1550, 1700), rate = rng.range(60, 70);
    for (size_t i = 0; i < x.size(); ++i) {
        const double ts = i / kRate;
        const double am = std::pow(0.5 + 0.5 * std::sin(kTwoPi * rate * ts), 2.0);
        const double ph = kTwoPi * carrier * ts;
        x[i] = static_cast<float>(0.6 * am * (std::sin(ph) + 0.08 * std::sin(2 * ph)));
    }
    return x;
}

// A buzzing insect flying past: wingbeat tone with harmonics, level by distance and pitch by
// the Doppler shift of its speed along the line of sight.
Stereo flyBy(Rng& rng, double wingHz, double seconds, double speed, double closest, int harmonics,
             double tilt) {
    Stereo out(frames(seconds));
    const double mid = seconds * rng.range(0.45, 0.55);
    double phase = 0;
    std::vector<float> noise(out.size());
    OnePole nl(2000);
    for (size_t i = 0; i < out.size(); ++i) {
        const double ts = i / kRate;
        const double x = (ts - mid) * speed;  // position along the path
        const double d = std::sqrt(x * x + closest * closest);
        const double radial = speed * x / d;  // receding speed
        const double f =
            wingHz * (1.0 + 0.02 * std::sin(kTwoPi * 3.1 * ts)) * 343.0 / (343.0 + radial);
        phase += kTwoPi * f / kRate;
        double v = 0;
        for (int k = 1; k <= harmonics && k * f < 18000; ++k)
            v += std::pow(tilt, k - 1) * std::sin(k * phase);
        v += 0.15 * nl.lowpass(whiteNoise(rng)) * 4.0;
        const double level = closest / d;
        const double pan = std::clamp(x / 2.0, -1.0, 1.0);
        double gl, gr;
        panGains(pan, gl, gr);
        out.l[i] = static_cast<float>(v * level * gl);
        out.r[i] = static_cast<float>(v * level * gr);
    }
    Biquad air = Biquad::highShelf(5000, -6);
    air.run(out.l);
    Biquad air2 = Biquad::highShelf(5000, -6);
    air2.run(out.r);
    return out;
}

}  // namespace

const char* insectName(int index) {
    static const char* const kNames[kInsectCount] = {
        "field cricket", "tree cricket", "bush-cricket", "grasshopper",
        "cicada",        "bumblebee",    "mosquito",     "mole cricket"};
    return index >= 1 && index <= kInsectCount ? kNames[index - 1] : "insect";
}

Stereo renderInsect(int index, Rng& rng) {
    Rng shape = rng.fork(3);
    if (index == 6)
        return flyBy(shape, shape.range(140, 190), 6.0, 3.0, 0.6, 14, 0.72);            // bumblebee
    if (index == 7) return flyBy(shape, shape.range(540, 620), 4.0, 1.2, 0.3, 6, 0.5);  // mosquito
    std::vector<float> dry;
    switch (index) {
        case 1:
            dry = fieldCricket(shape);
            break;
        case 2:
            dry = treeCricket(shape);
            break;
        case 3:
            dry = bushCricket(shape);
            break;
        case 4:
            dry = grasshopper(shape);
            break;
        case 5:
            dry = cicada(shape);
            break;
        default:
            dry = moleCricket(shape);
            break;
    }
    return placeInForest(dry, rng.range(3, 8), rng.range(-0.6, 0.6), 0.8, rng.next());
}

}  // namespace soundpack
