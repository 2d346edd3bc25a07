#include "dsp.h"

#include <algorithm>
#include <complex>
#include <deque>
#include <utility>

namespace soundpack {

void Stereo::scale(double g) {
    for (auto& v : l) v = static_cast<float>(v * g);
    for (auto& v : r) v = static_cast<float>(v * g);
}

void Stereo::mix(const Stereo& other, double gain) {
    const size_t n = std::min(size(), other.size());
    for (size_t i = 0; i < n; ++i) {
        l[i] = static_cast<float>(l[i] + gain * other.l[i]);
        r[i] = static_cast<float>(r[i] + gain * other.r[i]);
    }
}

namespace {
// Adds count frames into dst from start on, frame i as (left(i), right(i)); past the end the
// frames either stop or, with wrap, continue from the beginning (a loop's circular timeline).
template <typename Frame>
void mixInto(Stereo& dst, long start, size_t count, bool wrap, Frame frame) {
    const long n = static_cast<long>(dst.size());
    if (n == 0) return;
    long pos = start;
    if (wrap) pos = ((pos % n) + n) % n;
    for (size_t i = 0; i < count; ++i, ++pos) {
        if (pos >= n) {
            if (!wrap) break;
            pos -= n;
        }
        if (pos < 0) continue;
        const auto [l, r] = frame(i);
        dst.l[pos] = static_cast<float>(dst.l[pos] + l);
        dst.r[pos] = static_cast<float>(dst.r[pos] + r);
    }
}
}  // namespace

void addMono(Stereo& dst, long start, const std::vector<float>& src, double gain, double pan,
             bool wrap) {
    double gl, gr;
    panGains(pan, gl, gr);
    gl *= gain;
    gr *= gain;
    mixInto(dst, start, src.size(), wrap,
            [&](size_t i) { return std::pair<double, double>(gl * src[i], gr * src[i]); });
}

void addStereo(Stereo& dst, long start, const Stereo& src, double gain, bool wrap) {
    mixInto(dst, start, src.size(), wrap,
            [&](size_t i) { return std::pair<double, double>(gain * src.l[i], gain * src.r[i]); });
}

Biquad Biquad::make(double b0, double b1, double b2, double a0, double a1, double a2) {
    Biquad q;
    q.m_b0 = b0 / a0;
    q.m_b1 = b1 / a0;
    q.m_b2 = b2 / a0;
    q.m_a1 = a1 / a0;
    q.m_a2 = a2 / a0;
    return q;
}

Biquad Biquad::lowpass(double f, double q) {
    const double w = kTwoPi * std::min(f, kRate * 0.49) / kRate, c = std::cos(w);
    const double alpha = std::sin(w) / (2 * q);
    return make((1 - c) / 2, 1 - c, (1 - c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

Biquad Biquad::highpass(double f, double q) {
    const double w = kTwoPi * f / kRate, c = std::cos(w);
    const double alpha = std::sin(w) / (2 * q);
    return make((1 + c) / 2, -(1 + c), (1 + c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

Biquad Biquad::bandpass(double f, double q) {
    const double w = kTwoPi * std::min(f, kRate * 0.49) / kRate, c = std::cos(w);
    const double alpha = std::sin(w) / (2 * q);
    return make(alpha, 0, -alpha, 1 + alpha, -2 * c, 1 - alpha);
}

Biquad Biquad::peaking(double f, double q, double db) {
    const double a = std::pow(10.0, db / 40.0);
    const double w = kTwoPi * f / kRate, c = std::cos(w);
    const double alpha = std::sin(w) / (2 * q);
    return make(1 + alpha * a, -2 * c, 1 - alpha * a, 1 + alpha / a, -2 * c, 1 - alpha / a);
}

Biquad Biquad::highShelf(double f, double db) {
    const double a = std::pow(10.0, db / 40.0);
    const double w = kTwoPi * f / kRate, c = std::cos(w);
    const double alpha = std::sin(w) / 2 * std::sqrt(2.0);
    const double s = 2 * std::sqrt(a) * alpha;
    return make(a * ((a + 1) + (a - 1) * c + s), -2 * a * ((a - 1) + (a + 1) * c),
                a * ((a + 1) + (a - 1) * c - s), (a + 1) - (a - 1) * c + s,
                2 * ((a - 1) - (a + 1) * c), (a + 1) - (a - 1) * c - s);
}

Biquad Biquad::lowShelf(double f, double db) {
    const double a = std::pow(10.0, db / 40.0);
    const double w = kTwoPi * f / kRate, c = std::cos(w);
    const double alpha = std::sin(w) / 2 * std::sqrt(2.0);
    const double s = 2 * std::sqrt(a) * alpha;
    return make(a * ((a + 1) - (a - 1) * c + s), 2 * a * ((a - 1) - (a + 1) * c),
                a * ((a + 1) - (a - 1) * c - s), (a + 1) + (a - 1) * c + s,
                -2 * ((a - 1) + (a + 1) * c), (a + 1) + (a - 1) * c - s);
}

Reverb::Reverb(double rt60, double dampHz, double size, uint64_t seed) {
    Rng rng(seed);
    static const double kLineMs[8] = {31.7, 37.9, 41.3, 47.1, 53.9, 61.3, 67.1, 73.7};
    for (int i = 0; i < 8; ++i) {
        const size_t len = frames(kLineMs[i] * size * rng.range(0.97, 1.03) / 1000.0);
        m_lines[i].buf.assign(len, 0.0);
        m_lines[i].gain = std::pow(10.0, -3.0 * static_cast<double>(len) / (rt60 * kRate));
        m_lines[i].damp.setCutoff(dampHz);
    }
    static const double kDiffMs[4] = {4.7, 3.3, 11.9, 8.3};
    for (int i = 0; i < 4; ++i) {
        m_diffL[i].buf.assign(frames(kDiffMs[i] * rng.range(0.9, 1.1) / 1000.0), 0.0);
        m_diffR[i].buf.assign(frames(kDiffMs[i] * rng.range(0.9, 1.1) / 1000.0), 0.0);
    }
}

void Reverb::process(double inL, double inR, double& outL, double& outR) {
    for (auto& ap : m_diffL) inL = ap.process(inL);
    for (auto& ap : m_diffR) inR = ap.process(inR);
    double y[8];
    for (int i = 0; i < 8; ++i) {
        Line& ln = m_lines[i];
        y[i] = ln.damp.lowpass(ln.buf[ln.pos] * ln.gain);
    }
    // Fast Walsh-Hadamard transform: an orthogonal mix of all lines.
    double h[8];
    for (int i = 0; i < 8; ++i) h[i] = y[i];
    for (int len = 1; len < 8; len <<= 1) {
        for (int i = 0; i < 8; i += 2 * len) {
            for (int j = i; j < i + len; ++j) {
                const double a = h[j], b = h[j + len];
                h[j] = a + b;
                h[j + len] = a - b;
            }
        }
    }
    const double norm = 0.35355339059327373;  // 1/sqrt(8)
    for (int i = 0; i < 8; ++i) {
        Line& ln = m_lines[i];
        const double in = (i & 1) ? inR : inL;
        ln.buf[ln.pos] = h[i] * norm + in;
        if (++ln.pos == ln.buf.size()) ln.pos = 0;
    }
    outL = (y[0] - y[2] + y[4] - y[6] + y[1] * 0.5 - y[5] * 0.5) * 0.5;
    outR = (y[1] - y[3] + y[5] - y[7] + y[2] * 0.5 - y[6] * 0.5) * 0.5;
}

Stereo Reverb::run(const Stereo& in) {
    Stereo out(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        double l, r;
        process(in.l[i], in.r[i], l, r);
        out.l[i] = static_cast<float>(l);
        out.r[i] = static_cast<float>(r);
    }
    return out;
}

PeriodicCurve::PeriodicCurve(Rng& rng, size_t period, int knots, double lo, double hi)
    : m_period(period) {
    for (int i = 0; i < knots; ++i) m_knots.push_back(rng.range(lo, hi));
}

double PeriodicCurve::at(size_t frame) const {
    const size_t n = m_knots.size();
    const double x = static_cast<double>(frame % m_period) / static_cast<double>(m_period) * n;
    const size_t i = static_cast<size_t>(x) % n;
    const double t = x - std::floor(x);
    const double p0 = m_knots[(i + n - 1) % n], p1 = m_knots[i], p2 = m_knots[(i + 1) % n],
                 p3 = m_knots[(i + 2) % n];
    return p1 + 0.5 * t *
                    (p2 - p0 + t * (2 * p0 - 5 * p1 + 4 * p2 - p3 + t * (3 * (p1 - p2) + p3 - p0)));
}

Stereo extendPeriodic(const Stereo& dry, size_t warmup, size_t extra) {
    const size_t n = dry.size();
    Stereo out(warmup + n + extra);
    for (size_t i = 0; i < out.size(); ++i) {
        const size_t src = (i + n - (warmup % n)) % n;
        out.l[i] = dry.l[src];
        out.r[i] = dry.r[src];
    }
    return out;
}

void dropFront(Stereo& s, size_t n) {
    s.l.erase(s.l.begin(), s.l.begin() + static_cast<long>(n));
    s.r.erase(s.r.begin(), s.r.begin() + static_cast<long>(n));
}

void fadeEdges(Stereo& s, double fadeInSec, double fadeOutSec) {
    const size_t n = s.size();
    const size_t fi = std::min(n, frames(fadeInSec)), fo = std::min(n, frames(fadeOutSec));
    for (size_t i = 0; i < fi; ++i) {
        const double g = 0.5 - 0.5 * std::cos(kPi * i / fi);
        s.l[i] = static_cast<float>(s.l[i] * g);
        s.r[i] = static_cast<float>(s.r[i] * g);
    }
    for (size_t i = 0; i < fo; ++i) {
        const double g = 0.5 - 0.5 * std::cos(kPi * i / fo);
        s.l[n - 1 - i] = static_cast<float>(s.l[n - 1 - i] * g);
        s.r[n - 1 - i] = static_cast<float>(s.r[n - 1 - i] * g);
    }
}

void limitPeaks(Stereo& s, double ceiling, double windowSec) {
    const size_t n = s.size();
    const size_t w = std::max<size_t>(2, frames(windowSec));
    std::vector<double> need(n);
    bool any = false;
    for (size_t i = 0; i < n; ++i) {
        const double p = std::max(std::fabs(s.l[i]), std::fabs(s.r[i]));
        need[i] = p > ceiling ? ceiling / p : 1.0;
        any = any || p > ceiling;
    }
    if (!any) return;
    // Sliding minimum over +-w, then a moving average over w: the average of minima taken over a
    // wider window never rises above the gain any sample inside it needs.
    std::vector<double> mins(n);
    std::deque<size_t> q;
    size_t next = 0;
    for (size_t i = 0; i < n; ++i) {
        const size_t hi = std::min(n - 1, i + w);
        while (next <= hi) {
            while (!q.empty() && need[q.back()] >= need[next]) q.pop_back();
            q.push_back(next++);
        }
        while (q.front() + w < i) q.pop_front();
        mins[i] = need[q.front()];
    }
    double acc = 0;
    std::vector<double> gain(n);
    const size_t half = w / 2;
    // Centered moving average of length w (shorter near the edges).
    std::vector<double> prefix(n + 1, 0.0);
    for (size_t i = 0; i < n; ++i) prefix[i + 1] = prefix[i] + mins[i];
    for (size_t i = 0; i < n; ++i) {
        const size_t a = i >= half ? i - half : 0, b = std::min(n, i + half + 1);
        acc = (prefix[b] - prefix[a]) / static_cast<double>(b - a);
        gain[i] = acc;
    }
    for (size_t i = 0; i < n; ++i) {
        s.l[i] = static_cast<float>(s.l[i] * gain[i]);
        s.r[i] = static_cast<float>(s.r[i] * gain[i]);
    }
}

void removeDc(Stereo& s) {
    double ml = 0, mr = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        ml += s.l[i];
        mr += s.r[i];
    }
    if (s.size() == 0) return;
    ml /= static_cast<double>(s.size());
    mr /= static_cast<double>(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        s.l[i] = static_cast<float>(s.l[i] - ml);
        s.r[i] = static_cast<float>(s.r[i] - mr);
    }
}

void fft(std::vector<std::complex<double>>& a) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> w(std::cos(-kTwoPi / len), std::sin(-kTwoPi / len));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> wk(1);
            for (size_t j = 0; j < len / 2; ++j, wk *= w) {
                const auto u = a[i + j], v = a[i + j + len / 2] * wk;
                a[i + j] = u + v;
                a[i + j + len / 2] = u - v;
            }
        }
    }
}

}  // namespace soundpack
