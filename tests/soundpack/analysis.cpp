#include "analysis.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace soundpack_test {

using soundpack::fft;
namespace {

constexpr double kRate = soundpack::kRate;
constexpr double kPi = soundpack::kPi;

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

namespace {

// Level in dB of consecutive frames of `hop` samples (RMS over `win` samples from each).
std::vector<double> levelsDb(const std::vector<float>& x, size_t win, size_t hop) {
    std::vector<double> out;
    for (size_t p = 0; p + win <= x.size(); p += hop) {
        double e = 0;
        for (size_t i = p; i < p + win; ++i) e += double(x[i]) * x[i];
        out.push_back(10 * std::log10(e / win + 1e-30));
    }
    return out;
}

std::vector<float> band(const std::vector<float>& x, double lo, double hi) {
    std::vector<float> y = x;
    const double centre = std::sqrt(lo * hi), q = centre / (hi - lo);
    for (int pass = 0; pass < 2; ++pass) {
        soundpack::Biquad b = soundpack::Biquad::bandpass(centre, q);
        b.run(y);
    }
    return y;
}

}  // namespace

double tailDecaySeconds(const Stereo& s, double loHz, double hiHz) {
    constexpr size_t kHop = 441;  // 10 ms
    const std::vector<float> x = monoMix(s);
    const std::vector<double> all = levelsDb(x, kHop, kHop);
    const std::vector<double> db = levelsDb(band(x, loHz, hiHz), kHop, kHop);
    if (db.size() < 40) return -1;
    // The direct sound ends with the last frame within 20 dB of the loudest; the file's own
    // fade-out in its last 0.3 s is no part of the forest.
    const double peak = *std::max_element(all.begin(), all.end());
    const size_t usable = db.size() - 30;
    size_t end = 0;
    for (size_t i = 0; i < usable; ++i)
        if (all[i] > peak - 20) end = i;
    const double from = db[end] - 5, to = db[end] - 30;
    std::vector<double> t, v;
    for (size_t i = end; i < usable && db[i] > to; ++i) {
        if (db[i] <= from) {
            t.push_back(i * kHop / kRate);
            v.push_back(db[i]);
        }
    }
    if (t.size() < 8) return -1;
    double mt = 0, mv = 0;
    for (size_t i = 0; i < t.size(); ++i) mt += t[i], mv += v[i];
    mt /= t.size(), mv /= t.size();
    double num = 0, den = 0;
    for (size_t i = 0; i < t.size(); ++i)
        num += (t[i] - mt) * (v[i] - mv), den += (t[i] - mt) * (t[i] - mt);
    const double slope = num / den;  // dB per second
    return slope < 0 ? -60.0 / slope : -1;
}

double harmonicToNoiseDb(const Stereo& s) {
    constexpr size_t kWin = 1764, kHop = 882;  // 40 ms frames, 20 ms apart
    const std::vector<float> x = monoMix(s);
    const std::vector<double> db = levelsDb(x, kWin, kHop);
    if (db.empty()) return 0;
    const double peak = *std::max_element(db.begin(), db.end());
    const size_t minLag = static_cast<size_t>(kRate / 8000),
                 maxLag = static_cast<size_t>(kRate / 250);
    std::vector<double> hnr;
    for (size_t f = 0; f < db.size(); ++f) {
        if (db[f] < peak - 10) continue;
        const size_t p = f * kHop;
        const size_t n = kWin - maxLag;
        auto r = [&](size_t lag) {
            double xy = 0, xx = 0, yy = 0;
            for (size_t i = p; i < p + n; ++i) {
                xy += double(x[i]) * x[i + lag];
                xx += double(x[i]) * x[i];
                yy += double(x[i + lag]) * x[i + lag];
            }
            return xy / std::sqrt(xx * yy + 1e-30);
        };
        // Past the first dip, so the main lobe around lag zero does not count as a period.
        size_t lag = minLag;
        while (lag < maxLag && r(lag) > 0) ++lag;
        double best = 0;
        for (; lag <= maxLag; ++lag) best = std::max(best, r(lag));
        best = std::clamp(best, 1e-6, 1 - 1e-6);
        hnr.push_back(10 * std::log10(best / (1 - best)));
    }
    if (hnr.empty()) return 0;
    std::nth_element(hnr.begin(), hnr.begin() + hnr.size() / 2, hnr.end());
    return hnr[hnr.size() / 2];
}

double strongestAboveDb(const Stereo& s, double hz) {
    constexpr size_t kFft = 4096;
    const std::vector<double> power = powerSpectrum(monoMix(s), kFft);
    double all = 1e-30, above = 1e-30;
    for (size_t k = 1; k < power.size(); ++k) {
        all = std::max(all, power[k]);
        if (binHz(k, kFft) > hz) above = std::max(above, power[k]);
    }
    return 10 * std::log10(above / all);
}

std::vector<Syllable> syllables(const Stereo& s) {
    constexpr size_t kWin = 88, kHop = 44;  // 2 ms windows, 1 ms apart
    const std::vector<float> x = monoMix(s);
    const std::vector<double> db = levelsDb(x, kWin, kHop);
    std::vector<Syllable> out;
    if (db.empty()) return out;
    const double peak = *std::max_element(db.begin(), db.end());
    for (size_t i = 0; i < db.size();) {
        if (db[i] <= peak - 12) {
            ++i;
            continue;
        }
        size_t j = i;
        double top = db[i];
        while (j < db.size() && db[j] > peak - 12) top = std::max(top, db[j++]);
        // The power-weighted mean frequency of the syllable, from one zero-padded transform.
        const size_t a = i * kHop, b = std::min(x.size(), j * kHop + kWin);
        size_t n = 1;
        while (n < 4 * (b - a)) n <<= 1;
        std::vector<std::complex<double>> buf(n);
        for (size_t k = a; k < b; ++k) buf[k - a] = x[k];
        fft(buf);
        double wsum = 0, fsum = 0;
        for (size_t k = 1; k < n / 2; ++k) {
            const double f = binHz(k, n), m = std::norm(buf[k]);
            if (f < 400) continue;
            wsum += m;
            fsum += m * f;
        }
        Syllable syl;
        syl.start = a / kRate;
        syl.length = (j - i) * kHop / kRate;
        syl.levelDb = top;
        syl.hz = fsum / std::max(wsum, 1e-30);
        out.push_back(syl);
        i = j;
    }
    return out;
}

double worstKink(const std::vector<float>& x, size_t half) {
    std::vector<double> c(x.size(), 0.0), sum(x.size() + 1, 0.0);
    for (size_t i = 2; i < x.size(); ++i) c[i] = double(x[i]) - 2.0 * x[i - 1] + x[i - 2];
    for (size_t i = 0; i < c.size(); ++i) sum[i + 1] = sum[i] + c[i] * c[i];
    double worst = 0;
    for (size_t i = half + 2; i + half < c.size(); ++i) {
        const double around = sum[i + half + 1] - sum[i - half] - c[i] * c[i];
        worst = std::max(worst, std::fabs(c[i]) / std::sqrt(around / (2 * half) + 1e-30));
    }
    return worst;
}

Pulsing envelopePulsing(const Stereo& s, double bandLo, double bandHi, double loHz, double hiHz) {
    std::vector<float> x = monoMix(s);
    soundpack::Biquad hp1 = soundpack::Biquad::highpass(bandLo), hp2 = hp1;
    soundpack::Biquad lp1 = soundpack::Biquad::lowpass(std::min(bandHi, 0.45 * kRate)), lp2 = lp1;
    // The envelope: the band's power, smoothed enough to drop the carrier, not the pulses.
    soundpack::Biquad e1 = soundpack::Biquad::lowpass(std::min(2.5 * hiHz, 0.2 * kRate)), e2 = e1;
    std::vector<double> env(x.size());
    for (size_t i = 0; i < x.size(); ++i) {
        const double v = lp2.process(lp1.process(hp2.process(hp1.process(x[i]))));
        env[i] = e2.process(e1.process(v * v));
    }
    const size_t minLag = static_cast<size_t>(kRate / hiHz),
                 maxLag = static_cast<size_t>(kRate / loHz);
    const size_t win = 4 * maxLag, hop = win / 2;
    if (env.size() < win + maxLag) return {};
    std::vector<double> energy;
    for (size_t p = 0; p + win + maxLag <= env.size(); p += hop) {
        double e = 0;
        for (size_t i = p; i < p + win; ++i) e += env[i];
        energy.push_back(e);
    }
    const double loudest = *std::max_element(energy.begin(), energy.end());
    std::vector<std::pair<double, double>> found;  // regularity, rate
    for (size_t w = 0; w < energy.size(); ++w) {
        if (energy[w] < 0.1 * loudest) continue;
        const size_t p = w * hop;
        double mean = 0;
        for (size_t i = p; i < p + win + maxLag; ++i) mean += env[i];
        mean /= static_cast<double>(win + maxLag);
        double best = -1;
        size_t bestLag = minLag;
        for (size_t lag = minLag; lag <= maxLag; ++lag) {
            double xy = 0, xx = 0, yy = 0;
            for (size_t i = p; i < p + win; ++i) {
                const double a = env[i] - mean, b = env[i + lag] - mean;
                xy += a * b;
                xx += a * a;
                yy += b * b;
            }
            const double r = xy / std::sqrt(xx * yy + 1e-300);
            if (r > best) best = r, bestLag = lag;
        }
        found.emplace_back(best, kRate / static_cast<double>(bestLag));
    }
    if (found.empty()) return {};
    std::sort(found.begin(), found.end());
    const auto& median = found[found.size() / 2];
    return {median.first, median.second};
}

}  // namespace soundpack_test
