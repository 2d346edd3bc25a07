// Measures the sound pack's tests apply to rendered or decoded audio: spectra, song features,
// rain texture figures and simple level statistics.
#pragma once

#include <string>
#include <vector>

#include "dsp.h"

namespace soundpack_test {

using soundpack::Stereo;

// Welch-averaged power spectrum (Hann window, half overlap) of a signal; fft/2+1 bins.
std::vector<double> powerSpectrum(const std::vector<float>& x, size_t fftSize);
double binHz(size_t bin, size_t fftSize);
// Fraction of the spectrum's power between lo and hi Hz.
double powerFraction(const std::vector<double>& power, size_t fftSize, double lo, double hi);
// Least-squares slope of the octave band levels (dB per octave) from lo to hi Hz.
double octaveSlope(const std::vector<double>& power, size_t fftSize, double lo, double hi);
// Geometric over arithmetic mean of the power between lo and hi Hz.
double flatness(const std::vector<double>& power, size_t fftSize, double lo, double hi);

double correlation(const std::vector<float>& a, const std::vector<float>& b);
double rmsDb(const Stereo& s);  // both channels together, dBFS
double dcOffset(const std::vector<float>& x);
double samplePeak(const Stereo& s, size_t from, size_t to);
std::vector<float> monoMix(const Stereo& s);

// What tells songs apart by ear, roughly: how long it sounds, how many notes a second, and
// where its pitch sits (dominant frequency percentiles). All in log2 units.
struct SongFeatures {
    double activeSec = 0, onsetRate = 0;
    double f10 = 0, f50 = 0, f90 = 0;   // Hz
    std::vector<double> log2s() const;  // the five features in log2
};
SongFeatures songFeatures(const Stereo& s);

// The forest's reverberation time (s) in a band, measured on the tail after the last sound:
// the level's fall from 5 dB below the end of the direct sound, fitted over 25 dB, as T60.
// Negative when the tail is too short or too quiet to measure.
double tailDecaySeconds(const Stereo& s, double loHz, double hiHz);

// Median harmonic-to-noise ratio (dB) of the loud frames: the normalised autocorrelation's
// highest peak at a pitch period between 1/8000 and 1/250 s. Whistles score high, rasps low.
double harmonicToNoiseDb(const Stereo& s);

// The strongest component above `hz` relative to the strongest overall, in dB.
double strongestAboveDb(const Stereo& s, double hz);

// Syllables found as runs of the level above 12 dB under the loudest, each with its length,
// peak level and power-weighted mean frequency.
struct Syllable {
    double start = 0, length = 0, levelDb = 0, hz = 0;
};
std::vector<Syllable> syllables(const Stereo& s);

// A click shows as a kink or a step: a second difference far above the signal's own around it.
// The largest ratio of a sample's second difference to their RMS over the `half` samples on
// either side (the sample itself left out).
double worstKink(const std::vector<float>& x, size_t half);

// How regularly the level pulses at a rate between loHz and hiHz, inside the sound's band
// (bandLo-bandHi Hz): the envelope of the band is cut into windows of a few periods, each
// window's autocorrelation (its mean removed) is taken at its best lag in the range, and the
// median over the loud windows is returned with the rate of that lag. A train of strikes or
// clicks at a steady rate scores near 1, noise near 0.
struct Pulsing {
    double regularity = 0, hz = 0;
};
Pulsing envelopePulsing(const Stereo& s, double bandLo, double bandHi, double loHz, double hiHz);

}  // namespace soundpack_test
