// Turning birds' notes into sound: the syllable renderer, the forest around a one-shot, the song
// and call files, and the distant dawn chorus.
#include <algorithm>
#include <cmath>
#include <iterator>

#include "birds.h"

namespace soundpack {

namespace {

Voice raspingVoice() {
    Voice r;
    r.tracheaCm = 9.0;  // a long corvid trachea
    r.reflection = 0.55;
    r.cavityQ = 1.2;
    r.throughBeak = 0.5;
    r.secondSide = 0.9;
    r.detune = 1.37;
    r.coupling = 0.6;
    r.breathQ = 0;  // a rasp's noise is broad
    return r;
}

}  // namespace

const Voice& crowVoice() {
    // The caw's energy sits in bands near 1.5, 2.3 and 3.3 kHz above a weak fundamental, with
    // little above 5 kHz.
    static const Voice v = [] {
        Voice r = raspingVoice();
        r.formants[0] = {1450, 2.5, 9};
        r.formants[1] = {2300, 4, 6};
        r.formants[2] = {3300, 4, 4};
        r.lowCutHz = 750;
        r.highCutHz = 4500;
        return r;
    }();
    return v;
}

const Voice& jayVoice() {
    // The screech: a broad, harsh band from about 1.5 to 6 kHz.
    static const Voice v = [] {
        Voice r = raspingVoice();
        r.formants[0] = {2200, 1.5, 6};
        r.formants[1] = {3800, 2, 5};
        r.lowCutHz = 1000;
        r.highCutHz = 7000;
        return r;
    }();
    return v;
}

Stereo placeInForest(const std::vector<float>& dry, double distance, double pan, double rt60,
                     uint64_t seed) {
    // The tail lasts until the reverberation has died away, so the file never stops dead.
    const double lead = 0.03, tail = std::min(1.5, rt60);
    Stereo out(frames(lead) + dry.size() + frames(tail));
    std::vector<float> x = dry;
    // Air absorbs the highs more the farther the bird: a shelf above 6 kHz and a gentle top.
    Biquad air = Biquad::highShelf(6000, -std::min(20.0, 0.08 * distance));
    air.run(x);
    // ... and the top octave more again (about 0.2 dB a metre above 11 kHz).
    Biquad air2 = Biquad::highShelf(11000, -std::min(10.0, 0.2 * distance));
    air2.run(x);
    Biquad top = Biquad::lowpass(std::max(9000.0, 18000.0 - 300.0 * distance), 0.6);
    top.run(x);
    const double direct = 10.0 / std::max(distance, 1.0);
    addMono(out, static_cast<long>(frames(lead)), x, direct, pan, false);
    Stereo send(out.size());
    addMono(send, static_cast<long>(frames(lead)), x, 1.0, pan * 0.5, false);
    // The forest's diffuse reverberation: the same from every distance, so the farther the
    // bird, the more of what reaches the listener is reverb.
    Reverb rev(rt60, 6000, 1.0, seed);
    const Stereo wet = rev.run(send);
    out.mix(wet, 0.16);
    return out;
}

Stereo renderSong(int species, Rng& rng) {
    Rng shape = rng.fork(1);
    const std::vector<Note> notes = songSpecies(speciesOfFile(species)).build(shape);
    const std::vector<float> dry = sing(notes, songbirdVoice(), shape);
    return placeInForest(dry, rng.range(8, 20), rng.range(-0.6, 0.6), 1.2, rng.next());
}

Stereo renderCall(int index, Rng& rng) {
    Rng shape = rng.fork(2);
    const CallKind& k = callKind(callOfFile(index));
    const std::vector<float> dry = k.build ? sing(k.build(shape), k.voice(), shape) : k.dry(shape);
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
            std::vector<float> song =
                sing(songSpecies(species[b]).build(bird), songbirdVoice(), bird);
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
        std::vector<float> c = sing(farCall(calls), songbirdVoice(), calls);
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
