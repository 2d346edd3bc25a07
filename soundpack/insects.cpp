// Insects, each from the way it makes its sound:
// - crickets (field, tree, mole) close their wings so that a plectrum on one runs along a file of
//   teeth on the other. The escapement lets one tooth go each time the wing's resonant harp
//   swings through its rest position, so every cycle of the carrier is one tooth and the song is
//   a pure tone at the harp's frequency, as loud as the closing stroke is fast; it rings down at
//   the harp's own damping when the stroke ends;
// - bush-crickets and grasshoppers have no such lock: each tooth (or leg peg) strikes a lightly
//   damped wing on its own, a transient of two or three cycles, so a syllable is a train of
//   clicks at the tooth rate;
// - a cicada buckles the ribs of its tymbals one after another, a click each that rings the
//   tymbal and the air sac of its hollow abdomen; the two tymbals alternate, so the song is a
//   fast train of click groups whose level the tymbal muscles swell and pulse;
// - bumblebee and mosquito are wingbeat tones flying past.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>

#include "synth.h"

namespace soundpack {
namespace {

enum class Insect {
    FieldCricket = 1,
    TreeCricket,
    BushCricket,
    Grasshopper,
    Cicada,
    Bumblebee,
    Mosquito,
    MoleCricket,
};

// Raised-cosine edges over `rise` and `fall` of a stroke's length: how fast the wing moves.
double strokeSpeed(double u, double rise, double fall) {
    if (u < 0 || u > 1) return 0;
    if (u < rise) return 0.5 - 0.5 * std::cos(kPi * u / rise);
    if (u > 1 - fall) return 0.5 - 0.5 * std::cos(kPi * (1 - u) / fall);
    return 1;
}

// A two-pole resonator (a wing's harp, a tymbal) whose tuning may glide.
class Resonator {
public:
    void tune(double hz, double q) {
        const double r = std::exp(-kPi * hz / (q * kRate));
        m_c = 2 * r * std::cos(kTwoPi * hz / kRate);
        m_r2 = r * r;
    }
    // Returns what the resonator radiates: its motion without the slow drift the one-sided
    // pushes give it (a zero at DC, y[n] - y[n-2]), so the pulses carry no thump.
    double process(double push) {
        const double y = m_c * m_y1 - m_r2 * m_y2 + push;
        const double out = y - m_y2;
        m_y3 = m_y2;
        m_y2 = m_y1;
        m_y1 = y;
        return out;
    }
    // The harp just passed the lowest point of its swing and starts back up.
    bool turnedAtBottom() const { return m_y2 < m_y3 && m_y1 >= m_y2 && m_y2 < 0; }

private:
    double m_c = 0, m_r2 = 0, m_y1 = 0, m_y2 = 0, m_y3 = 0;
};

// One closing stroke of a cricket's wings, starting at t: the escapement gives the harp a push
// once every cycle of its swing, with the force of the stroke's speed (every tooth a
// little different, now and then one slipping); the harp's pitch falls a little over the stroke
// as the plectrum moves along the file.
void escapementPulse(std::vector<float>& x, double t, double seconds, double harpHz, double q,
                     double glide, double amp, Rng& rng) {
    const size_t s0 = frames(t), n = frames(seconds);
    const size_t ring = frames(10.0 * q / (kPi * harpHz));  // 10 time constants of ring-down
    // A tooth's push is no ideal impulse: the plectrum catches a tooth at the lowest point of the
    // harp's swing, drives it through the half cycle that follows (with its motion) and is free
    // for the other half, so the push is a raised cosine half a period long.
    const size_t pushLen = std::max<size_t>(2, frames(0.5 / harpHz));
    std::vector<double> shape(pushLen), pending(pushLen, 0.0);
    double total = 0;
    for (size_t k = 0; k < pushLen; ++k)
        total += shape[k] = 0.5 - 0.5 * std::cos(kTwoPi * (k + 0.5) / pushLen);
    for (double& v : shape) v /= total;
    size_t head = 0;  // pending[head] is this sample's share
    Resonator harp;
    for (size_t i = 0; i < n + ring && s0 + i < x.size(); ++i) {
        const double u = std::min(1.0, static_cast<double>(i) / n);
        if (i % 8 == 0) harp.tune(harpHz * (1.0 - glide * u), q);
        if (i < n && (i == 0 || harp.turnedAtBottom())) {
            const double slip = rng.chance(0.02) ? 0.2 : 1.0;
            const double push = amp * (0.05 + 0.95 * strokeSpeed(u, 0.2, 0.3)) * slip *
                                (1.0 + 0.15 * whiteNoise(rng));
            for (size_t k = 0; k < pushLen; ++k) pending[(head + k) % pushLen] += push * shape[k];
        }
        const double push = pending[head];
        pending[head] = 0;
        head = (head + 1) % pushLen;
        x[s0 + i] = static_cast<float>(x[s0 + i] + harp.process(push));
    }
}

// A stroke of a file over a scraper without escapement: `teeth` separate strikes over
// `seconds`, their rate rising by `speedUp` from start to end of the stroke, each an impulse in
// `excite` (the wing's resonances are rung by it afterwards).
void strikeTrain(std::vector<float>& excite, double t, double seconds, int teeth, double speedUp,
                 double amp, Rng& rng) {
    // With the rate growing linearly over the stroke, tooth k lands where the count of teeth so
    // far reaches k: s u^2 + (1 - s) u = k / teeth.
    const double s = std::clamp(speedUp, 0.0, 0.9) / 2.0;
    for (int k = 0; k < teeth; ++k) {
        const double c = (k + 0.5 + rng.range(-0.06, 0.06)) / teeth;
        const double u =
            s > 0 ? (-(1 - s) + std::sqrt((1 - s) * (1 - s) + 4 * s * c)) / (2 * s) : c;
        const size_t at = frames(t + u * seconds);
        if (at >= excite.size()) break;
        const double force = amp * (0.3 + 0.7 * strokeSpeed(u, 0.3, 0.25)) *
                             std::exp(0.3 * rng.normal());  // teeth differ, some hit harder
        excite[at] = static_cast<float>(excite[at] + force);
    }
}

// The wing's resonances rung by an excitation: a sum of band-passes, each with its own
// sharpness and level.
struct Mode {
    double hz, q, gain;
};
std::vector<float> ring(const std::vector<float>& excite, std::initializer_list<Mode> modes) {
    std::vector<float> out(excite.size(), 0.0f);
    for (const Mode& m : modes) {
        Biquad b = Biquad::bandpass(m.hz, m.q);
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = static_cast<float>(out[i] + m.gain * b.process(excite[i]));
    }
    return out;
}

// The field cricket's calling song: chirps of three or four (now and then five) pulses at
// about 30 a second, the first quieter, every third of a second or so, on a 4.5-5 kHz harp.
std::vector<float> fieldCricket(Rng& rng) {
    std::vector<float> x(frames(10.0), 0.0f);
    const double harpHz = rng.range(4500, 4900), q = rng.range(18, 25);
    const double period = 1.0 / rng.range(27, 33), pulse = rng.range(0.016, 0.02);
    for (double t = 0.3; t < 9.5; t += rng.range(0.3, 0.42)) {
        const int pulses = rng.chance(0.15) ? 5 : rng.integer(3, 4);
        for (int p = 0; p < pulses; ++p) {
            const double level = (p == 0 ? 0.6 : 1.0) * dbToGain(rng.range(-1, 1));
            escapementPulse(x, t + p * period * rng.range(0.97, 1.03),
                            pulse * rng.range(0.92, 1.08), harpHz * rng.range(0.995, 1.005), q,
                            0.03, level, rng);
        }
    }
    return x;
}

// The tree cricket: a soft, long trill of 2.6-2.9 kHz pulses about fifty a second, its level
// breathing slowly.
std::vector<float> treeCricket(Rng& rng) {
    std::vector<float> x(frames(12.0), 0.0f);
    const double harpHz = rng.range(2600, 2900), q = rng.range(14, 20);
    const double period = 1.0 / rng.range(45, 55);
    for (double t = 0.3; t < 11.5; t += period * rng.range(0.98, 1.02))
        escapementPulse(x, t, period * 0.6, harpHz, q, 0.02, 0.5, rng);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(x[i] * (0.75 + 0.25 * std::sin(kTwoPi * 0.23 * i / kRate)));
    return x;
}

// The mole cricket's churr from its burrow: an unbroken train of 1.6 kHz pulses, 60-70 a second.
std::vector<float> moleCricket(Rng& rng) {
    std::vector<float> x(frames(16.0), 0.0f);
    const double harpHz = rng.range(1550, 1700), period = 1.0 / rng.range(60, 70);
    for (double t = 0.05; t < 15.9; t += period * rng.range(0.99, 1.01))
        escapementPulse(x, t, period * 0.55, harpHz, 12, 0.02, 0.6, rng);
    return x;
}

// A bush-cricket: pairs of syllables, a soft opening stroke and a loud closing one, every third
// of a second; each syllable a train of tooth strikes ringing a high, lightly damped wing.
std::vector<float> bushCricket(Rng& rng) {
    std::vector<float> excite(frames(8.0), 0.0f);
    for (double t = 0.3; t < 7.5; t += rng.range(0.28, 0.36)) {
        strikeTrain(excite, t, rng.range(0.014, 0.017), rng.integer(18, 22), 0.2, 0.45, rng);
        strikeTrain(excite, t + rng.range(0.045, 0.052), rng.range(0.022, 0.027),
                    rng.integer(36, 44), 0.2, 1.0, rng);
    }
    std::vector<float> x = ring(excite, {{14000, 4, 1.0}, {9000, 3, 0.4}, {17500, 5, 0.5}});
    // The small, stiff wing radiates nothing low: little below 7 kHz.
    for (int pass = 0; pass < 2; ++pass) {
        Biquad hp = Biquad::highpass(7000, 0.7071);
        hp.run(x);
    }
    return x;
}

// A grasshopper rubbing a row of pegs on its hind legs over a wing vein: bursts of strokes at
// about 18 a second that grow louder, the down stroke stronger than the up stroke, every peg a
// strike on the stiff, broadly resonant wing.
std::vector<float> grasshopper(Rng& rng) {
    std::vector<float> excite(frames(11.0), 0.0f);
    double t = 0.3;
    for (int burst = 0; burst < 3; ++burst) {
        const double len = rng.range(2.0, 2.6);
        const int strokes = static_cast<int>(len * 18);
        for (int p = 0; p < strokes; ++p) {
            const double amp = dbToGain(-18.0 + 18.0 * p / strokes) * (p % 2 ? 0.6 : 1.0);
            strikeTrain(excite, t + p / 18.0, rng.range(0.03, 0.036), rng.integer(70, 90), 0.1, amp,
                        rng);
        }
        t += len + rng.range(0.9, 1.4);
    }
    std::vector<float> x = ring(excite, {{7000, 1.5, 1.0}, {10500, 2.0, 0.8}, {13500, 2.5, 0.4}});
    // The wing radiates little below 5 kHz.
    for (int pass = 0; pass < 2; ++pass) {
        Biquad hp = Biquad::highpass(5000, 0.7071);
        hp.run(x);
    }
    return x;
}

// One rib's click: the buckling pulls the tymbal in (a small rarefaction) and lets it ring at
// its own frequency, dying away exponentially; added with a smooth start so it never kinks.
void addClick(std::vector<float>& x, double t, double hz, double q, double amp) {
    const size_t s0 = frames(t);
    const double tau = q / (kPi * hz);
    const size_t n = frames(8 * tau), fade = std::max<size_t>(2, frames(0.5 / hz));
    for (size_t i = 0; i < n && s0 + i < x.size(); ++i) {
        const double ts = i / kRate;
        double v = -amp * std::sin(kTwoPi * hz * ts) * std::exp(-ts / tau);
        if (i < fade) v *= 0.5 - 0.5 * std::cos(kPi * static_cast<double>(i) / fade);
        x[s0 + i] = static_cast<float>(x[s0 + i] + v);
    }
}

// The cicada: two tymbals alternating, each at about 120-150 cycles a second. Pulled in, a
// tymbal's four ribs buckle one after another within a millisecond or so, each click a little
// lower than the last; released, it pops out with one weaker, higher click. The clicks ring the
// abdomen's air sac, a broad resonance near 6 kHz; the muscles pulse the song a few times a
// second and it swells in and out.
std::vector<float> cicada(Rng& rng) {
    const double seconds = 15.0;
    std::vector<float> clicks(frames(seconds), 0.0f);
    const double rate = rng.range(120, 150), phrase = rng.range(4, 7);
    const double ribs[4] = {6600, 6300, 5900, 4900};
    const double tuning[2] = {1.0, rng.range(0.97, 1.0)}, strength[2] = {1.0, rng.range(0.8, 1.0)};
    // One muscle rhythm drives both tymbals, the second half a cycle after the first.
    for (double t = 0.05; t < seconds - 0.05;) {
        const double period = (1.0 / rate) * (1.0 + 0.01 * whiteNoise(rng));
        const double drive =
            (0.3 + 0.7 * std::pow(0.5 + 0.5 * std::sin(kTwoPi * phrase * t), 1.5)) *
            std::min(1.0, t / 2.0) * std::min(1.0, (seconds - t) / 2.0);
        for (int side = 0; side < 2; ++side) {
            const double start = t + side * 0.5 * period * (1.0 + 0.02 * whiteNoise(rng));
            const double force = drive * strength[side] * (1.0 + 0.1 * whiteNoise(rng));
            double at = start;
            for (int r = 0; r < 4; ++r) {
                addClick(clicks, at, ribs[r] * tuning[side] * rng.range(0.99, 1.01), 9,
                         force * (1.0 - 0.12 * r));
                at += rng.range(0.0003, 0.00045);
            }
            addClick(clicks, start + 0.3 * period, 7800 * tuning[side], 7, 0.35 * force);
        }
        t += period;
    }
    // The air sac: a broad resonance the clicks pass through, plus what the tymbals radiate
    // themselves.
    std::vector<float> x = clicks;
    Biquad sac = Biquad::bandpass(rng.range(5600, 6200), 3.4);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(0.4 * clicks[i] + sac.process(clicks[i]));
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

Stereo bumblebee(Rng& rng) { return flyBy(rng, rng.range(140, 190), 6.0, 3.0, 0.6, 14, 0.72); }
Stereo mosquito(Rng& rng) { return flyBy(rng, rng.range(540, 620), 4.0, 1.2, 0.3, 6, 0.5); }

// How each insect file is made: a dry signal set in the forest a few metres away, or a flight
// past the listener that places itself.
struct InsectKind {
    Insect id;
    const char* name;
    std::vector<float> (*dry)(Rng&);
    Stereo (*flight)(Rng&);
};

constexpr InsectKind kInsects[] = {
    {Insect::FieldCricket, "field cricket", fieldCricket, nullptr},
    {Insect::TreeCricket, "tree cricket", treeCricket, nullptr},
    {Insect::BushCricket, "bush-cricket", bushCricket, nullptr},
    {Insect::Grasshopper, "grasshopper", grasshopper, nullptr},
    {Insect::Cicada, "cicada", cicada, nullptr},
    {Insect::Bumblebee, "bumblebee", nullptr, bumblebee},
    {Insect::Mosquito, "mosquito", nullptr, mosquito},
    {Insect::MoleCricket, "mole cricket", moleCricket, nullptr},
};
static_assert(std::size(kInsects) == kInsectCount, "one table row per insect file");

constexpr bool rowsInFileOrder() {
    for (size_t i = 0; i < std::size(kInsects); ++i) {
        if (static_cast<size_t>(kInsects[i].id) != i + 1) return false;
        if ((kInsects[i].dry == nullptr) == (kInsects[i].flight == nullptr)) return false;
    }
    return true;
}
static_assert(rowsInFileOrder(), "row i describes insect file i + 1, made one way");

const InsectKind& insectOfFile(int index) {
    if (index < 1 || index > kInsectCount) std::abort();
    return kInsects[index - 1];
}

}  // namespace

const char* insectName(int index) { return insectOfFile(index).name; }

Stereo renderInsect(int index, Rng& rng) {
    const InsectKind& k = insectOfFile(index);
    Rng shape = rng.fork(3);
    if (k.flight) return k.flight(shape);
    const std::vector<float> dry = k.dry(shape);
    return placeInForest(dry, rng.range(3, 8), rng.range(-0.6, 0.6), 0.8, rng.next());
}

}  // namespace soundpack
