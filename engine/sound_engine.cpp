#include "engine/sound_engine.h"

namespace engine {

double sliderLevel(const form::TrackBar& slider) {
    return slider.position() / static_cast<double>(form::kLayerSliderMax);
}

float sliderVolume(const form::TrackBar& slider) { return static_cast<float>(sliderLevel(slider)); }

void SoundEngine::releaseChannel(Handle slot) {
    m_audio.BASS_ChannelStop(slot);
    m_audio.BASS_StreamFree(slot);
}

void SoundEngine::buildPath(SampleFolder folder, const std::string& name, std::string& path) {
    sampleDir = m_programDir + (folder == SampleFolder::Loop ? "/samp_povt/" : "/samp_raz/");
    path = sampleDir + name;
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
