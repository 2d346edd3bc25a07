// Bird songs, calls and the distant dawn chorus. A song is a list of syllables (Note); each
// species builder lays them out with the rhythm and pitch pattern a listener recognises, and
// every rendition is jittered in timing, pitch and level so no two songs are identical.
#include <algorithm>
#include <cmath>

#include "synth.h"

namespace soundpack {
namespace {

constexpr double kH2 = 0.0708;      // -23 dB
constexpr double kH3 = 0.0224;      // -33 dB
constexpr double kBreath = 0.0316;  // -30 dB

Note tone(double t, double dur, double f0, double fm, double f1, double amp = 1.0) {
    Note n;
    n.t = t;
    n.dur = dur;
    n.f0 = f0;
    n.fm = fm;
    n.f1 = f1;
    n.amp = amp;
    n.h2 = kH2;
    n.h3 = kH3;
    n.noise = kBreath;
    return n;
}

// Every rendition differs a little: pitch +-2 %, level +-1 dB, length +-5 %.
Note jitter(Note n, Rng& rng) {
    const double p = 1.0 + 0.02 * rng.range(-1, 1);
    n.f0 *= p * (1.0 + 0.005 * rng.range(-1, 1));
    n.fm *= p * (1.0 + 0.005 * rng.range(-1, 1));
    n.f1 *= p * (1.0 + 0.005 * rng.range(-1, 1));
    n.amp *= dbToGain(rng.range(-1, 1));
    n.dur *= 1.0 + 0.05 * rng.range(-1, 1);
    return n;
}

// Appends a note at time t (with onset jitter of +-5 % of the step) and returns the next onset.
double put(std::vector<Note>& out, Rng& rng, Note n, double t, double step) {
    n.t = t + 0.05 * step * rng.range(-1, 1);
    out.push_back(jitter(n, rng));
    return t + step;
}

// A random syllable shape inside a pitch range, used for varied medleys and twitters.
Note randomSyllable(Rng& rng, double lo, double hi, double dmin, double dmax) {
    const double a = rng.logRange(lo, hi), b = rng.logRange(lo, hi);
    const double m = std::sqrt(a * b) * rng.range(0.85, 1.2);
    Note n = tone(0, rng.range(dmin, dmax), a, std::clamp(m, lo, hi), b);
    n.attack = rng.range(0.08, 0.25);
    n.release = rng.range(0.15, 0.4);
    return n;
}

Note buzzy(Note n, double hz, double depth) {
    n.buzzHz = hz;
    n.buzz = depth;
    n.noise = 0.06;
    return n;
}

std::vector<Note> bluethroat(Rng& rng) {
    std::vector<Note> s;
    double t = 0.02, step = 0.27;
    const int intro = rng.integer(5, 7);
    for (int i = 0; i < intro; ++i) {
        Note n = tone(0, 0.028, 2700, 3900, 4300, 0.6 + 0.06 * i);
        n.attack = 0.05;
        t = put(s, rng, n, t, step);
        step *= 0.8;
    }
    t += 0.08;
    std::vector<Note> bank;
    for (int i = 0; i < 6; ++i) {
        // Ringing high notes mixed with low, harsh borrowed ones.
        Note n = i % 2 ? randomSyllable(rng, 5500, 9000, 0.04, 0.1)
                       : randomSyllable(rng, 1400, 2400, 0.05, 0.11);
        if (i % 2 == 0) n.rich = 0.2;
        if (rng.chance(0.3)) n = buzzy(n, rng.range(90, 160), 0.6);
        if (rng.chance(0.3)) n.rich = 0.15;
        bank.push_back(n);
    }
    const double end = t + rng.range(2.0, 2.4);
    while (t < end) {
        const Note& n = bank[rng.integer(0, 5)];
        const int reps = rng.integer(1, 3);
        for (int r = 0; r < reps && t < end; ++r)
            t = put(s, rng, n, t, n.dur + rng.range(0.05, 0.09));
    }
    return s;
}

std::vector<Note> songThrush(Rng& rng) {
    std::vector<Note> s;
    double t = 0.02;
    const int phrases = rng.integer(5, 6);
    for (int p = 0; p < phrases; ++p) {
        std::vector<Note> motif;
        const int len = rng.integer(1, 3);
        for (int i = 0; i < len; ++i) {
            Note n = randomSyllable(rng, 2000, 6000, 0.05, 0.12);
            if (rng.chance(0.25)) n = buzzy(n, rng.range(120, 200), 0.5);
            n.rich = rng.chance(0.4) ? 0.1 : 0.0;
            motif.push_back(n);
        }
        const int reps = rng.integer(2, 4);
        for (int r = 0; r < reps; ++r) {
            for (const Note& n : motif) t = put(s, rng, n, t, n.dur + rng.range(0.02, 0.03));
            t += 0.06;
        }
        t += rng.range(0.3, 0.5);
    }
    return s;
}

std::vector<Note> blackbird(Rng& rng) {
    std::vector<Note> s;
    double t = 0.02;
    const int flutes = rng.integer(4, 6);
    for (int i = 0; i < flutes; ++i) {
        const double a = rng.logRange(1500, 2600);
        Note n =
            tone(0, rng.range(0.16, 0.32), a, a * rng.range(1.05, 1.25), a * rng.range(0.8, 1.0));
        n.h2 = 0.1;  // mellow but full
        n.attack = 0.2;
        n.release = 0.35;
        t = put(s, rng, n, t, n.dur + rng.range(0.05, 0.11));
        if (rng.chance(0.3)) {  // the second voice of the syrinx, briefly overlapping
            Note v = s.back();
            v.f0 *= 1.5;
            v.fm *= 1.45;
            v.f1 *= 1.55;
            v.amp *= 0.35;
            v.t += v.dur * 0.4;
            v.dur *= 0.5;
            s.push_back(v);
        }
    }
    t += 0.08;
    const int twitter = rng.integer(5, 8);
    for (int i = 0; i < twitter; ++i) {
        Note n = randomSyllable(rng, 5000, 8500, 0.025, 0.045);
        n.amp = 0.35;
        n.noise = 0.08;
        t = put(s, rng, n, t, n.dur + rng.range(0.015, 0.03));
    }
    return s;
}

std::vector<Note> skylark(Rng& rng) {
    std::vector<Note> s;
    double t = 0.02;
    const double end = rng.range(7.5, 8.3);
    while (t < end) {
        const int kind = rng.integer(0, 2);
        if (kind == 0) {  // short trill
            Note n = randomSyllable(rng, 2400, 7500, 0.03, 0.045);
            const int reps = rng.integer(3, 7);
            for (int r = 0; r < reps; ++r) t = put(s, rng, n, t, n.dur + 0.025);
        } else if (kind == 1) {  // warbled note
            Note n = randomSyllable(rng, 2500, 6000, 0.08, 0.14);
            n.warbleHz = rng.range(25, 45);
            n.warble = 0.04;
            t = put(s, rng, n, t, n.dur + rng.range(0.02, 0.04));
        } else {
            Note n = randomSyllable(rng, 2200, 7000, 0.04, 0.08);
            if (rng.chance(0.4)) n = buzzy(n, rng.range(100, 180), 0.5);
            t = put(s, rng, n, t, n.dur + rng.range(0.02, 0.035));
        }
    }
    return s;
}

std::vector<Note> robin(Rng& rng) {
    std::vector<Note> s;
    double t = 0.02;
    Note head = tone(0, 0.16, 6500, 6900, 6200, 0.7);
    head.h2 = 0.03;
    t = put(s, rng, head, t, 0.22);
    const int notes = rng.integer(11, 15);
    bool high = false;
    for (int i = 0; i < notes; ++i) {
        high = rng.chance(high ? 0.35 : 0.7);
        Note n = high ? randomSyllable(rng, 5000, 8200, 0.05, 0.13)
                      : randomSyllable(rng, 2600, 4200, 0.05, 0.12);
        n.h2 = 0.03;  // thin
        n.amp = rng.range(0.5, 1.0);
        t = put(s, rng, n, t, n.dur + rng.range(0.03, 0.08));
        if (i == notes / 2) {  // a quick inserted trill
            Note tr = randomSyllable(rng, 4000, 7000, 0.022, 0.028);
            for (int k = 0; k < 4; ++k) t = put(s, rng, tr, t, 0.045);
        }
    }
    return s;
}

std::vector<Note> chaffinch(Rng& rng) {
    std::vector<Note> s;
    double t = 0.02;
    // Three trill phrases, each lower and faster than the last.
    const double pitch[3] = {5600, 4500, 3700}, step[3] = {0.105, 0.085, 0.07};
    const int count[3] = {rng.integer(6, 8), rng.integer(6, 7), rng.integer(5, 6)};
    for (int p = 0; p < 3; ++p) {
        Note n = tone(0, step[p] * 0.6, pitch[p] * 1.08, pitch[p], pitch[p] * 0.85);
        for (int i = 0; i < count[p]; ++i) t = put(s, rng, n, t, step[p]);
        t += 0.04;
    }
    // The flourish: quick descending notes and the long terminal note.
    for (int i = 0; i < 3; ++i) {
        Note n = tone(0, 0.04, 6200 - i * 500, 5800 - i * 500, 5000 - i * 500);
        t = put(s, rng, n, t, 0.055);
    }
    Note end = tone(0, 0.16, 5600, 4200, 2600, 1.0);
    end.rich = 0.12;
    put(s, rng, end, t + 0.01, 0.2);
    return s;
}

std::vector<Note> reedWarbler(Rng& rng) {
    std::vector<Note> s;
    double t = 0.02;
    const double end = rng.range(6.3, 7.2);
    while (t < end) {
        std::vector<Note> motif;
        const int len = rng.integer(2, 3);
        for (int i = 0; i < len; ++i) {
            Note n = randomSyllable(rng, 2500, 6000, 0.03, 0.07);
            if (rng.chance(0.5)) n = buzzy(n, rng.range(150, 260), 0.6);
            n.rich = 0.1;
            motif.push_back(n);
        }
        const int reps = rng.integer(2, 4);
        for (int r = 0; r < reps; ++r)
            for (const Note& n : motif) t = put(s, rng, n, t, n.dur + rng.range(0.02, 0.09));
        if (rng.chance(0.3)) t += 0.15;
    }
    return s;
}

std::vector<Note> linnet(Rng& rng) {
    std::vector<Note> s;
    double t = 0.02;
    const double end = rng.range(3.8, 4.3);
    double nextBuzz = 0.5;
    while (t < end) {
        if (t > nextBuzz) {
            Note n = tone(0, rng.range(0.1, 0.14), 2500, 2700, 2400, 0.8);
            n = buzzy(n, rng.range(90, 120), 0.8);
            n.h2 = 0.25;  // nasal: strong upper partials
            n.h3 = 0.12;
            n.rich = 0.2;
            t = put(s, rng, n, t, n.dur + 0.04);
            nextBuzz = t + rng.range(0.6, 0.8);
        } else {
            Note n = randomSyllable(rng, 2600, 5500, 0.03, 0.06);
            t = put(s, rng, n, t, n.dur + rng.range(0.025, 0.045));
        }
    }
    return s;
}

std::vector<Note> yellowhammer(Rng& rng) {
    std::vector<Note> s;
    double t = 0.02;
    const int n = rng.integer(7, 13);
    const double step = rng.range(0.14, 0.16);
    Note z = tone(0, 0.085, 6500, 6100, 5700, 0.8);
    z.warbleHz = 140;
    z.warble = 0.04;
    z.noise = 0.1;
    z.rich = 0.1;
    for (int i = 0; i < n; ++i) t = put(s, rng, z, t, step);
    Note e1 = tone(0, 0.32, 6600, 6500, 6300, 0.9);
    e1.warbleHz = 90;
    e1.warble = 0.01;
    t = put(s, rng, e1, t + 0.03, 0.38);
    if (rng.chance(0.8)) {
        Note e2 = tone(0, 0.45, 5000, 4800, 4500, 0.85);
        e2.noise = 0.06;
        put(s, rng, e2, t, 0.5);
    }
    return s;
}

std::vector<Note> gardenWarbler(Rng& rng) {
    std::vector<Note> s;
    double t = 0.02;
    const double end = rng.range(6.5, 7.3);
    while (t < end) {
        Note n = randomSyllable(rng, 1500, 3800, 0.05, 0.09);
        n.h2 = 0.09;
        n.warbleHz = rng.range(30, 60);
        n.warble = rng.chance(0.4) ? 0.03 : 0.0;
        n.amp = rng.range(0.75, 1.0);  // even
        t = put(s, rng, n, t, n.dur + rng.range(0.012, 0.025));
    }
    return s;
}

std::vector<Note> blackcap(Rng& rng) {
    std::vector<Note> s;
    double t = 0.02;
    const double chatterEnd = rng.range(1.2, 1.4);
    while (t < chatterEnd) {
        Note n = randomSyllable(rng, 3000, 6000, 0.025, 0.045);
        n.amp = 0.35;
        n.noise = 0.06;
        t = put(s, rng, n, t, n.dur + rng.range(0.025, 0.045));
    }
    const int flutes = rng.integer(8, 10);
    for (int i = 0; i < flutes; ++i) {
        const double a = rng.logRange(2000, 3500);
        Note n =
            tone(0, rng.range(0.1, 0.17), a, a * rng.range(0.95, 1.2), a * rng.range(0.85, 1.1));
        n.h2 = 0.05;
        t = put(s, rng, n, t, n.dur + rng.range(0.03, 0.05));
    }
    return s;
}

std::vector<Note> nightingale(Rng& rng) {
    std::vector<Note> s;
    double t = 0.02;
    const int pius = rng.integer(5, 7);
    for (int i = 0; i < pius; ++i) {  // pure whistles swelling by 20 dB
        Note n = tone(0, 0.14, 2300, 2650, 2150, dbToGain(-20.0 + 20.0 * i / (pius - 1)));
        n.h2 = 0.02;
        n.h3 = 0.005;
        n.noise = 0.01;
        t = put(s, rng, n, t, 0.26);
    }
    t += 0.15;
    // A deep rattle: clicks faster than the ear separates.
    const double rattleEnd = t + rng.range(0.7, 0.9);
    while (t < rattleEnd) {
        Note c = tone(0, 0.012, 1500, 1200, 1000, 0.9);
        c.rich = 0.6;
        c.noise = 0.4;
        c.attack = 0.05;
        c.release = 0.5;
        t = put(s, rng, c, t, 0.028);
    }
    t += 0.12;
    for (int i = 0; i < 4; ++i) {  // "jug jug"
        Note j = tone(0, 0.07, 1400, 1700, 1300, 0.8);
        j.rich = 0.3;
        j.h2 = 0.2;
        t = put(s, rng, j, t, 0.15);
    }
    return s;
}

std::vector<Note> siskin(Rng& rng) {
    std::vector<Note> s;
    double t = 0.02;
    const double end = rng.range(3.2, 3.6);
    while (t < end) {
        Note n = randomSyllable(rng, 4500, 8000, 0.025, 0.04);
        t = put(s, rng, n, t, n.dur + rng.range(0.02, 0.035));
    }
    Note dzee = tone(0, 0.55, 6300, 5600, 4400, 0.9);
    dzee = buzzy(dzee, 55, 0.35);
    dzee.noise = 0.15;
    dzee.h2 = 0.2;
    dzee.attack = 0.3;
    put(s, rng, dzee, t + 0.06, 0.6);
    return s;
}

std::vector<Note> goldfinch(Rng& rng) {
    std::vector<Note> s;
    double t = 0.02;
    const double end = rng.range(4.6, 5.0);
    double nextCall = 0.4;
    while (t < end) {
        if (t > nextCall) {  // "tickelitt"
            Note n = tone(0, 0.025, 5200, 6300, 5600, 0.9);
            for (int k = 0; k < 3; ++k) t = put(s, rng, n, t, 0.045);
            t += 0.03;
            nextCall = t + rng.range(0.6, 0.9);
        } else {
            Note n = randomSyllable(rng, 3500, 7000, 0.035, 0.07);
            n.h2 = 0.04;
            t = put(s, rng, n, t, n.dur + rng.range(0.02, 0.05));
        }
    }
    return s;
}

// --- single calls ---

std::vector<Note> cuckoo(Rng& rng) {
    std::vector<Note> s;
    double t = 0.02;
    for (int i = 0; i < 3; ++i) {
        Note a = tone(0, 0.17, 740, 750, 715, 1.0), b = tone(0, 0.26, 600, 590, 565, 0.85);
        for (Note* n : {&a, &b}) {
            n->h2 = 0.1;
            n->noise = 0.01;
            n->attack = 0.2;
        }
        put(s, rng, a, t, 0);
        put(s, rng, b, t + 0.3, 0);
        t += 0.85;
    }
    return s;
}

std::vector<Note> greatTit(Rng& rng) {
    std::vector<Note> s;
    double t = 0.02;
    for (int i = 0; i < 4; ++i) {
        put(s, rng, tone(0, 0.07, 6700, 6400, 6000, 0.9), t, 0);
        put(s, rng, tone(0, 0.09, 4200, 3900, 3600, 1.0), t + 0.12, 0);
        t += 0.3;
    }
    return s;
}

std::vector<Note> tawnyOwl(Rng& rng) {
    std::vector<Note> s;
    Note hoo = tone(0.02, 0.6, 640, 690, 620, 1.0);
    hoo.h2 = 0.12;
    hoo.attack = 0.3;
    s.push_back(jitter(hoo, rng));
    Note hu = tone(1.45, 0.12, 620, 660, 620, 0.6);
    hu.h2 = 0.12;
    s.push_back(jitter(hu, rng));
    Note tremolo = tone(1.85, 1.2, 660, 690, 600, 0.9);
    tremolo.h2 = 0.12;
    tremolo.buzzHz = 11;
    tremolo.buzz = 0.55;
    s.push_back(jitter(tremolo, rng));
    return s;
}

std::vector<Note> woodPigeon(Rng& rng) {
    std::vector<Note> s;
    const double lens[5] = {0.25, 0.45, 0.25, 0.3, 0.3};
    const double gaps[5] = {0.12, 0.15, 0.35, 0.12, 0.0};
    double t = 0.02;
    for (int i = 0; i < 5; ++i) {
        Note n = tone(0, lens[i], 380, i == 1 ? 460 : 420, 360, i == 1 ? 1.0 : 0.75);
        n.h2 = 0.18;
        n.h3 = 0.05;
        n.noise = 0.05;
        n.attack = 0.3;
        n.release = 0.4;
        t = put(s, rng, n, t, lens[i] + gaps[i]);
    }
    return s;
}

std::vector<Note> harsh(Rng& rng, int count, double f, double dur, double interval, double noise) {
    std::vector<Note> s;
    double t = 0.02;
    for (int i = 0; i < count; ++i) {
        Note n = tone(0, dur, f * 0.95, f * 1.05, f * 0.85, 1.0);
        n.h2 = 0.7;
        n.h3 = 0.5;
        n.rich = 1.0;
        n.noise = noise;
        n.buzzHz = 70;
        n.buzz = 0.3;
        n.attack = 0.08;
        t = put(s, rng, n, t, interval);
    }
    return s;
}

std::vector<Note> chiffchaffCall(Rng& rng) {
    std::vector<Note> s;
    put(s, rng, tone(0, 0.13, 2900, 3400, 4300, 1.0), 0.02, 0);
    put(s, rng, tone(0, 0.13, 2900, 3400, 4200, 0.9), 0.95, 0);
    return s;
}

std::vector<Note> greenWoodpecker(Rng& rng) {
    std::vector<Note> s;
    double t = 0.02, step = 0.095;
    for (int i = 0; i < 14; ++i) {
        Note n = tone(0, 0.07, 1900 - 20 * i, 2000 - 20 * i, 1750 - 20 * i, 1.0 - 0.03 * i);
        n.h2 = 0.25;
        n.rich = 0.2;
        t = put(s, rng, n, t, step);
        step *= 1.012;
    }
    return s;
}

std::vector<Note> buzzard(Rng& rng) {
    std::vector<Note> s;
    Note n = tone(0.02, 1.0, 2600, 2800, 1600, 1.0);
    n.noise = 0.15;
    n.h2 = 0.25;
    n.attack = 0.1;
    n.release = 0.5;
    s.push_back(jitter(n, rng));
    n.t = 1.7;
    n.amp = 0.8;
    s.push_back(jitter(n, rng));
    return s;
}

}  // namespace

std::vector<Note> buildSong(int species, Rng& rng) {
    switch (species) {
        case 1:
            return bluethroat(rng);
        case 2:
            return songThrush(rng);
        case 3:
            return blackbird(rng);
        case 4:
            return skylark(rng);
        case 5:
            return robin(rng);
        case 6:
            return chaffinch(rng);
        case 7:
            return reedWarbler(rng);
        case 8:
            return linnet(rng);
        case 9:
            return yellowhammer(rng);
        case 10:
            return gardenWarbler(rng);
        case 11:
            return blackcap(rng);
        case 12:
            return nightingale(rng);
        case 13:
            return siskin(rng);
        default:
            return goldfinch(rng);
    }
}

std::vector<Note> buildCall(int index, Rng& rng) {
    switch (index) {
        case 1:
            return cuckoo(rng);
        case 2:
            return greatTit(rng);
        case 3:
            return tawnyOwl(rng);
        case 5:
            return woodPigeon(rng);
        case 6:
            return harsh(rng, 3, 560, 0.32, 0.6, 0.25);  // carrion crow
        case 7:
            return harsh(rng, 2, 1300, 0.45, 0.75, 0.9);  // jay's screech
        case 8:
            return chiffchaffCall(rng);
        case 9:
            return greenWoodpecker(rng);
        default:
            return buzzard(rng);
    }
}

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
    const std::vector<Note> notes = buildSong(species, shape);
    const std::vector<float> dry = renderNotes(notes, shape);
    return placeInForest(dry, rng.range(8, 20), rng.range(-0.6, 0.6), 1.1, rng.next());
}

Stereo renderCall(int index, Rng& rng) {
    Rng shape = rng.fork(2);
    std::vector<float> dry;
    if (index == 4) {  // woodpecker drumming: resonant knocks on dead wood, slowing and fading
        const int hits = shape.integer(14, 19);
        dry.assign(frames(1.1), 0.0f);
        double t = 0.02, step = 0.052;
        const double modes[3] = {shape.range(900, 1200), shape.range(1900, 2500),
                                 shape.range(450, 650)};
        for (int h = 0; h < hits; ++h) {
            const double amp = 1.0 - 0.4 * h / hits;
            const size_t s0 = frames(t);
            for (size_t i = 0; i < frames(0.03) && s0 + i < dry.size(); ++i) {
                const double ts = i / kRate;
                double v = 0;
                for (int k = 0; k < 3; ++k) {
                    v += std::exp(-ts / (0.006 + 0.003 * k)) * std::sin(kTwoPi * modes[k] * ts) /
                         (1 + k);
                }
                v += std::exp(-ts / 0.0008) * whiteNoise(shape) * 0.6;
                dry[s0 + i] = static_cast<float>(dry[s0 + i] + amp * v);
            }
            t += step;
            step *= 1.02;
        }
    } else {
        dry = renderNotes(buildCall(index, shape), shape);
    }
    const double distance = index == 3 ? 40 : rng.range(15, 35);  // the owl: far, at night
    return placeInForest(dry, distance, rng.range(-0.7, 0.7), index == 3 ? 2.0 : 1.3, rng.next());
}

Stereo renderChorus(int morning, size_t loopFrames, size_t extra, Rng& rng) {
    // The birds of a wood at dawn: each holds a territory (distance, direction) and repeats its
    // song at its own pace. Songs on the circular timeline wrap past the end to the start.
    static const int kMorning1[] = {2, 3, 5, 6, 6, 10, 11, 12, 5, 3, 14, 1};
    static const int kMorning2[] = {6, 6, 9, 4, 7, 8, 13, 14, 5, 11, 2, 10};
    const int* species = morning == 1 ? kMorning1 : kMorning2;
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
            std::vector<float> song = renderNotes(buildSong(species[b], bird), bird);
            Biquad air = airTemplate;
            air.run(song);
            const long at = static_cast<long>(frames(t));
            addMono(direct, at, song, 10.0 / distance, pan, true);
            addMono(send, at, song, 0.09, pan * 0.4, true);
            t += static_cast<double>(song.size()) / kRate + pause * bird.range(0.7, 1.3);
        }
    }
    // An occasional far call (cuckoo on the second morning, wood pigeon on the first).
    Rng calls = rng.fork(300);
    for (double t = calls.range(5, 20); t < loopSec; t += calls.range(25, 45)) {
        std::vector<float> c = renderNotes(buildCall(morning == 1 ? 5 : 1, calls), calls);
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
