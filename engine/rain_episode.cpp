#include "engine/rain.h"

namespace engine {

const char* const kRainCaptionIdle = "Дождя!";
const char* const kRainCaptionSteady = "Хватит дождя!";

namespace {
constexpr int kFadeSteps = 30;
constexpr int kStepMs = 1000;
constexpr int kCountMs = 100000;
}  // namespace

void RainLayer::cbb4Change() {
    if (const form::RangedItem* row = form::selectedRow(form::kRainDurations, m_c.duration)) {
        m_rainMinUnits = row->low;
        m_rainMaxUnits = row->high;
    }
    m_rainDurationMs = m_engine.rng().randomRange(m_rainMinUnits, m_rainMaxUnits) * kCountMs;
}

void RainLayer::trckbr9Change() { m_engine.setVolume(Slot::rainChannel, sliderVolume(m_c.slider)); }

void RainLayer::btn1Click() {
    if (m_c.sw.checked() && m_c.button.caption() == kRainCaptionIdle) {
        releaseRain();
        m_fadeInStep = 0;
        m_fadeOutStep = 0;
        m_rainElapsedMs = 0;
        m_c.episodeTimer.setInterval(kStepMs);
        m_c.episodeTimer.setEnabled(true);
        if (m_c.recording.checked()) {
            m_engine.buildPath(Slot::rainChannel, SampleFolder::Once,
                               m_c.thunder.checked() ? "dogd_gr3" : "dogd2");
            m_engine.createAndPlay(Slot::rainChannel, 0, 0.0f);
        }
        if (m_c.looped.checked()) {
            m_engine.buildPath(Slot::rainChannel, SampleFolder::Loop, "dogd3");
            if (m_c.thunder.checked()) {
                m_engine.buildPath(Slot::thunderChannel, SampleFolder::Loop, "dogd_gr");
                m_engine.createAndPlay(Slot::thunderChannel, kSampleLoop, 0.0f);
            }
            m_engine.createAndPlay(Slot::rainChannel, kSampleLoop, 0.0f);
        }
    }
    if (m_c.sw.checked() && m_c.button.caption() == kRainCaptionSteady) {
        m_c.episodeTimer.setInterval(kStepMs);
        m_c.episodeTimer.setEnabled(true);
        m_fadeOutStep = 1;
    }
}

void RainLayer::tmr4Timer() {
    const double rainLevel = sliderLevel(m_c.slider);
    const double songLevel = sliderLevel(m_c.songSlider);

    m_fadeInStep += 1;

    if (m_fadeInStep <= kFadeSteps) {
        const int k = m_fadeInStep;
        m_songFadeVolume = (kFadeSteps - k) * (songLevel / kFadeSteps);
        m_rainFadeVolume = k * (rainLevel / kFadeSteps);
        m_engine.setVolume(Slot::rainChannel, static_cast<float>(m_rainFadeVolume));
        m_engine.setVolume(Slot::thunderChannel, static_cast<float>(m_rainFadeVolume));
        setSongVolumes(static_cast<float>(m_songFadeVolume));
        lockControls();
        m_c.button.setCaption(std::to_string(kFadeSteps - k));
    }

    if (m_fadeInStep == kFadeSteps + 1) {
        m_c.button.setEnabled(true);
        m_c.slider.setEnabled(true);
        m_c.button.setCaption(kRainCaptionSteady);
    }

    if (m_c.looped.checked()) {
        if (m_fadeInStep == kFadeSteps + 1) {
            if (m_c.duration.itemIndex() == form::kRainDurationForever)
                m_c.episodeTimer.setEnabled(false);
            m_c.episodeTimer.setInterval(kCountMs);
        }
        if (m_fadeInStep > kFadeSteps + 1 && m_fadeOutStep == 0) {
            m_rainElapsedMs += kCountMs;
            if (m_rainDurationMs - m_rainElapsedMs < 1) {
                m_c.episodeTimer.setInterval(kStepMs);
                m_fadeOutStep = 1;
            }
        }
    }

    // A twelve-minute rain ends here when its recording has played through; a rain that could
    // not be opened ends here at the first step.
    if (!m_engine.isActive(Slot::rainChannel) && m_fadeOutStep == 0) m_fadeOutStep = 1;

    if (m_fadeOutStep > 0) {
        const int j = m_fadeOutStep;
        m_c.button.setEnabled(false);
        m_c.songSlider.setEnabled(false);
        m_c.slider.setEnabled(false);
        m_c.button.setCaption(std::to_string(kFadeSteps - j));
        m_rainFadeVolume = (kFadeSteps - j) * (rainLevel / kFadeSteps);
        m_songFadeVolume = j * (songLevel / kFadeSteps);
        m_engine.setVolume(Slot::rainChannel, static_cast<float>(m_rainFadeVolume));
        setSongVolumes(static_cast<float>(m_songFadeVolume));
        m_fadeOutStep = j + 1;
    }

    if (m_fadeOutStep == kFadeSteps + 1) {
        releaseRain();
        m_rainDurationMs = m_engine.rng().randomRange(m_rainMinUnits, m_rainMaxUnits) * kCountMs;
        m_rainElapsedMs = 0;
        m_c.episodeTimer.setEnabled(false);
        unlockRainControls();
        m_c.button.setCaption(kRainCaptionIdle);
    }
}

std::array<form::Control*, 8> RainLayer::episodeControls() {
    return {&m_c.button,           &m_c.songSlider,    &m_c.slider, &m_c.songSwitch,
            &m_c.extraBirdsSwitch, &m_c.insectsSwitch, &m_c.solo,   &m_c.duet};
}

void RainLayer::lockControls() {
    for (form::Control* c : episodeControls()) c->setEnabled(false);
    m_c.speciesA.setEnabled(false);
    m_c.speciesB.setEnabled(false);
}

void RainLayer::unlockRainControls() {
    for (form::Control* c : episodeControls()) c->setEnabled(true);
    if (m_c.songSwitch.checked()) {
        m_c.speciesA.setEnabled(true);
        if (m_c.duet.checked()) m_c.speciesB.setEnabled(true);
    }
}

void RainLayer::releaseRain() {
    m_engine.releaseChannel(Slot::rainChannel);
    m_engine.releaseChannel(Slot::thunderChannel);
}

void RainLayer::setSongVolumes(float volume) {
    m_engine.setVolume(Slot::songChannelA, volume);
    m_engine.setVolume(Slot::songChannelB, volume);
}

}  // namespace engine
