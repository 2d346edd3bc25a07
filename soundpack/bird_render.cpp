// Turning birds' notes into sound: the syllable renderer, the forest around a one-shot, the song
// and call files, and the distant dawn chorus.
#include <algorithm>
#include <cmath>
#include <iterator>

#include "birds.h"

namespace soundpack {

std::vector<float> renderNotes(const std::vector<Note>& notes, Rng& rng, double tail) {
    double end = 0;
    for (const Note& n : notes) end = std::max(end, n.t + n.dur);
    std::vector<float> out(frames(end + tail), 0.0f);
    for (const Note& n : notes) {
        const long start = static_cast<long>(std::lround(std::max(0.0, n.t) * kRate));
        const size_t len = frames(n.dur);
        if (len < 4) continue;
        // Log-frequency curve: the parabola through start, middle and end.
        const double a = std::log2(n.f0), m = std::log2(n.fm), b = std::log2(n.f1);
        const double c1 = 4 * m - 3 * a - b, c2 = 2 * (a + b) - 4 * m;
        const double vibHz = rng.range(4, 9), vibPhase = rng.range(0, kTwoPi);
        const double loud = std::clamp(n.amp, 0.0, 1.0);
        const double h2 = n.h2 * (0.6 + 0.8 * loud), h3 = n.h3 * (0.5 + loud);
        OnePole breathLp(350.0);
        double phase = rng.range(0, kTwoPi);
        const double att = std::max(n.attack, 1e-3), rel = std::max(n.release, 1e-3);
        for (size_t i = 0; i < len; ++i) {
            const double u = static_cast<double>(i) / static_cast<double>(len);
            const double ts = static_cast<double>(i) / kRate;
            double f = std::exp2(a + c1 * u + c2 * u * u);
            f *= 1.0 + 0.01 * std::sin(kTwoPi * vibHz * ts + vibPhase);
            if (n.warble > 0) f *= 1.0 + n.warble * std::sin(kTwoPi * n.warbleHz * ts);
            phase += kTwoPi * f / kRate;
            if (phase > kTwoPi) phase -= kTwoPi;
            double env = 1.0;
            if (u < att) env = 0.5 - 0.5 * std::cos(kPi * u / att);
            if (u > 1.0 - rel) env *= 0.5 - 0.5 * std::cos(kPi * (1.0 - u) / rel);
            if (n.buzz > 0) env *= 1.0 - n.buzz * (0.5 + 0.5 * std::cos(kTwoPi * n.buzzHz * ts));
            double v = std::sin(phase);
            if (2 * f < 20000) v += h2 * std::sin(2 * phase);
            if (3 * f < 20000) v += h3 * std::sin(3 * phase);
            if (n.rich > 0) {
                for (int k = 4; k <= 12 && k * f < 19000; ++k)
                    v += n.rich / k * std::sin(k * phase);
            }
            // Breath: low-passed noise shifted up to the tone's pitch.
            v += n.noise * 6.0 * breathLp.lowpass(whiteNoise(rng)) * std::sin(phase * 1.003 + 1.0);
            out[start + i] = static_cast<float>(out[start + i] + env * n.amp * v);
        }
    }
    return out;
}

Stereo placeInForest(const std::vector<float>& dry, double distance, double pan, double rt60,
                     uint64_t seed) {
    const double lead = 0.03, tail = std::min(1.2, rt60 * 0.6);
    Stereo out(frames(lead) + dry.size() + frames(tail));
    std::vector<float> x = dry;
    Biquad air = Biquad::highShelf(6000, -std::min(20.0, 0.08 * distance));
    air.run(x);
    const double direct = 10.0 / std::max(distance, 1.0);
    addMono(out, static_cast<long>(frames(lead)), x, direct, pan, false);
    Stereo send(out.size());
    addMono(send, static_cast<long>(frames(lead)), x, 1.0, pan * 0.5, false);
    Reverb rev(rt60, 4500, 1.0, seed);
    const Stereo wet = rev.run(send);
    out.mix(wet, 0.12);
    return out;
}

Stereo renderSong(int species, Rng& rng) {
    Rng shape = rng.fork(1);
    const std::vector<Note> notes = songSpecies(speciesOfFile(species)).build(shape);
    const std::vector<float> dry = renderNotes(notes, shape);
    return placeInForest(dry, rng.range(8, 20), rng.range(-0.6, 0.6), 1.1, rng.next());
}

Stereo renderCall(int index, Rng& rng) {
    Rng shape = rng.fork(2);
    const CallKind& k = callKind(callOfFile(index));
    const std::vector<float> dry = k.build ? renderNotes(k.build(shape), shape) : k.dry(shape);
    const double distance =
        k.distanceHi > k.distanceLo ? rng.range(k.distanceLo, k.distanceHi) : k.distanceLo;
    return placeInForest(dry, distance, rng.range(-0.7, 0.7), k.rt60, rng.next());
}

Stereo renderChorus(int morning, size_t loopFrames, size_t extra, Rng& rng) {
    // The birds of a wood at dawn: each holds a territory (distance, direction) and repeats its
    // song at its own pace. Songs on the circular timeline wrap past the end to the start.
    using S = Species;
    static const Species kMorning1[] = {
        S::SongThrush, S::Blackbird,   S::Robin, S::Chaffinch, S::Chaffinch, S::GardenWarbler,
        S::Blackcap,   S::Nightingale, S::Robin, S::Blackbird, S::Goldfinch, S::Bluethroat};
    static const Species kMorning2[] = {
        S::Chaffinch, S::Chaffinch, S::Yellowhammer, S::Skylark,  S::ReedWarbler, S::Linnet,
        S::Siskin,    S::Goldfinch, S::Robin,        S::Blackcap, S::SongThrush,  S::GardenWarbler};
    static_assert(std::size(kMorning1) == 12 && std::size(kMorning2) == 12, "twelve birds");
    const Species* species = morning == 1 ? kMorning1 : kMorning2;
    Stereo direct(loopFrames), send(loopFrames);
    const double loopSec = static_cast<double>(loopFrames) / kRate;
    for (int b = 0; b < 12; ++b) {
        Rng bird = rng.fork(100 + b);
        const double distance = bird.logRange(25, 160);
        const double pan = bird.range(-0.9, 0.9);
        const double pause = bird.range(3.0, 9.0);
        Biquad airTemplate = Biquad::highShelf(5000, -std::min(22.0, 0.09 * distance));
        double t = bird.range(0, pause);
        while (t < loopSec) {
            std::vector<float> song = renderNotes(songSpecies(species[b]).build(bird), bird);
            Biquad air = airTemplate;
            air.run(song);
            const long at = static_cast<long>(frames(t));
            addMono(direct, at, song, 10.0 / distance, pan, true);
            addMono(send, at, song, 0.09, pan * 0.4, true);
            t += static_cast<double>(song.size()) / kRate + pause * bird.range(0.7, 1.3);
        }
    }
    // An occasional far call (cuckoo on the second morning, wood pigeon on the first).
    const NoteBuilder farCall = callKind(morning == 1 ? Call::WoodPigeon : Call::Cuckoo).build;
    Rng calls = rng.fork(300);
    for (double t = calls.range(5, 20); t < loopSec; t += calls.range(25, 45)) {
        std::vector<float> c = renderNotes(farCall(calls), calls);
        addMono(direct, static_cast<long>(frames(t)), c, 0.08, calls.range(-0.8, 0.8), true);
        addMono(send, static_cast<long>(frames(t)), c, 0.08, 0.0, true);
    }
    // A faint breath of leaves and air under the birds, different in each ear.
    Rng air = rng.fork(400);
    PeriodicCurve swell(air, loopFrames, std::max<int>(2, static_cast<int>(loopSec / 8)), 0.4, 1.0);
    for (size_t i = 0; i < loopFrames; ++i) {
        const double g = 0.004 * swell.at(i);
        direct.l[i] = static_cast<float>(direct.l[i] + g * whiteNoise(air));
        direct.r[i] = static_cast<float>(direct.r[i] + g * whiteNoise(air));
    }
    const size_t warm = std::max(loopFrames, frames(8.0));
    Stereo ext = extendPeriodic(direct, warm, extra);
    Stereo sendExt = extendPeriodic(send, warm, extra);
    Biquad lpL = Biquad::lowpass(7000, 0.6), lpR = lpL;
    Biquad hpL = Biquad::highpass(120), hpR = hpL;
    for (size_t i = 0; i < ext.size(); ++i) {
        ext.l[i] = static_cast<float>(hpL.process(lpL.process(ext.l[i])));
        ext.r[i] = static_cast<float>(hpR.process(lpR.process(ext.r[i])));
    }
    Reverb rev(1.9, 4000, 1.3, rng.next());
    ext.mix(rev.run(sendExt), 1.0);
    dropFront(ext, warm);
    return ext;
}

}  // namespace soundpack
