// Loudness and peak measures used to level every file of the pack: K-weighted loudness with the
// usual 400 ms blocks and two-stage gating, the loudest 400 ms window, and a 4x oversampled
// ("true") peak.
#pragma once

#include <vector>

namespace soundpack {

struct Stereo;

// Integrated loudness in LUFS of a stereo signal at 44.1 kHz; -inf-like (-200) when all blocks
// are gated out.
double integratedLoudness(const std::vector<float>& l, const std::vector<float>& r);
// Loudness of the loudest 400 ms window (stepped by 10 ms), in LUFS.
double maxMomentaryLoudness(const std::vector<float>& l, const std::vector<float>& r);
// Peak of the signal reconstructed at 4x the sample rate, as a linear value.
double truePeak(const std::vector<float>& x);

double integratedLoudness(const Stereo& s);
double maxMomentaryLoudness(const Stereo& s);
double truePeak(const Stereo& s);

}  // namespace soundpack
