#include "loudness.h"

#include <algorithm>
#include <cmath>

#include "dsp.h"

namespace soundpack {
namespace {

// The two K-weighting stages (a high shelf modelling the head, then a high-pass), designed for
// the pack's rate from their analog prototypes.
std::vector<double> kWeight(const std::vector<float>& x) {
    const double fs = kRate;
    double k = std::tan(kPi * 1681.974450955533 / fs);
    double q = 0.7071752369554196;
    const double vh = std::pow(10.0, 3.999843853973347 / 20.0);
    const double vb = std::pow(vh, 0.4996667741545416);
    double a0 = 1.0 + k / q + k * k;
    const double s0 = (vh + vb * k / q + k * k) / a0, s1 = 2.0 * (k * k - vh) / a0,
                 s2 = (vh - vb * k / q + k * k) / a0, sa1 = 2.0 * (k * k - 1.0) / a0,
                 sa2 = (1.0 - k / q + k * k) / a0;
    k = std::tan(kPi * 38.13547087602444 / fs);
    q = 0.5003270373238773;
    a0 = 1.0 + k / q + k * k;
    const double ha1 = 2.0 * (k * k - 1.0) / a0, ha2 = (1.0 - k / q + k * k) / a0;
    std::vector<double> y(x.size());
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0, z1 = 0, z2 = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        const double in = x[i];
        const double s = s0 * in + s1 * x1 + s2 * x2 - sa1 * y1 - sa2 * y2;
        x2 = x1;
        x1 = in;
        const double h = s - 2.0 * y1 + y2 - ha1 * z1 - ha2 * z2;
        y2 = y1;
        y1 = s;
        z2 = z1;
        z1 = h;
        y[i] = h;
    }
    return y;
}

// Mean square of the K-weighted channels summed, per window of `win` frames every `hop` frames.
std::vector<double> blockPowers(const std::vector<float>& l, const std::vector<float>& r,
                                size_t win, size_t hop) {
    const std::vector<double> kl = kWeight(l), kr = kWeight(r);
    std::vector<double> prefix(kl.size() + 1, 0.0);
    for (size_t i = 0; i < kl.size(); ++i)
        prefix[i + 1] = prefix[i] + kl[i] * kl[i] + kr[i] * kr[i];
    std::vector<double> out;
    if (kl.size() < win) {
        if (!kl.empty()) out.push_back(prefix[kl.size()] / static_cast<double>(win));
        return out;
    }
    for (size_t s = 0; s + win <= kl.size(); s += hop)
        out.push_back((prefix[s + win] - prefix[s]) / static_cast<double>(win));
    return out;
}

double toLufs(double power) { return -0.691 + 10.0 * std::log10(std::max(power, 1e-20)); }

}  // namespace

double integratedLoudness(const std::vector<float>& l, const std::vector<float>& r) {
    const std::vector<double> blocks = blockPowers(l, r, frames(0.4), frames(0.1));
    double sum = 0;
    size_t count = 0;
    for (double p : blocks) {
        if (toLufs(p) > -70.0) {
            sum += p;
            ++count;
        }
    }
    if (count == 0) return -200.0;
    const double relative = toLufs(sum / static_cast<double>(count)) - 10.0;
    sum = 0;
    count = 0;
    for (double p : blocks) {
        const double lufs = toLufs(p);
        if (lufs > -70.0 && lufs > relative) {
            sum += p;
            ++count;
        }
    }
    return count ? toLufs(sum / static_cast<double>(count)) : -200.0;
}

double maxMomentaryLoudness(const std::vector<float>& l, const std::vector<float>& r) {
    const std::vector<double> blocks = blockPowers(l, r, frames(0.4), frames(0.01));
    double best = 0;
    for (double p : blocks) best = std::max(best, p);
    return toLufs(best);
}

double truePeak(const std::vector<float>& x) {
    // Windowed-sinc interpolation of the three in-between phases, 16 taps each side.
    constexpr int kTaps = 16;
    double coef[3][2 * kTaps];
    for (int p = 1; p <= 3; ++p) {
        const double frac = p / 4.0;
        for (int k = -kTaps + 1; k <= kTaps; ++k) {
            const double t = k - frac;  // distance from tap to the interpolated point
            const double sinc = std::sin(kPi * t) / (kPi * t);
            const double win = 0.5 + 0.5 * std::cos(kPi * t / (kTaps + 0.5));
            coef[p - 1][k + kTaps - 1] = sinc * win;
        }
    }
    double peak = 0;
    const long n = static_cast<long>(x.size());
    for (long i = 0; i < n; ++i) {
        peak = std::max(peak, static_cast<double>(std::fabs(x[i])));
        // Between two samples the reconstruction rises at most a few dB above them.
        if (i + 1 < n && std::max(std::fabs(x[i]), std::fabs(x[i + 1])) < 0.4 * peak) continue;
        for (int p = 0; p < 3; ++p) {
            double acc = 0;
            for (int k = -kTaps + 1; k <= kTaps; ++k) {
                const long j = i + k;
                if (j >= 0 && j < n) acc += coef[p][k + kTaps - 1] * x[j];
            }
            peak = std::max(peak, std::fabs(acc));
        }
    }
    return peak;
}

double integratedLoudness(const Stereo& s) { return integratedLoudness(s.l, s.r); }
double maxMomentaryLoudness(const Stereo& s) { return maxMomentaryLoudness(s.l, s.r); }
double truePeak(const Stereo& s) { return std::max(truePeak(s.l), truePeak(s.r)); }

}  // namespace soundpack
