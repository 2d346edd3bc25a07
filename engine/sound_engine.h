// The state every sound layer shares: the audio library, the eight channel slots, the sample
// path strings and the random generator, with the release and start sequences the layers use.
// A slot keeps its (stale) handle after a release; the audio library ignores stale handles.
// UI thread only.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "engine/audio_library.h"
#include "engine/random.h"
#include "form/controls.h"
#include "form/main_form.h"

namespace engine {

enum class SampleFolder { Loop, Once };  // samp_povt, samp_raz

// A layer slider's position as a level 0.0..1.0 (the fades compute in double) and as the
// volume handed to the audio library.
double sliderLevel(const form::TrackBar& slider);
float sliderVolume(const form::TrackBar& slider);

// The eight channel slots, by the names the program's documentation gives them: one stream each
// at most, the songbirds' two voices in two of them.
enum class Slot {
    brookChannel,
    distantBirdsChannel,
    songChannelA,
    songChannelB,
    insectsChannel,
    extraBirdsChannel,
    rainChannel,
    thunderChannel
};
constexpr int kSlotCount = 8;

class SoundEngine {
public:
    // programDir: the folder of the running executable, without a trailing separator.
    SoundEngine(AudioLibrary& audio, std::string programDir)
        : m_audio(audio), m_programDir(std::move(programDir)), m_sampleRoots{m_programDir} {}

    // Folders holding samp_povt/ and samp_raz/, searched in order for each recording: the first
    // that has the name wins, and the last one is used when none has it (the layer then stays
    // silent, as for any missing recording). The program folder alone by default.
    void setSampleRoots(std::vector<std::string> roots);

    AudioLibrary& audio() { return m_audio; }
    const std::string& programDir() const { return m_programDir; }
    Random& rng() { return m_rng; }

    // The slot's handle: 0 before its first stream, then the last one created (possibly stale).
    Handle channel(Slot slot) const { return m_channels[index(slot)]; }
    // The slot's path string: the last path built for it, empty before the first. Both songbird
    // voices share one (songPath), the other slots have one each (brookPath, ..., thunderPath).
    const std::string& path(Slot slot) const { return m_paths[pathIndex(slot)]; }

    void releaseChannel(Slot slot);
    // Sets the slot's path to the recording's file in the first sample root that has it.
    void buildPath(Slot slot, SampleFolder folder, const std::string& name);
    // Release, build the path, create the stream, set its start volume, play.
    void startSample(Slot slot, SampleFolder folder, const std::string& name, uint32_t flags,
                     float volume);
    // Creates the stream of the slot's already built path, at the volume, and plays it.
    void createAndPlay(Slot slot, uint32_t flags, float volume);
    void setVolume(Slot slot, float volume);
    bool isActive(Slot slot) { return isActive(channel(slot)); }
    bool isActive(Handle handle) { return m_audio.BASS_ChannelIsActive(handle) != 0; }

private:
    static size_t index(Slot slot) { return static_cast<size_t>(slot); }
    static size_t pathIndex(Slot slot) {
        return slot > Slot::songChannelA ? index(slot) - 1 : index(slot);
    }

    AudioLibrary& m_audio;
    std::string m_programDir;
    std::vector<std::string> m_sampleRoots;
    std::array<Handle, kSlotCount> m_channels{};
    std::array<std::string, kSlotCount - 1> m_paths;
    Random m_rng;
};

}  // namespace engine
