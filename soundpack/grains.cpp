#include "grains.h"

#include <algorithm>
#include <cmath>

namespace soundpack {

void addGrain(Stereo& dst, const Grain& g, bool wrap) {
    const long n = static_cast<long>(dst.size());
    const long len = static_cast<long>(g.tau * 7.0 * kRate) + 2;
    double gl, gr;
    panGains(g.pan, gl, gr);
    const long s0 = static_cast<long>(g.start);
    const double decay = std::exp(-1.0 / (g.tau * kRate));
    // Pitch rises linearly in time over the audible life (about 5 time constants).
    const double w0 = kTwoPi * g.freq / kRate, dw = w0 * g.rise / (5.0 * g.tau * kRate);
    double env = g.amp, phase = 0, w = w0;
    const long dl = g.delay < 0 ? -g.delay : 0, dr = g.delay > 0 ? g.delay : 0;
    // A steady pitch runs as a rotating phasor (no sine per sample); a rising one integrates.
    const bool steady = g.rise == 0.0;
    const double cw = std::cos(w0), sw = std::sin(w0);
    double re = 1.0, im = 0.0;
    // A sine switched on at full level starts with a kink that sounds as a faint click: the
    // grain instead fades in over about a period (less for very short grains).
    const long fadeIn = std::max<long>(2, std::lround(std::min(1.0 / g.freq, g.tau) * kRate));
    for (long i = 0; i < len; ++i) {
        double v;
        if (steady) {
            v = env * im;
            const double nr = re * cw - im * sw;
            im = re * sw + im * cw;
            re = nr;
        } else {
            v = env * std::sin(phase);
            phase += w;
            if (i < 5.0 * g.tau * kRate) w += dw;
        }
        long pl = s0 + i + dl, pr = s0 + i + dr;
        if (wrap) {
            pl %= n;
            pr %= n;
        }
        if (i < fadeIn) v *= 0.5 - 0.5 * std::cos(kPi * static_cast<double>(i) / fadeIn);
        if (pl >= 0 && pl < n) dst.l[pl] = static_cast<float>(dst.l[pl] + gl * v);
        if (pr >= 0 && pr < n) dst.r[pr] = static_cast<float>(dst.r[pr] + gr * v);
        env *= decay;
    }
}

}  // namespace soundpack
