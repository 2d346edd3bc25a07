// The pack's catalogue (every file by folder and name) and the rendering of one file, levelled
// and edged, ready for encoding.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dsp.h"

namespace soundpack {

enum class Kind {
    Loop,     // samp_povt: repeats seamlessly
    OneShot,  // samp_raz: a short event, levelled by its loudest 400 ms
    Long,     // samp_raz: twelve minutes of weather, levelled like the loops
};

struct Entry {
    std::string folder, name;
    std::string sound;  // brook, chorus, rain, thunder, song, call, insect
    Kind kind;
    int index;            // species, call or insect number; variant for the others
    double fullSeconds;   // loops and long files; 0 for one-shots (their own length)
    double shortSeconds;  // the same in short mode
    uint64_t seed;
};

const std::vector<Entry>& catalogue();
// What a file holds, in a few words (the species, the call, the insect or the weather).
std::string describe(const Entry& e);
const Entry* findEntry(const std::string& name);

constexpr double kLoopLufs = -23.0;
constexpr double kOneShotLufs = -17.0;
constexpr double kPeakCeiling = 0.63;  // sample peak after levelling (-4 dBFS)

// Renders one file. Loops come back with `extra` frames of continuation past the loop's end
// (levelled with the loop's own gain); the first `loopFrames` frames are the file.
struct Rendered {
    Stereo audio;
    size_t fileFrames = 0;
};
Rendered render(const Entry& entry, bool shortMode, size_t extra = 0);

// FNV-1a 64 over the interleaved 16-bit quantised samples.
uint64_t pcmHash(const Stereo& audio, size_t frameCount);

// Writes OGG Vorbis at the given quality; false with a message on failure.
bool writeOgg(const std::string& path, const Stereo& audio, size_t frameCount, double quality,
              std::string* error);
// Decodes any file libsndfile reads, to the end (stereo; mono is duplicated).
bool decodeFile(const std::string& path, Stereo* audio, std::string* error);

}  // namespace soundpack
