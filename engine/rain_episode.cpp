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
    if (const form::RangedItem* row = form::selectedRow(form::kRainDurations, m_form.cbb4)) {
        rainMinUnits = row->low;
        rainMaxUnits = row->high;
    }
    rainDurationMs = m_engine.rng.randomRange(rainMinUnits, rainMaxUnits) * kCountMs;
}

void RainLayer::trckbr9Change() {
    m_engine.setVolume(m_engine.rainChannel, sliderVolume(m_form.trckbr9));
}

void RainLayer::btn1Click() {
    if (m_form.chk7.checked() && m_form.btn1.caption() == kRainCaptionIdle) {
        releaseRain();
        fadeInStep = 0;
        fadeOutStep = 0;
        rainElapsedMs = 0;
        m_form.tmr4.setInterval(kStepMs);
        m_form.tmr4.setEnabled(true);
        if (m_form.rb7.checked()) {
            m_engine.buildPath(SampleFolder::Once, m_form.chk8.checked() ? "dogd_gr3" : "dogd2",
                               m_engine.rainPath);
            m_engine.createAndPlay(m_engine.rainChannel, m_engine.rainPath, 0, 0.0f);
        }
        if (m_form.rb8.checked()) {
            m_engine.buildPath(SampleFolder::Loop, "dogd3", m_engine.rainPath);
            if (m_form.chk8.checked()) {
                m_engine.buildPath(SampleFolder::Loop, "dogd_gr", m_engine.thunderPath);
                m_engine.createAndPlay(m_engine.thunderChannel, m_engine.thunderPath, kSampleLoop,
                                       0.0f);
            }
            m_engine.createAndPlay(m_engine.rainChannel, m_engine.rainPath, kSampleLoop, 0.0f);
        }
    }
    if (m_form.chk7.checked() && m_form.btn1.caption() == kRainCaptionSteady) {
        m_form.tmr4.setInterval(kStepMs);
        m_form.tmr4.setEnabled(true);
        fadeOutStep = 1;
    }
}

void RainLayer::tmr4Timer() {
    const double rainLevel = sliderLevel(m_form.trckbr9);
    const double songLevel = sliderLevel(m_form.trckbr6);

    fadeInStep += 1;

    if (fadeInStep <= kFadeSteps) {
        const int k = fadeInStep;
        songFadeVolume = (kFadeSteps - k) * (songLevel / kFadeSteps);
        rainFadeVolume = k * (rainLevel / kFadeSteps);
        m_engine.setVolume(m_engine.rainChannel, static_cast<float>(rainFadeVolume));
        m_engine.setVolume(m_engine.thunderChannel, static_cast<float>(rainFadeVolume));
        setSongVolumes(static_cast<float>(songFadeVolume));
        lockControls();
        m_form.btn1.setCaption(std::to_string(kFadeSteps - k));
    }

    if (fadeInStep == kFadeSteps + 1) {
        m_form.btn1.setEnabled(true);
        m_form.trckbr9.setEnabled(true);
        m_form.btn1.setCaption(kRainCaptionSteady);
    }

    if (m_form.rb8.checked()) {
        if (fadeInStep == kFadeSteps + 1) {
            if (m_form.cbb4.itemIndex() == form::kRainDurationForever)
                m_form.tmr4.setEnabled(false);
            m_form.tmr4.setInterval(kCountMs);
        }
        if (fadeInStep > kFadeSteps + 1 && fadeOutStep == 0) {
            rainElapsedMs += kCountMs;
            if (rainDurationMs - rainElapsedMs < 1) {
                m_form.tmr4.setInterval(kStepMs);
                fadeOutStep = 1;
            }
        }
    }

    // A twelve-minute rain ends here when its recording has played through; a rain that could
    // not be opened ends here at the first step.
    if (!m_engine.isActive(m_engine.rainChannel) && fadeOutStep == 0) fadeOutStep = 1;

    if (fadeOutStep > 0) {
        const int j = fadeOutStep;
        m_form.btn1.setEnabled(false);
        m_form.trckbr6.setEnabled(false);
        m_form.trckbr9.setEnabled(false);
        m_form.btn1.setCaption(std::to_string(kFadeSteps - j));
        rainFadeVolume = (kFadeSteps - j) * (rainLevel / kFadeSteps);
        songFadeVolume = j * (songLevel / kFadeSteps);
        m_engine.setVolume(m_engine.rainChannel, static_cast<float>(rainFadeVolume));
        setSongVolumes(static_cast<float>(songFadeVolume));
        fadeOutStep = j + 1;
    }

    if (fadeOutStep == kFadeSteps + 1) {
        releaseRain();
        rainDurationMs = m_engine.rng.randomRange(rainMinUnits, rainMaxUnits) * kCountMs;
        rainElapsedMs = 0;
        m_form.tmr4.setEnabled(false);
        unlockRainControls();
        m_form.btn1.setCaption(kRainCaptionIdle);
    }
}

void RainLayer::lockControls() {
    for (form::Control* c : std::initializer_list<form::Control*>{
             &m_form.btn1, &m_form.trckbr6, &m_form.trckbr9, &m_form.chk5, &m_form.chk6,
             &m_form.chk9, &m_form.rb5, &m_form.rb6, &m_form.cbb5, &m_form.cbb6})
        c->setEnabled(false);
}

void RainLayer::unlockRainControls() {
    for (form::Control* c : std::initializer_list<form::Control*>{
             &m_form.btn1, &m_form.trckbr6, &m_form.trckbr9, &m_form.chk5, &m_form.chk6,
             &m_form.chk9, &m_form.rb5, &m_form.rb6})
        c->setEnabled(true);
    if (m_form.chk5.checked()) {
        m_form.cbb5.setEnabled(true);
        if (m_form.rb6.checked()) m_form.cbb6.setEnabled(true);
    }
}

void RainLayer::releaseRain() {
    m_engine.releaseChannel(m_engine.rainChannel);
    m_engine.releaseChannel(m_engine.thunderChannel);
}

void RainLayer::setSongVolumes(float volume) {
    m_engine.setVolume(m_engine.songChannelA, volume);
    m_engine.setVolume(m_engine.songChannelB, volume);
}

}  // namespace engine
