// The whole window logic under virtual time with fake backends: a clock, the fake audio
// library, a recording system volume and recording message boxes, in a private program folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/form_ombrelin.h"
#include "engine/system_volume.h"
#include "form/dialogs.h"
#include "form/timer.h"
#include "tests/support/fake_audio.h"
#include "tests/support/temp_dir.h"

namespace testing_support {

class RecordingVolume : public engine::SystemVolume {
public:
    bool setWaveVolume(uint32_t word) override {
        words.push_back(word);
        return available;
    }
    bool available = true;
    std::vector<uint32_t> words;
};

class RecordingDialogs : public form::Dialogs {
public:
    struct Shown {
        form::MessageKind kind;
        std::string title;
        std::string text;
    };
    void showMessage(form::MessageKind kind, const std::string& title,
                     const std::string& text) override {
        shown.push_back({kind, title, text});
        if (whileShown) whileShown();
    }
    std::vector<Shown> shown;
    // Runs while a box "waits" for the user, e.g. to advance the clock.
    std::function<void()> whileShown;
};

// A fresh program folder (removed at the end) and the window logic over fakes.
class Harness {
public:
    Harness();
    ~Harness();

    // Writes the settings file of the program folder.
    void writeSettings(const std::string& content);
    std::string readSettings() const;
    std::string settingsPath() const { return (dir / "n_p_d.ini").string(); }

private:
    TempDir m_dir;

public:
    std::filesystem::path dir;
    form::VirtualClock clock;
    FakeAudio audio{clock};
    RecordingVolume volume;
    RecordingDialogs dialogs;
    bool instanceFree = true;
    std::unique_ptr<TForm_Ombrelin> app;
    form::MainForm& f() { return app->form; }
    engine::SoundEngine& e() { return app->engine; }
};

// "1\r\n0\r\n..." from the values given.
std::string settingsText(const std::vector<int>& values, const char* eol = "\r\n");
// The values a file written for the window's initial state holds.
std::vector<int> initialSettings();

}  // namespace testing_support
