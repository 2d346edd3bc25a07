// The state every sound layer shares: the audio library, the eight channel slots, the sample
// path strings and the random generator, with the release and start sequences the layers use.
// A slot keeps its (stale) handle after a release; the audio library ignores stale handles.
// UI thread only.
#pragma once

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

    void releaseChannel(Handle slot);
    // Rebuilds sampleDir for the folder and sets path to sampleDir + name.
    void buildPath(SampleFolder folder, const std::string& name, std::string& path);
    // Release, build the path, create the stream, set its start volume, play.
    void startSample(Handle& slot, SampleFolder folder, const std::string& name, uint32_t flags,
                     float volume, std::string& path);
    // Creates the stream of an already built path into the slot, at the volume, and plays it.
    void createAndPlay(Handle& slot, const std::string& path, uint32_t flags, float volume);
    void setVolume(Handle slot, float volume);
    bool isActive(Handle slot) { return m_audio.BASS_ChannelIsActive(slot) != 0; }

    Handle brookChannel = 0;
    Handle distantBirdsChannel = 0;
    Handle songChannelA = 0;
    Handle songChannelB = 0;
    Handle insectsChannel = 0;
    Handle extraBirdsChannel = 0;
    Handle rainChannel = 0;
    Handle thunderChannel = 0;

    std::string sampleDir;
    std::string brookPath;
    std::string distantBirdsPath;
    std::string songPath;
    std::string insectsPath;
    std::string extraBirdsPath;
    std::string rainPath;
    std::string thunderPath;

    Random rng;

private:
    AudioLibrary& m_audio;
    std::string m_programDir;
    std::vector<std::string> m_sampleRoots;
};

}  // namespace engine
