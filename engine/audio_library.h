// The ten calls the engine makes into the audio library, with the contract the layers rely on:
// 32-bit stream handles with 0 meaning none; a call given 0 or a handle already freed does
// nothing and reports failure (the activity query reports 0); a stream created with
// kSampleLoop repeats without end, one created with 0 plays once and then reports inactive;
// the volume set before play is the start volume, later changes act at once.
// Called from the UI thread only; implementations mix in the background on their own.
#pragma once

#include <cstdint>
#include <string>

namespace engine {

using Handle = uint32_t;

constexpr uint32_t kSampleLoop = 4;               // stream flag: repeat the recording without end
constexpr uint32_t kAttribVolume = 2;             // attribute: volume, 0.0 silent .. 1.0 full
constexpr uint32_t kLibraryVersion = 0x02040000;  // high 16 bits 0x0204: version 2.4

class AudioLibrary {
public:
    virtual ~AudioLibrary() = default;
    virtual uint32_t BASS_GetVersion() = 0;
    // device -1 = default output. Non-zero when ready; 0 when no output can be opened.
    virtual int BASS_Init(int device, uint32_t freq, uint32_t flags, void* window) = 0;
    // The whole file at path; the format is recognised from the content. 0 on failure.
    virtual Handle BASS_StreamCreateFile(const std::string& path, uint32_t flags) = 0;
    virtual int BASS_ChannelSetAttribute(Handle h, uint32_t attrib, float value) = 0;
    virtual int BASS_ChannelPlay(Handle h, int restart) = 0;
    virtual int BASS_ChannelStop(Handle h) = 0;
    virtual int BASS_StreamFree(Handle h) = 0;
    // 0 = not sounding; any other value = sounding.
    virtual uint32_t BASS_ChannelIsActive(Handle h) = 0;
    virtual int BASS_Stop() = 0;
    virtual int BASS_Free() = 0;
};

}  // namespace engine
