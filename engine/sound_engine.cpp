#include "engine/sound_engine.h"

#include <sys/stat.h>

namespace engine {

double sliderLevel(const form::TrackBar& slider) {
    return slider.position() / static_cast<double>(form::kLayerSliderMax);
}

float sliderVolume(const form::TrackBar& slider) { return static_cast<float>(sliderLevel(slider)); }

void SoundEngine::releaseChannel(Slot slot) {
    m_audio.BASS_ChannelStop(channel(slot));
    m_audio.BASS_StreamFree(channel(slot));
}

void SoundEngine::setSampleRoots(std::vector<std::string> roots) {
    if (!roots.empty()) m_sampleRoots = std::move(roots);
}

void SoundEngine::buildPath(Slot slot, SampleFolder folder, const std::string& name) {
    const char* const sub = folder == SampleFolder::Loop ? "/samp_povt/" : "/samp_raz/";
    std::string& path = m_paths[pathIndex(slot)];
    // With one folder there is nothing to choose and nothing to test.
    for (size_t i = 0; i < m_sampleRoots.size(); ++i) {
        const std::string sampleDir = m_sampleRoots[i] + sub;
        path = sampleDir + name;
        struct stat st {};
        if (i + 1 == m_sampleRoots.size() || stat(path.c_str(), &st) == 0) return;
    }
}

void SoundEngine::startSample(Slot slot, SampleFolder folder, const std::string& name,
                              uint32_t flags, float volume) {
    releaseChannel(slot);
    buildPath(slot, folder, name);
    createAndPlay(slot, flags, volume);
}

void SoundEngine::createAndPlay(Slot slot, uint32_t flags, float volume) {
    Handle& handle = m_channels[index(slot)];
    handle = m_audio.BASS_StreamCreateFile(path(slot), flags);
    m_audio.BASS_ChannelSetAttribute(handle, kAttribVolume, volume);
    m_audio.BASS_ChannelPlay(handle, 0);
}

void SoundEngine::setVolume(Slot slot, float volume) {
    m_audio.BASS_ChannelSetAttribute(channel(slot), kAttribVolume, volume);
}

}  // namespace engine
