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
        m_rainMinUnits = row->low;
        m_rainMaxUnits = row->high;
    }
    m_rainDurationMs = m_engine.rng().randomRange(m_rainMinUnits, m_rainMaxUnits) * kCountMs;
}

void RainLayer::trckbr9Change() { m_engine.setVolume(Slot::Rain, sliderVolume(m_form.trckbr9)); }

void RainLayer::btn1Click() {
    if (m_form.chk7.checked() && m_form.btn1.caption() == kRainCaptionIdle) {
        releaseRain();
        m_fadeInStep = 0;
        m_fadeOutStep = 0;
        m_rainElapsedMs = 0;
        m_form.tmr4.setInterval(kStepMs);
        m_form.tmr4.setEnabled(true);
        if (m_form.rb7.checked()) {
            m_engine.buildPath(Slot::Rain, SampleFolder::Once,
                               m_form.chk8.checked() ? "dogd_gr3" : "dogd2");
            m_engine.createAndPlay(Slot::Rain, 0, 0.0f);
        }
        if (m_form.rb8.checked()) {
            m_engine.buildPath(Slot::Rain, SampleFolder::Loop, "dogd3");
            if (m_form.chk8.checked()) {
                m_engine.buildPath(Slot::Thunder, SampleFolder::Loop, "dogd_gr");
                m_engine.createAndPlay(Slot::Thunder, kSampleLoop, 0.0f);
            }
            m_engine.createAndPlay(Slot::Rain, kSampleLoop, 0.0f);
        }
    }
    if (m_form.chk7.checked() && m_form.btn1.caption() == kRainCaptionSteady) {
        m_form.tmr4.setInterval(kStepMs);
        m_form.tmr4.setEnabled(true);
        m_fadeOutStep = 1;
    }
}

void RainLayer::tmr4Timer() {
    const double rainLevel = sliderLevel(m_form.trckbr9);
    const double songLevel = sliderLevel(m_form.trckbr6);

    m_fadeInStep += 1;

    if (m_fadeInStep <= kFadeSteps) {
        const int k = m_fadeInStep;
        m_songFadeVolume = (kFadeSteps - k) * (songLevel / kFadeSteps);
        m_rainFadeVolume = k * (rainLevel / kFadeSteps);
        m_engine.setVolume(Slot::Rain, static_cast<float>(m_rainFadeVolume));
        m_engine.setVolume(Slot::Thunder, static_cast<float>(m_rainFadeVolume));
        setSongVolumes(static_cast<float>(m_songFadeVolume));
        lockControls();
        m_form.btn1.setCaption(std::to_string(kFadeSteps - k));
    }

    if (m_fadeInStep == kFadeSteps + 1) {
        m_form.btn1.setEnabled(true);
        m_form.trckbr9.setEnabled(true);
        m_form.btn1.setCaption(kRainCaptionSteady);
    }

    if (m_form.rb8.checked()) {
        if (m_fadeInStep == kFadeSteps + 1) {
            if (m_form.cbb4.itemIndex() == form::kRainDurationForever)
                m_form.tmr4.setEnabled(false);
            m_form.tmr4.setInterval(kCountMs);
        }
        if (m_fadeInStep > kFadeSteps + 1 && m_fadeOutStep == 0) {
            m_rainElapsedMs += kCountMs;
            if (m_rainDurationMs - m_rainElapsedMs < 1) {
                m_form.tmr4.setInterval(kStepMs);
                m_fadeOutStep = 1;
            }
        }
    }

    // A twelve-minute rain ends here when its recording has played through; a rain that could
    // not be opened ends here at the first step.
    if (!m_engine.isActive(Slot::Rain) && m_fadeOutStep == 0) m_fadeOutStep = 1;

    if (m_fadeOutStep > 0) {
        const int j = m_fadeOutStep;
        m_form.btn1.setEnabled(false);
        m_form.trckbr6.setEnabled(false);
        m_form.trckbr9.setEnabled(false);
        m_form.btn1.setCaption(std::to_string(kFadeSteps - j));
        m_rainFadeVolume = (kFadeSteps - j) * (rainLevel / kFadeSteps);
        m_songFadeVolume = j * (songLevel / kFadeSteps);
        m_engine.setVolume(Slot::Rain, static_cast<float>(m_rainFadeVolume));
        setSongVolumes(static_cast<float>(m_songFadeVolume));
        m_fadeOutStep = j + 1;
    }

    if (m_fadeOutStep == kFadeSteps + 1) {
        releaseRain();
        m_rainDurationMs = m_engine.rng().randomRange(m_rainMinUnits, m_rainMaxUnits) * kCountMs;
        m_rainElapsedMs = 0;
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
    m_engine.releaseChannel(Slot::Rain);
    m_engine.releaseChannel(Slot::Thunder);
}

void RainLayer::setSongVolumes(float volume) {
    m_engine.setVolume(Slot::SongA, volume);
    m_engine.setVolume(Slot::SongB, volume);
}

}  // namespace engine
