#include "engine/sound_engine.h"

#include <sys/stat.h>

namespace engine {

double sliderLevel(const form::TrackBar& slider) {
    return slider.position() / static_cast<double>(form::kLayerSliderMax);
}

float sliderVolume(const form::TrackBar& slider) { return static_cast<float>(sliderLevel(slider)); }

void SoundEngine::releaseChannel(Handle slot) {
    m_audio.BASS_ChannelStop(slot);
    m_audio.BASS_StreamFree(slot);
}

void SoundEngine::setSampleRoots(std::vector<std::string> roots) {
    if (!roots.empty()) m_sampleRoots = std::move(roots);
}

void SoundEngine::buildPath(SampleFolder folder, const std::string& name, std::string& path) {
    const char* const sub = folder == SampleFolder::Loop ? "/samp_povt/" : "/samp_raz/";
    // With one folder there is nothing to choose and nothing to test.
    for (size_t i = 0; i < m_sampleRoots.size(); ++i) {
        sampleDir = m_sampleRoots[i] + sub;
        path = sampleDir + name;
        struct stat st {};
        if (i + 1 == m_sampleRoots.size() || stat(path.c_str(), &st) == 0) return;
    }
}

void SoundEngine::startSample(Handle& slot, SampleFolder folder, const std::string& name,
                              uint32_t flags, float volume, std::string& path) {
    releaseChannel(slot);
    buildPath(folder, name, path);
    createAndPlay(slot, path, flags, volume);
}

void SoundEngine::createAndPlay(Handle& slot, const std::string& path, uint32_t flags,
                                float volume) {
    slot = m_audio.BASS_StreamCreateFile(path, flags);
    m_audio.BASS_ChannelSetAttribute(slot, kAttribVolume, volume);
    m_audio.BASS_ChannelPlay(slot, 0);
}

void SoundEngine::setVolume(Handle slot, float volume) {
    m_audio.BASS_ChannelSetAttribute(slot, kAttribVolume, volume);
}

}  // namespace engine
