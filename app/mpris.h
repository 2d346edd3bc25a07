// The soundscape on the session bus as a media player, so that media keys, a desktop shell's
// media controls and the lock screen can pause and resume it and bring the window back: the
// name org.mpris.MediaPlayer2.ombrelin with the MediaPlayer2 and MediaPlayer2.Player interfaces
// at /org/mpris/MediaPlayer2. Play state and title come from NowPlaying; every change is
// announced with PropertiesChanged, several changes of one event in one signal. UI thread only.
#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>

#include "app/now_playing.h"

class Mpris : public QObject {
    Q_OBJECT
public:
    // desktopEntry: the installed desktop file's name without ".desktop".
    Mpris(NowPlaying& nowPlaying, QString desktopEntry, QObject* parent = nullptr);
    ~Mpris() override;

    // Takes the name on the session bus. No bus, or the name already owned: false, nothing is
    // shown, and the program goes on without media controls.
    bool registerOnSessionBus();

    // Raise: the tray menu's "show the window"; Quit: its "close".
    std::function<void()> onRaise;
    std::function<void()> onQuit;

    NowPlaying& nowPlaying() { return m_nowPlaying; }
    const QString& desktopEntry() const { return m_desktopEntry; }
    QString playbackStatus() const;
    QVariantMap metadata() const;

private:
    void scheduleAnnouncement();
    void announce();

    NowPlaying& m_nowPlaying;
    QString m_desktopEntry;
    QString m_artUrl;
    bool m_registered = false;
    bool m_announcementDue = false;
    bool m_announcedPlaying;
    std::string m_announcedTitle;
};
