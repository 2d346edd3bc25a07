#include "grains.h"

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
        if (pl >= 0 && pl < n) dst.l[pl] = static_cast<float>(dst.l[pl] + gl * v);
        if (pr >= 0 && pr < n) dst.r[pr] = static_cast<float>(dst.r[pr] + gr * v);
        env *= decay;
    }
}

}  // namespace soundpack
