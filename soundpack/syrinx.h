// A bird's vocal organ as a sound source. Each side of the syrinx is a pair of labia that start
// to oscillate when the air-sac pressure pushes them past a threshold (a Hopf bifurcation) and
// whose pitch follows the tension of the syringeal muscles:
//     x' = y,   y' = -k(t) x + (p(t) - p0) y - c x^2 y - d
// Written in the oscillator's own time (tension sets how fast it runs), the pressure above the
// threshold relative to the tension becomes one number, mu: small mu gives a near-sine, a large
// one a relaxation oscillation rich in harmonics, so the timbre follows the gesture instead of
// being set by hand. The flow the labia let through goes up the trachea (a tube with a partly
// reflecting end) and through the oro-oesophageal cavity, a resonance the bird tunes to its
// pitch, out of the beak.
#pragma once

#include <vector>

#include "rng.h"

namespace soundpack {

// One syllable's gestures: pitch along a smooth curve in log-frequency through its start, middle
// and end, the air-sac pressure's rise and fall, and optional pulsing or trembling.
struct Note {
    double t = 0, dur = 0.1;                 // onset and length, seconds
    double f0 = 3000, fm = 3000, f1 = 3000;  // pitch at start, middle, end (Hz)
    double amp = 1.0;
    double h2 = 0.06, h3 = 0.02;           // how strongly 2nd and 3rd harmonics come through
    double rich = 0.0;                     // push towards the rich (relaxation) regime
    double noise = 0.03;                   // breathy part, relative
    double buzzHz = 0, buzz = 0;           // pressure pulsing rate and depth
    double warbleHz = 0, warble = 0;       // tension trembling rate and relative depth
    double attack = 0.15, release = 0.25;  // fractions of the length
};

// The bird's anatomy and how the two sides of its syrinx work together.
struct Voice {
    double tracheaCm = 3.0;     // length of the trachea
    double reflection = 0.25;   // how much of the wave the beak end sends back down the tube
    double cavityQ = 2.5;       // sharpness of the cavity resonance that tracks the pitch
    double throughBeak = 0.15;  // share of the source that passes the cavity unfiltered
    // The breath noise is shaped twice on its way, by the glottis-like narrowing above the
    // syrinx and by the cavity, so it keeps to a band around the pitch: the sharpness of the
    // first of these (0: the cavity alone).
    double breathQ = 2.0;
    // Rasping calls: both sides sound at once, detuned and coupled through the shared airway,
    // so the oscillation never settles (subharmonics and deterministic chaos).
    double secondSide = 0.0;  // level of the second side, 0 = one side only
    double detune = 1.0;      // its pitch relative to the first
    double coupling = 0.0;    // strength of the coupling between the sides
    // Fixed resonances of a large bird's throat and beak that do not follow the pitch (a crow's
    // caw has its energy in bands near 1.5, 2.3 and 3.3 kHz whatever note it calls on); a peak
    // of 0 dB is none.
    struct Formant {
        double hz = 1000, q = 3, db = 0;
    };
    Formant formants[3];
    double lowCutHz = 0;   // the throat passes little below this (0: no cut)
    double highCutHz = 0;  // nor much above this (0: no cut)
};

const Voice& songbirdVoice();

// Renders the notes into a dry mono signal at 44.1 kHz with `tail` seconds after the last note.
std::vector<float> sing(const std::vector<Note>& notes, const Voice& voice, Rng& rng,
                        double tail = 0.05);

}  // namespace soundpack
