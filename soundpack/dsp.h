// Building blocks shared by every sound of the pack: buffers, filters, the diffuse reverb,
// smooth random curves and the helpers that make loops wrap around.
#pragma once

#include <cmath>
#include <complex>
#include <cstddef>
#include <vector>

#include "rng.h"

namespace soundpack {

constexpr double kRate = 44100.0;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kPi = 3.141592653589793;

inline double dbToGain(double db) { return std::pow(10.0, db / 20.0); }
inline double gainToDb(double g) { return 20.0 * std::log10(g > 1e-30 ? g : 1e-30); }
inline size_t frames(double seconds) { return static_cast<size_t>(std::lround(seconds * kRate)); }

struct Stereo {
    std::vector<float> l, r;
    Stereo() = default;
    explicit Stereo(size_t n) : l(n, 0.0f), r(n, 0.0f) {}
    size_t size() const { return l.size(); }
    void resize(size_t n) {
        l.resize(n, 0.0f);
        r.resize(n, 0.0f);
    }
    void scale(double g);
    void mix(const Stereo& other, double gain = 1.0);
};

// Constant-power pan, pan in [-1 (left), 1 (right)].
inline void panGains(double pan, double& gl, double& gr) {
    const double a = (pan + 1.0) * 0.25 * kPi;
    gl = std::cos(a);
    gr = std::sin(a);
}

// Adds a mono signal into a stereo buffer at a start frame with a pan; with wrap set, frames past
// the end continue at the start (a circular timeline for loops), otherwise they are dropped.
void addMono(Stereo& dst, long start, const std::vector<float>& src, double gain, double pan,
             bool wrap);
void addStereo(Stereo& dst, long start, const Stereo& src, double gain, bool wrap);

// Transposed direct form II biquad with the usual audio-cookbook designs.
class Biquad {
public:
    static Biquad lowpass(double f, double q = 0.7071);
    static Biquad highpass(double f, double q = 0.7071);
    static Biquad bandpass(double f, double q);  // 0 dB at the centre
    static Biquad peaking(double f, double q, double db);
    static Biquad highShelf(double f, double db);
    static Biquad lowShelf(double f, double db);
    double process(double x) {
        const double y = m_b0 * x + m_z1;
        m_z1 = m_b1 * x - m_a1 * y + m_z2;
        m_z2 = m_b2 * x - m_a2 * y;
        return y;
    }
    void run(std::vector<float>& x) {
        for (auto& v : x) v = static_cast<float>(process(v));
    }
    void reset() { m_z1 = m_z2 = 0.0; }

private:
    static Biquad make(double b0, double b1, double b2, double a0, double a1, double a2);
    double m_b0 = 1, m_b1 = 0, m_b2 = 0, m_a1 = 0, m_a2 = 0;
    double m_z1 = 0, m_z2 = 0;
};

class OnePole {
public:
    explicit OnePole(double cutoffHz = 1000.0) { setCutoff(cutoffHz); }
    void setCutoff(double hz) { m_a = std::exp(-kTwoPi * hz / kRate); }
    double lowpass(double x) { return m_y = x + m_a * (m_y - x); }

private:
    double m_a = 0, m_y = 0;
};

// A diffuse reverb: all-pass diffusers per channel feeding an 8-line feedback delay network with
// an orthogonal (Hadamard) mix and damped highs in every line, so the tail is dense and soft
// rather than a metallic comb.
class Reverb {
public:
    Reverb(double rt60, double dampHz, double size, uint64_t seed);
    void process(double inL, double inR, double& outL, double& outR);
    // Runs over the whole buffer and returns the wet signal only.
    Stereo run(const Stereo& in);

private:
    struct Line {
        std::vector<double> buf;
        size_t pos = 0;
        double gain = 0;
        OnePole damp;
    };
    struct AllPass {
        std::vector<double> buf;
        size_t pos = 0;
        double g = 0.6;
        double process(double x) {
            const double d = buf[pos];
            const double y = -g * x + d;
            buf[pos] = x + g * y;
            if (++pos == buf.size()) pos = 0;
            return y;
        }
    };
    Line m_lines[8];
    AllPass m_diffL[4], m_diffR[4];
};

// A smooth random curve that repeats exactly every `period` frames: random knots on a circle,
// joined by Catmull-Rom pieces. Slow swells and drifts use it so loops stay seamless.
class PeriodicCurve {
public:
    PeriodicCurve(Rng& rng, size_t period, int knots, double lo, double hi);
    double at(size_t frame) const;

private:
    std::vector<double> m_knots;
    size_t m_period;
};

// Loop rendering: a dry signal laid out on a circular timeline is repeated over a warm-up
// stretch before its start and a continuation past its end, so stateful filters and reverbs
// settle into their periodic state before the first kept frame.
Stereo extendPeriodic(const Stereo& dry, size_t warmup, size_t extra);
void dropFront(Stereo& s, size_t n);

// Raised-cosine fades at both ends.
void fadeEdges(Stereo& s, double fadeInSec, double fadeOutSec);
// Smooth look-ahead peak limiter: no sample above `ceiling`, gain changes over ~`windowSec`.
void limitPeaks(Stereo& s, double ceiling, double windowSec);
void removeDc(Stereo& s);

// In-place radix-2 FFT; the size must be a power of two.
void fft(std::vector<std::complex<double>>& a);

// White noise in [-1, 1).
inline double whiteNoise(Rng& rng) { return rng.uniform() * 2.0 - 1.0; }

}  // namespace soundpack
