// The notification-area icon: a thin wrapper over QSystemTrayIcon with the semantics the program
// relies on. Two images (0: sound off, crossed out; 1: sound on); an image index that updates a
// shown icon at once; a separate "picture for the next show" (setIconFromImage) taken when the
// icon becomes visible; tooltip "Ombrelin"; a left click runs onClick once (a double click arrives
// as Trigger then DoubleClick and toggles once); a right click only opens the menu with "show the
// window" and "close". Qt re-registers the icon when the tray host restarts. UI thread only.
#pragma once

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
    explicit TrayIcon(QObject* parent = nullptr);
    ~TrayIcon() override;

    // Whether a tray host is running; without one, showing the icon shows nothing.
    static bool available();

    // The current image from the two images; a shown icon changes at once. Same value: nothing.
    void setImageIndex(int index);
    int imageIndex() const { return m_imageIndex; }
    // The picture the icon shows from the next time it becomes visible (and now, if shown).
    void setIconFromImage(int index);
    // Shows or removes the icon. Showing takes the picture set by setIconFromImage, or the
    // application icon when none was set. Same value: nothing.
    void setVisible(bool visible);
    bool isVisible() const { return m_visible; }

    // What the icon shows (or will show): 0 or 1 for the two images, -1 for the application icon
    // or none.
    int currentImage() const { return m_currentImage; }
    static QIcon image(int index);

    std::function<void()> onClick;
    std::function<void()> onShowWindow;
    std::function<void()> onClose;

    QSystemTrayIcon* systemTrayIcon() const { return m_tray.get(); }
    QMenu* menu() const { return m_menu.get(); }

private:
    void setCurrent(int index);

    std::unique_ptr<QMenu> m_menu;
    QTimer m_menuTimer;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    int m_imageIndex = -1;
    int m_iconPicture = -1;  // the picture for the next show; -1: none chosen
    int m_currentImage = -1;
    bool m_visible = false;
};

}  // namespace ui
