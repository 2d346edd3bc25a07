// The notification-area icon: a thin wrapper over QSystemTrayIcon with the semantics the program
// relies on. Two images (0: sound off, crossed out; 1: sound on); an image index that updates a
// shown icon at once; a separate "picture for the next show" (setIconFromImage) taken when the
// icon becomes visible; tooltip "Ombrelin"; a left click runs onClick once (a double click, which
// arrives as two activations or as Trigger then DoubleClick depending on the tray host, toggles
// once); a right click only opens the menu with "show the window" and "close". UI thread only.
//
// Two kinds of tray host exist on Linux desktops. StatusNotifier hosts (KDE Plasma, GNOME with
// AppIndicator, Xfce, LXQt, waybar) talk D-Bus: the menu is handed to Qt, which exports it and
// the host draws it. XEmbed trays (trayer, stalonetray, older panels) embed a window of ours: the
// menu is opened by this class once the right button is up. Qt decides between the two once per
// process, when the first QSystemTrayIcon is created, from whether a StatusNotifier host is
// registered at that moment. So the QSystemTrayIcon is created only when a host of either kind
// has been found by this class's own probe, never earlier: a program started before its panel
// still docks on the panel that came later. Qt re-registers a shown icon when its host restarts.
#pragma once

#include <QElapsedTimer>
#include <QIcon>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

class QMenu;
class QSystemTrayIcon;

namespace ui {

class TrayIcon : public QObject {
    Q_OBJECT
public:
    enum class Host { None, StatusNotifier, XEmbed };
    // The tray hosts running at one moment; a panel may serve both protocols at once.
    struct Hosts {
        bool statusNotifier = false;
        bool xembed = false;
    };
    using HostProbe = std::function<Hosts()>;

    // probe tells which tray hosts run now; tests pass their own.
    explicit TrayIcon(QObject* parent = nullptr, HostProbe probe = findHosts);
    ~TrayIcon() override;

    // The tray hosts running now: a StatusNotifier watcher with a host on the session bus, an
    // XEmbed tray manager on the X screen. Asks the bus and the X server directly and never
    // through Qt, whose answer would fix its choice of protocol for the whole run.
    static Hosts findHosts();

    // Whether the icon can be shown now: a host runs, and it speaks the protocol the icon was made
    // for once the icon exists.
    bool available() const;
    // The protocol the icon speaks; None until a host was first found.
    Host host() const { return m_host; }

    // The current image from the two images; a shown icon changes at once. Same value: nothing.
    void setImageIndex(int index);
    int imageIndex() const { return m_imageIndex; }
    // The picture the icon shows from the next time it becomes visible (and now, if shown).
    void setIconFromImage(int index);
    // Shows or removes the icon. Showing takes the picture set by setIconFromImage, or the
    // application icon when none was set; it creates the icon for the host found now if there is
    // none yet. Same value: nothing. Returns false when showing found no tray to show it in.
    bool setVisible(bool visible);
    bool isVisible() const { return m_visible; }

    // What the icon shows (or will show): 0 or 1 for the two images, -1 for the application icon
    // or none.
    int currentImage() const { return m_currentImage; }
    static QIcon image(int index);

    std::function<void()> onClick;
    std::function<void()> onShowWindow;
    std::function<void()> onClose;

    // nullptr until the icon was first shown with a host present.
    QSystemTrayIcon* systemTrayIcon() const { return m_tray.get(); }
    QMenu* menu() const { return m_menu.get(); }

private:
    bool create();
    void setCurrent(int index);
    void activated(int reason);
    void openMenuOnRelease();

    HostProbe m_probe;
    std::unique_ptr<QMenu> m_menu;
    QTimer m_menuTimer;
    QElapsedTimer m_lastClick;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    Host m_host = Host::None;
    int m_imageIndex = -1;
    int m_iconPicture = -1;  // the picture for the next show; -1: none chosen
    int m_currentImage = -1;
    bool m_visible = false;
};

}  // namespace ui
