#include "syrinx.h"

#include <algorithm>
#include <cmath>

#include "dsp.h"

namespace soundpack {
namespace {

// The labia are integrated at twice the output rate so the high songs (up to 9 kHz) and the
// harmonics of rich notes stay clear of aliasing; a low-pass then brings it down to 44.1 kHz.
constexpr int kOversample = 2;
constexpr double kInnerRate = kRate * kOversample;
constexpr double kSpeedOfSound = 34300.0;  // cm/s

// One side of the syrinx in the first side's time: `rate` is its own pitch relative to it.
struct Labia {
    double x = 0, y = 0;
    // Fourth-order Runge-Kutta on x' = y, y' = -rate^2 x + rate (mu - c x^2) y - d + force.
    // The cubic damping c stays with the note while mu follows the pressure: above threshold the
    // labia settle on a cycle whose size grows with the pressure, below it they die away.
    void step(double dtau, double mu, double cubic, double rate, double offset, double force) {
        auto dy = [&](double px, double py) {
            return -rate * rate * px + rate * (mu - cubic * px * px) * py - offset + force;
        };
        const double k1x = y, k1y = dy(x, y);
        const double k2x = y + 0.5 * dtau * k1y, k2y = dy(x + 0.5 * dtau * k1x, k2x);
        const double k3x = y + 0.5 * dtau * k2y, k3y = dy(x + 0.5 * dtau * k2x, k3x);
        const double k4x = y + dtau * k3y, k4y = dy(x + dtau * k3x, k4x);
        x += dtau / 6.0 * (k1x + 2 * k2x + 2 * k3x + k4x);
        y += dtau / 6.0 * (k1y + 2 * k2y + 2 * k3y + k4y);
    }
};

// The oscillator runs slower as it turns from a sine into a relaxation oscillation and as the
// offset pulls it off centre: its angular frequency in its own time for a grid of mu and offset,
// found once by running it. The tension is raised by this much to keep the pitch on its curve.
class Slowdown {
public:
    static constexpr int kMu = 13, kOffset = 10;
    static constexpr double kMuStep = 0.5, kOffsetStep = 0.05;
    Slowdown() {
        for (int i = 0; i < kMu; ++i)
            for (int k = 0; k < kOffset; ++k) m_omega[i][k] = measure(i * kMuStep, k * kOffsetStep);
    }
    double at(double mu, double offset) const {
        const double fm = std::clamp(mu / kMuStep, 0.0, kMu - 1.001);
        const double fo = std::clamp(offset / kOffsetStep, 0.0, kOffset - 1.001);
        const int i = static_cast<int>(fm), k = static_cast<int>(fo);
        const double u = fm - i, v = fo - k;
        return (1 - u) * ((1 - v) * m_omega[i][k] + v * m_omega[i][k + 1]) +
               u * ((1 - v) * m_omega[i + 1][k] + v * m_omega[i + 1][k + 1]);
    }

private:
    static double measure(double mu, double offset) {
        if (mu < 0.05) mu = 0.05;
        Labia l;
        l.x = 0.5;
        const double h = 0.01;
        double prev = l.y, firstCross = -1, lastCross = 0;
        int crossings = 0;
        for (int n = 0; n < 200000 && crossings < 41; ++n) {
            l.step(h, mu, mu, 1.0, offset, 0.0);
            // Upward crossings of y through zero, after the settling time.
            if (n > 20000 && prev < 0 && l.y >= 0) {
                const double t = (n + prev / (prev - l.y)) * h;
                if (firstCross < 0) firstCross = t;
                lastCross = t;
                ++crossings;
            }
            prev = l.y;
        }
        if (crossings < 2) return 1.0;
        return kTwoPi * (crossings - 1) / (lastCross - firstCross);
    }
    double m_omega[kMu][kOffset];
};

double slowdown(double mu, double offset) {
    static const Slowdown table;
    return mu <= 0 ? 1.0 : table.at(mu, offset);
}

// The oro-oesophageal cavity: a resonance that follows the pitch (a state-variable band-pass,
// unity gain at its centre, retuned every few steps).
class Cavity {
public:
    explicit Cavity(double q) : m_k(1.0 / q) {}
    void tune(double hz) {
        m_g = std::tan(kPi * std::min(hz, 0.45 * kInnerRate) / kInnerRate);
        m_a1 = 1.0 / (1.0 + m_g * (m_g + m_k));
    }
    double process(double v) {
        const double v1 = m_a1 * (m_ic1 + m_g * (v - m_ic2));
        const double v2 = m_ic2 + m_g * v1;
        m_ic1 = 2 * v1 - m_ic1;
        m_ic2 = 2 * v2 - m_ic2;
        return m_k * v1;
    }

private:
    double m_k, m_g = 0, m_a1 = 1, m_ic1 = 0, m_ic2 = 0;
};

// The trachea: the wave from the syrinx and its echoes between the partly open beak end and the
// syrinx, one round trip apart.
class Trachea {
public:
    Trachea(double lengthCm, double reflection)
        : m_delay(2.0 * lengthCm / kSpeedOfSound * kInnerRate),
          m_r(reflection),
          m_buf(static_cast<size_t>(m_delay) + 4, 0.0) {}
    double process(double v) {
        const double back = read();
        const double w = v - m_r * back;
        m_buf[m_pos] = w;
        if (++m_pos == m_buf.size()) m_pos = 0;
        return (1.0 - m_r) * w;
    }

private:
    double read() const {
        const size_t n = m_buf.size();
        const size_t whole = static_cast<size_t>(m_delay);
        const double frac = m_delay - static_cast<double>(whole);
        const double a = m_buf[(m_pos + n - whole) % n], b = m_buf[(m_pos + n - whole - 1) % n];
        return a + frac * (b - a);
    }
    double m_delay, m_r;
    std::vector<double> m_buf;
    size_t m_pos = 0;
};

void singNote(const Note& n, const Voice& voice, Rng& rng, std::vector<float>& out) {
    const size_t len = frames(n.dur);
    if (len < 4) return;
    const long start = static_cast<long>(std::lround(std::max(0.0, n.t) * kRate));
    const size_t steps = len * kOversample, ring = frames(0.004) * kOversample;
    // Pitch: the parabola in log-frequency through start, middle and end, with a slow wobble.
    const double a = std::log2(n.f0), m = std::log2(n.fm), b = std::log2(n.f1);
    const double c1 = 4 * m - 3 * a - b, c2 = 2 * (a + b) - 4 * m;
    const double vibHz = rng.range(4, 9), vibPhase = rng.range(0, kTwoPi);
    // Louder notes are pushed harder: more pressure over the threshold, a richer regime.
    const double loud = std::clamp(n.amp, 0.0, 1.0);
    const double muPeak = (0.12 + 2.5 * n.h3 + 2.5 * n.rich) * (0.6 + 0.8 * loud);
    const double offset = std::min(0.45, 5.0 * n.h2);
    const double att = std::max(n.attack, 1e-3), rel = std::max(n.release, 1e-3);
    const double stiffness = std::max(1.0, 4.0 * muPeak * std::max(1.0, voice.detune));
    Labia left, right;
    left.x = 0.01 * whiteNoise(rng);
    right.x = 0.01 * whiteNoise(rng);
    Trachea trachea(voice.tracheaCm, voice.reflection),
        breathTube(voice.tracheaCm, voice.reflection);
    Cavity cavity(voice.cavityQ), breathBand(voice.breathQ > 0 ? voice.breathQ : 1.0);
    Biquad down1 = Biquad::lowpass(kRate * 0.2, 0.54), down2 = Biquad::lowpass(kRate * 0.2, 1.31);
    OnePole breathLp(kRate * 0.3);
    double tau = 0, f = n.f0;
    for (size_t j = 0; j < steps + ring; ++j) {
        const double u = std::min(1.0, static_cast<double>(j) / static_cast<double>(steps));
        const double ts = static_cast<double>(j) / kInnerRate;
        if (j % 4 == 0) {
            f = std::exp2(a + c1 * u + c2 * u * u);
            f *= 1.0 + 0.01 * std::sin(kTwoPi * vibHz * ts + vibPhase);
            if (n.warble > 0) f *= 1.0 + n.warble * std::sin(kTwoPi * n.warbleHz * ts);
            cavity.tune(f);
            breathBand.tune(f);
        }
        // Air-sac pressure: raised-cosine rise and fall, pulsing for buzzy notes.
        double p = 1.0;
        if (u < att) p = 0.5 - 0.5 * std::cos(kPi * u / att);
        if (u > 1.0 - rel) p *= 0.5 - 0.5 * std::cos(kPi * (1.0 - u) / rel);
        if (j >= steps) p = 0;
        if (n.buzz > 0) p *= 1.0 - n.buzz * (0.5 + 0.5 * std::cos(kTwoPi * n.buzzHz * ts));
        // Below a tenth of the peak pressure the labia are under threshold and die away.
        const double mu = muPeak * (p - 0.1) / 0.9;
        const double dtau = kTwoPi * f / kInnerRate / slowdown(mu, offset);
        // Small enough steps for the stiffest part of a relaxation cycle, too.
        const int sub = 1 + static_cast<int>(dtau * stiffness / 0.35);
        const double h = dtau / sub;
        const double turbulence = 0.02 * whiteNoise(rng);
        for (int s = 0; s < sub; ++s) {
            const double pull = voice.coupling * (right.x - left.x);
            left.step(h, mu, muPeak, 1.0, offset, turbulence + pull);
            if (voice.secondSide > 0)
                right.step(h, mu, muPeak, voice.detune, offset, turbulence - pull);
        }
        tau += dtau;
        const double gain = 0.5 * p * n.amp;
        // The flow through the gap grows faster than the labia open (U ~ x + beta x^2), so what
        // the beak radiates, dU/dt = y (1 + 2 beta x), carries a 2nd harmonic that grows with
        // the swing: about -20 to -26 dB under a full note's fundamental at the usual h2, purer
        // in soft onsets. The high notes of small birds come out nearly pure, so the asymmetry
        // fades above 4 kHz and is gone by 7.5 kHz, keeping their harmonics off the top octave.
        const double high = std::clamp((7500.0 - f) / 3500.0, 0.0, 1.0);
        const double beta = std::min(0.25, 3.0 * n.h2) * high * high;
        const double voiced = (left.y * (1.0 + 2.0 * beta * left.x) +
                               voice.secondSide * right.y * (1.0 + 2.0 * beta * right.x)) *
                              gain;
        // Flow noise at the narrow gap, strongest where the pressure is.
        double breath = n.noise * 8.0 * breathLp.lowpass(whiteNoise(rng)) * gain;
        if (voice.breathQ > 0) breath = breathBand.process(breath);
        // Part of the tone's harmonics leaks past the cavity's resonance (the open beak radiates
        // them); the breath has no such way out, so it stays a band around the pitch instead of
        // a faint hiss over the whole spectrum.
        const double tube = trachea.process(voiced);
        const double beak =
            (1.0 - voice.throughBeak) * cavity.process(tube + breathTube.process(breath)) +
            voice.throughBeak * tube;
        const double v = down2.process(down1.process(beak));
        if (j % kOversample == 0) {
            const long at = start + static_cast<long>(j / kOversample);
            if (at >= 0 && at < static_cast<long>(out.size()))
                out[at] = static_cast<float>(out[at] + v);
        }
    }
}

}  // namespace

const Voice& songbirdVoice() {
    static const Voice v;
    return v;
}

std::vector<float> sing(const std::vector<Note>& notes, const Voice& voice, Rng& rng, double tail) {
    double end = 0;
    for (const Note& n : notes) end = std::max(end, n.t + n.dur);
    std::vector<float> out(frames(end + tail), 0.0f);
    for (const Note& n : notes) singNote(n, voice, rng, out);
    if (voice.lowCutHz > 0) {
        Biquad cut1 = Biquad::highpass(voice.lowCutHz, 0.7071), cut2 = cut1;
        for (float& v : out) v = static_cast<float>(cut2.process(cut1.process(v)));
    }
    if (voice.highCutHz > 0) {
        Biquad cut1 = Biquad::lowpass(voice.highCutHz, 0.7071), cut2 = cut1;
        for (float& v : out) v = static_cast<float>(cut2.process(cut1.process(v)));
    }
    for (const Voice::Formant& f : voice.formants) {
        if (f.db == 0) continue;
        Biquad peak = Biquad::peaking(f.hz, f.q, f.db);
        peak.run(out);
    }
    return out;
}

}  // namespace soundpack
