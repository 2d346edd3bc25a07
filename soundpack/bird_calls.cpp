// The single calls of other birds, each described by one table row: how it is made and how far
// away it is heard.
#include <cmath>
#include <cstdlib>
#include <iterator>

#include "birds.h"

namespace soundpack {
namespace {

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

// Drumming: resonant knocks on dead wood, slowing and fading.
std::vector<float> woodpeckerDrum(Rng& shape) {
    std::vector<float> dry;
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
    return dry;
}

std::vector<Note> carrionCrow(Rng& rng) { return harsh(rng, 3, 560, 0.32, 0.6, 0.25); }
std::vector<Note> jayScreech(Rng& rng) { return harsh(rng, 2, 1300, 0.45, 0.75, 0.9); }

// The owl calls at night from far away, in a longer reverberation.
constexpr CallKind kCalls[] = {
    {Call::Cuckoo, "cuckoo", cuckoo, nullptr, 15, 35, 1.3},
    {Call::GreatTit, "great tit", greatTit, nullptr, 15, 35, 1.3},
    {Call::TawnyOwl, "tawny owl", tawnyOwl, nullptr, 40, 40, 1.2},
    {Call::WoodpeckerDrum, "woodpecker drumming", nullptr, woodpeckerDrum, 15, 35, 1.3},
    {Call::WoodPigeon, "wood pigeon", woodPigeon, nullptr, 15, 35, 1.3},
    {Call::CarrionCrow, "carrion crow", carrionCrow, nullptr, 15, 35, 1.3, crowVoice},
    {Call::Jay, "jay", jayScreech, nullptr, 15, 35, 1.3, jayVoice},
    {Call::Chiffchaff, "chiffchaff", chiffchaffCall, nullptr, 15, 35, 1.3},
    {Call::GreenWoodpecker, "green woodpecker", greenWoodpecker, nullptr, 15, 35, 1.3},
    {Call::Buzzard, "buzzard", buzzard, nullptr, 15, 35, 1.3},
};
static_assert(std::size(kCalls) == kCallCount, "one table row per call file");

constexpr bool rowsInFileOrder() {
    for (size_t i = 0; i < std::size(kCalls); ++i) {
        if (static_cast<size_t>(kCalls[i].id) != i + 1) return false;
        if ((kCalls[i].build == nullptr) == (kCalls[i].dry == nullptr)) return false;
    }
    return true;
}
static_assert(rowsInFileOrder(), "row i describes call file i + 1, made one way");

}  // namespace

const CallKind& callKind(Call c) { return kCalls[static_cast<int>(c) - 1]; }

Call callOfFile(int index) {
    if (index < 1 || index > kCallCount) std::abort();
    return static_cast<Call>(index);
}

}  // namespace soundpack
