// The birds' shared parts: the species and calls by name, the tables that describe each one, and
// the syllable helpers the song and call builders lay their notes out with.
#pragma once

#include <vector>

#include "synth.h"
#include "syrinx.h"

namespace soundpack {

// Song files pticp1..14 in this order.
enum class Species {
    Bluethroat = 1,
    SongThrush,
    Blackbird,
    Skylark,
    Robin,
    Chaffinch,
    ReedWarbler,
    Linnet,
    Yellowhammer,
    GardenWarbler,
    Blackcap,
    Nightingale,
    Siskin,
    Goldfinch,
};

// Call files pticd1..10 in this order.
enum class Call {
    Cuckoo = 1,
    GreatTit,
    TawnyOwl,
    WoodpeckerDrum,
    WoodPigeon,
    CarrionCrow,
    Jay,
    Chiffchaff,
    GreenWoodpecker,
    Buzzard,
};

using NoteBuilder = std::vector<Note> (*)(Rng&);

struct SongSpecies {
    Species id;
    const char* name;
    NoteBuilder build;
};

// How a call is made and heard: sung notes, or a dry signal of its own (drumming); heard from a
// distance drawn in [distanceLo, distanceHi] (one fixed distance when they are equal).
struct CallKind {
    Call id;
    const char* name;
    NoteBuilder build;                // null for a call with its own dry signal
    std::vector<float> (*dry)(Rng&);  // used when build is null
    double distanceLo, distanceHi, rt60;
    const Voice& (*voice)() = songbirdVoice;  // the bird's vocal organ
};

const SongSpecies& songSpecies(Species s);
const CallKind& callKind(Call c);
// Checked lookups for the file numbers of the catalogue; an unknown number is a programming
// error and stops the generator rather than rendering some other bird.
Species speciesOfFile(int index);
Call callOfFile(int index);

// --- syllable helpers shared by the song and call builders ---

constexpr double kH2 = 0.0708;      // -23 dB
constexpr double kH3 = 0.0224;      // -33 dB
constexpr double kBreath = 0.0316;  // -30 dB

Note tone(double t, double dur, double f0, double fm, double f1, double amp = 1.0);
// Every syllable differs a little from the last, as a bird's do: pitch +-2.5 %, level
// +-1.5 dB, length +-6 %.
Note jitter(Note n, Rng& rng);
// Appends a note at time t (with onset jitter of +-5 % of the step) and returns the next onset.
double put(std::vector<Note>& out, Rng& rng, Note n, double t, double step);
// A random syllable shape inside a pitch range, used for varied medleys and twitters.
Note randomSyllable(Rng& rng, double lo, double hi, double dmin, double dmax);
Note buzzy(Note n, double hz, double depth);

// The rasping voices of the corvids: both sides of the syrinx at once, coupled and detuned,
// through a long trachea and a large throat and beak with resonances of their own.
const Voice& crowVoice();
const Voice& jayVoice();

}  // namespace soundpack
