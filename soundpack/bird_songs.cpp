// The songs of the fourteen species: each builder lays out syllables with the rhythm and pitch
// pattern a listener recognises, and every rendition is jittered in timing, pitch and level so
// no two songs are identical.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>

#include "birds.h"

namespace soundpack {

Note tone(double t, double dur, double f0, double fm, double f1, double amp) {
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

Note jitter(Note n, Rng& rng) {
    const double p = 1.0 + 0.025 * rng.range(-1, 1);
    n.f0 *= p * (1.0 + 0.005 * rng.range(-1, 1));
    n.fm *= p * (1.0 + 0.005 * rng.range(-1, 1));
    n.f1 *= p * (1.0 + 0.005 * rng.range(-1, 1));
    n.amp *= dbToGain(1.5 * rng.range(-1, 1));
    n.dur *= 1.0 + 0.06 * rng.range(-1, 1);
    return n;
}

double put(std::vector<Note>& out, Rng& rng, Note n, double t, double step) {
    n.t = t + 0.05 * step * rng.range(-1, 1);
    out.push_back(jitter(n, rng));
    return t + step;
}

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

namespace {

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
            for (int r = 0; r < reps; ++r) t = put(s, rng, n, t, n.dur + 0.015);
        } else if (kind == 1) {  // warbled note
            Note n = randomSyllable(rng, 2500, 6000, 0.08, 0.14);
            n.warbleHz = rng.range(25, 45);
            n.warble = 0.04;
            t = put(s, rng, n, t, n.dur + rng.range(0.012, 0.025));
        } else {
            Note n = randomSyllable(rng, 2200, 7000, 0.04, 0.08);
            if (rng.chance(0.4)) n = buzzy(n, rng.range(100, 180), 0.5);
            t = put(s, rng, n, t, n.dur + rng.range(0.012, 0.022));
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
    const int notes = rng.integer(8, 11);
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
    // Two or three trill phrases, each lower and faster than the last (a two-phrase song leaves
    // out the middle one).
    const double pitch[3] = {5600, 4500, 3700}, step[3] = {0.105, 0.085, 0.07};
    const int count[3] = {rng.integer(6, 8), rng.integer(6, 7), rng.integer(5, 6)};
    const bool middle = rng.chance(0.7);
    for (int p = 0; p < 3; ++p) {
        if (p == 1 && !middle) continue;
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
            for (const Note& n : motif) t = put(s, rng, n, t, n.dur + rng.range(0.015, 0.06));
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
    // A deep rattle: clicks faster than the ear separates, each a steep downward sweep over an
    // octave and a half (a vertical stroke on a sonogram, within 1-4 kHz), not a burst of noise.
    const double rattleEnd = t + rng.range(0.7, 0.9);
    while (t < rattleEnd) {
        Note c = tone(0, 0.012, 3400, 1900, 1100, 0.9);
        c.rich = 0.1;
        c.noise = 0.03;
        c.attack = 0.3;
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

constexpr SongSpecies kSongs[] = {
    {Species::Bluethroat, "bluethroat", bluethroat},
    {Species::SongThrush, "song thrush", songThrush},
    {Species::Blackbird, "blackbird", blackbird},
    {Species::Skylark, "skylark", skylark},
    {Species::Robin, "robin", robin},
    {Species::Chaffinch, "chaffinch", chaffinch},
    {Species::ReedWarbler, "reed warbler", reedWarbler},
    {Species::Linnet, "linnet", linnet},
    {Species::Yellowhammer, "yellowhammer", yellowhammer},
    {Species::GardenWarbler, "garden warbler", gardenWarbler},
    {Species::Blackcap, "blackcap", blackcap},
    {Species::Nightingale, "nightingale", nightingale},
    {Species::Siskin, "siskin", siskin},
    {Species::Goldfinch, "goldfinch", goldfinch},
};
static_assert(std::size(kSongs) == kSongCount, "one table row per song file");

constexpr bool rowsInFileOrder() {
    for (size_t i = 0; i < std::size(kSongs); ++i)
        if (static_cast<size_t>(kSongs[i].id) != i + 1) return false;
    return true;
}
static_assert(rowsInFileOrder(), "row i describes song file i + 1");

}  // namespace

const SongSpecies& songSpecies(Species s) { return kSongs[static_cast<int>(s) - 1]; }

Species speciesOfFile(int index) {
    if (index < 1 || index > kSongCount) std::abort();
    return static_cast<Species>(index);
}

}  // namespace soundpack
