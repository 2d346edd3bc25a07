// What the desktop's media controls show of the soundscape and what they may do to it, without
// Qt: whether it plays (the sound switch), a title naming what sings now, one notification
// whenever either changes whatever changed it (the window, the tray, a settings load or reset,
// the songbirds' own timer), and commands that act on the sound switch as a click on it does.
// It watches the controls it reads through their state hooks, chained after any hook already
// there, and puts the previous hooks back when destroyed (destroy it before anything that
// hooked in earlier). UI thread only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "form/main_form.h"

// What sings now: the current songbird species (both voices in a duet, "Зарянка и Щегол"), or,
// while no songbird sings (layer off, no song started yet, a rain episode under way), the layers
// that sound, by their captions ("Ручей, Дождь с грозой"); "Тишина" when none does.
std::string nowPlayingTitle(const form::MainForm& form);

class NowPlaying {
public:
    explicit NowPlaying(form::MainForm& form);
    ~NowPlaying();
    NowPlaying(const NowPlaying&) = delete;
    NowPlaying& operator=(const NowPlaying&) = delete;

    bool playing() const { return m_playing; }
    const std::string& title() const { return m_title; }

    // The sound switch, as clicked: a command that changes nothing runs nothing.
    void playPause();
    void play();
    void pause();

    // After the state or the title changed (each change once, possibly in a nested handler).
    std::function<void()> onChanged;

private:
    void watch(form::Control& control);
    void refresh();

    struct Hook {
        form::Control* control;
        std::function<void()> previous;
    };

    form::MainForm& m_form;
    std::vector<Hook> m_hooks;
    bool m_playing;
    std::string m_title;
};
