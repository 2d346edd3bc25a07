#include "analysis.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace soundpack_test {
namespace {

constexpr double kRate = soundpack::kRate;
constexpr double kPi = soundpack::kPi;

void fft(std::vector<std::complex<double>>& a) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> w(std::cos(-2 * kPi / len), std::sin(-2 * kPi / len));
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

std::vector<double> hann(size_t n) {
    std::vector<double> w(n);
    for (size_t i = 0; i < n; ++i) w[i] = 0.5 - 0.5 * std::cos(2 * kPi * i / n);
    return w;
}

}  // namespace

double binHz(size_t bin, size_t fftSize) { return bin * kRate / static_cast<double>(fftSize); }

std::vector<double> powerSpectrum(const std::vector<float>& x, size_t fftSize) {
    std::vector<double> power(fftSize / 2 + 1, 0.0);
    const std::vector<double> w = hann(fftSize);
    std::vector<std::complex<double>> buf(fftSize);
    size_t frames = 0;
    for (size_t s = 0; s + fftSize <= x.size(); s += fftSize / 2, ++frames) {
        for (size_t i = 0; i < fftSize; ++i) buf[i] = x[s + i] * w[i];
        fft(buf);
        for (size_t k = 0; k < power.size(); ++k) power[k] += std::norm(buf[k]);
    }
    for (double& v : power) v /= std::max<size_t>(frames, 1);
    return power;
}

double powerFraction(const std::vector<double>& power, size_t fftSize, double lo, double hi) {
    double part = 0, all = 0;
    for (size_t k = 1; k < power.size(); ++k) {
        all += power[k];
        const double f = binHz(k, fftSize);
        if (f >= lo && f < hi) part += power[k];
    }
    return all > 0 ? part / all : 0;
}

double octaveSlope(const std::vector<double>& power, size_t fftSize, double lo, double hi) {
    std::vector<double> xs, ys;
    for (double f = lo; f < hi * 0.99; f *= 2) {
        double p = 0;
        for (size_t k = 1; k < power.size(); ++k) {
            const double hz = binHz(k, fftSize);
            if (hz >= f && hz < 2 * f) p += power[k];
        }
        xs.push_back(xs.size());
        ys.push_back(10 * std::log10(std::max(p, 1e-30)));
    }
    const double n = static_cast<double>(xs.size());
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t i = 0; i < xs.size(); ++i) {
        sx += xs[i];
        sy += ys[i];
        sxx += xs[i] * xs[i];
        sxy += xs[i] * ys[i];
    }
    return (n * sxy - sx * sy) / (n * sxx - sx * sx);
}

double flatness(const std::vector<double>& power, size_t fftSize, double lo, double hi) {
    double logSum = 0, sum = 0;
    size_t n = 0;
    for (size_t k = 1; k < power.size(); ++k) {
        const double f = binHz(k, fftSize);
        if (f < lo || f >= hi) continue;
        logSum += std::log(std::max(power[k], 1e-30));
        sum += power[k];
        ++n;
    }
    return n ? std::exp(logSum / n) / (sum / n) : 0;
}

double correlation(const std::vector<float>& a, const std::vector<float>& b) {
    double ab = 0, aa = 0, bb = 0, ma = 0, mb = 0;
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        ma += a[i];
        mb += b[i];
    }
    ma /= n;
    mb /= n;
    for (size_t i = 0; i < n; ++i) {
        ab += (a[i] - ma) * (b[i] - mb);
        aa += (a[i] - ma) * (a[i] - ma);
        bb += (b[i] - mb) * (b[i] - mb);
    }
    return ab / std::sqrt(aa * bb);
}

double rmsDb(const Stereo& s) {
    double e = 0;
    for (size_t i = 0; i < s.size(); ++i) e += double(s.l[i]) * s.l[i] + double(s.r[i]) * s.r[i];
    return 10 * std::log10(std::max(e / (2.0 * std::max<size_t>(s.size(), 1)), 1e-30));
}

double dcOffset(const std::vector<float>& x) {
    double m = 0;
    for (float v : x) m += v;
    return x.empty() ? 0 : m / x.size();
}

double samplePeak(const Stereo& s, size_t from, size_t to) {
    double p = 0;
    for (size_t i = from; i < to && i < s.size(); ++i)
        p = std::max({p, std::fabs(double(s.l[i])), std::fabs(double(s.r[i]))});
    return p;
}

std::vector<float> monoMix(const Stereo& s) {
    std::vector<float> m(s.size());
    for (size_t i = 0; i < s.size(); ++i) m[i] = 0.5f * (s.l[i] + s.r[i]);
    return m;
}

std::vector<double> SongFeatures::log2s() const {
    return {std::log2(activeSec), std::log2(onsetRate), std::log2(f10), std::log2(f50),
            std::log2(f90)};
}

SongFeatures songFeatures(const Stereo& s) {
    constexpr size_t kFrame = 512, kHop = 128;
    const std::vector<float> x = monoMix(s);
    const std::vector<double> w = hann(kFrame);
    std::vector<double> levelDb, domHz;
    std::vector<std::complex<double>> buf(kFrame);
    for (size_t p = 0; p + kFrame <= x.size(); p += kHop) {
        for (size_t i = 0; i < kFrame; ++i) buf[i] = x[p + i] * w[i];
        fft(buf);
        double e = 0, best = -1;
        size_t bestK = 0;
        for (size_t k = 1; k < kFrame / 2; ++k) {
            const double m = std::norm(buf[k]);
            e += m;
            const double f = binHz(k, kFrame);
            if (f >= 400 && f <= 16000 && m > best) {
                best = m;
                bestK = k;
            }
        }
        levelDb.push_back(10 * std::log10(e + 1e-20));
        domHz.push_back(binHz(bestK, kFrame));
    }
    SongFeatures f;
    if (levelDb.empty()) return f;
    const double peak = *std::max_element(levelDb.begin(), levelDb.end());
    std::vector<double> active;
    size_t first = levelDb.size(), last = 0;
    for (size_t i = 0; i < levelDb.size(); ++i) {
        if (levelDb[i] > peak - 30) {
            active.push_back(domHz[i]);
            first = std::min(first, i);
            last = i;
        }
    }
    f.activeSec = active.size() * kHop / kRate;
    // Onsets: a rise of 9 dB above the last dip that reaches within 30 dB of the song's peak.
    int onsets = 0;
    bool high = false;
    double extreme = levelDb[0];
    for (double v : levelDb) {
        if (!high) {
            extreme = std::min(extreme, v);
            if (v > extreme + 9 && v > peak - 30) {
                ++onsets;
                high = true;
                extreme = v;
            }
        } else {
            extreme = std::max(extreme, v);
            if (v < extreme - 9) {
                high = false;
                extreme = v;
            }
        }
    }
    const double span = (last > first ? last - first : 1) * kHop / kRate;
    f.onsetRate = onsets / span;
    std::sort(active.begin(), active.end());
    auto pct = [&](double q) { return active[static_cast<size_t>(q * (active.size() - 1))]; };
    f.f10 = pct(0.1);
    f.f50 = pct(0.5);
    f.f90 = pct(0.9);
    return f;
}

}  // namespace soundpack_test
