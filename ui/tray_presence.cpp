#include "ui/tray_presence.h"

#include <QGuiApplication>
#include <QTimer>

#include "form/dialogs.h"
#include "ui/main_window.h"
#include "ui/tray_icon.h"

namespace ui {

TrayPresence::TrayPresence(MainWindow& window, TrayIcon& tray, form::Dialogs& dialogs,
                           std::string title, std::function<bool()> soundOn,
                           std::function<void()> toggleSound)
    : m_window(window),
      m_tray(tray),
      m_dialogs(dialogs),
      m_title(std::move(title)),
      m_soundOn(std::move(soundOn)) {
    m_window.onMinimize = [this] {
        // Acted on once the minimise has been handled; hiding inside the state change confuses
        // some window managers.
        QTimer::singleShot(0, this, &TrayPresence::windowMinimized);
    };
    m_tray.onShowWindow = [this] { showWindow(); };
    m_tray.onClose = [this] { close(); };
    m_tray.onClick = std::move(toggleSound);
}

void TrayPresence::windowMinimized() {
    if (!m_window.isMinimized() || m_tray.isVisible()) return;
    // Wayland never tells a client that it was minimised (Qt reports a minimise it asked for
    // itself and takes it back at once), so there minimising stays the compositor's own and the
    // tray is never used.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return;
    m_tray.setIconFromImage(m_soundOn() ? 1 : 0);
    if (m_tray.setVisible(true)) {
        m_window.hide();
        return;
    }
    if (m_refusalShown) return;
    m_refusalShown = true;
    m_dialogs.showMessage(form::MessageKind::StopError, m_title,
                          "Cannot create shell notification icon");
}

void TrayPresence::showWindow() {
    m_window.showNormal();
    m_window.raise();
    m_window.activateWindow();
    m_tray.setVisible(false);
}

void TrayPresence::close() { m_window.close(); }

}  // namespace ui
