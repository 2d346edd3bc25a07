// What minimising and the tray do with the window: minimising sends the window to the tray, the
// menu's "Показать окно настроек" brings it back, its "Закрыть" closes the program through the
// window's own close path, and a left click on the icon toggles the sound.
//
// Without any tray (stock GNOME, a bare window manager, Wayland) minimising stays an ordinary
// minimise: the window stays reachable from the taskbar, dock or overview and the sound goes on
// unchanged. The refusal is reported once per run, on the first such minimise; after that the
// user knows, and a box on every minimise would only be in the way. A tray that appears later is
// used from the next minimise on. UI thread only.
#pragma once

#include <QObject>
#include <functional>
#include <string>

namespace form {
class Dialogs;
}

namespace ui {

class MainWindow;
class TrayIcon;

class TrayPresence : public QObject {
    Q_OBJECT
public:
    // soundOn tells which picture the icon takes on a minimise; toggleSound is the left click.
    TrayPresence(MainWindow& window, TrayIcon& tray, form::Dialogs& dialogs, std::string title,
                 std::function<bool()> soundOn, std::function<void()> toggleSound);

    // Brings the window back, normal and in front, and removes the icon.
    void showWindow();
    // Asks the window to close, the same request as its own close button.
    void close();

private:
    // The window has just become minimised: into the tray, or stay an ordinary minimise.
    void windowMinimized();

    MainWindow& m_window;
    TrayIcon& m_tray;
    form::Dialogs& m_dialogs;
    std::string m_title;
    std::function<bool()> m_soundOn;
    bool m_refusalShown = false;
};

}  // namespace ui
