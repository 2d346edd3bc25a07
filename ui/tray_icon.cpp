#include "ui/tray_icon.h"

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QSystemTrayIcon>

namespace ui {

TrayIcon::TrayIcon(QObject* parent)
    : QObject(parent),
      m_menu(std::make_unique<QMenu>()),
      m_tray(std::make_unique<QSystemTrayIcon>()) {
    m_tray->setToolTip(QStringLiteral("Ombrelin"));
    QAction* show = m_menu->addAction(QStringLiteral("Показать окно настроек"));
    show->setObjectName(QStringLiteral("N1"));
    QAction* close = m_menu->addAction(QStringLiteral("Закрыть"));
    close->setObjectName(QStringLiteral("N2"));
    connect(show, &QAction::triggered, this, [this] {
        if (onShowWindow) onShowWindow();
    });
    connect(close, &QAction::triggered, this, [this] {
        if (onClose) onClose();
    });
    // The menu is opened here, not handed to the platform: the XEmbed tray would open it on the
    // button press, with its first item ("show the window") right under the pointer. It opens
    // once the right button is up (at once on StatusNotifier hosts, which report the click after
    // the release), beside the pointer, so a right click shows the menu and picks nothing.
    m_menuTimer.setInterval(20);
    connect(&m_menuTimer, &QTimer::timeout, this, [this] {
        if (QGuiApplication::mouseButtons() & Qt::RightButton) return;
        m_menuTimer.stop();
        // Beside the pointer, never under it, so no item is picked by a stray release.
        const QPoint at = QCursor::pos();
        const QSize size = m_menu->sizeHint();
        QScreen* screen = QGuiApplication::screenAt(at);
        const QRect area = screen ? screen->availableGeometry() : QRect(at, size * 2);
        const int x =
            at.x() + 1 + size.width() <= area.right() ? at.x() + 1 : at.x() - size.width() - 1;
        const int y =
            at.y() + 1 + size.height() <= area.bottom() ? at.y() + 1 : at.y() - size.height() - 1;
        m_menu->popup(QPoint(x, y));
    });
    connect(m_tray.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger && onClick) onClick();
                if (reason == QSystemTrayIcon::Context) m_menuTimer.start();
            });
}

TrayIcon::~TrayIcon() {
    // The icon leaves the tray before its menu goes.
    m_tray.reset();
}

bool TrayIcon::available() { return QSystemTrayIcon::isSystemTrayAvailable(); }

QIcon TrayIcon::image(int index) {
    if (index == 0) return QIcon(QStringLiteral(":/ombrelin/tray_off.png"));
    if (index == 1) return QIcon(QStringLiteral(":/ombrelin/tray_on.png"));
    return QIcon();
}

void TrayIcon::setCurrent(int index) {
    m_currentImage = index;
    QIcon icon = image(index);
    if (icon.isNull()) icon = QGuiApplication::windowIcon();
    m_tray->setIcon(icon);
}

void TrayIcon::setImageIndex(int index) {
    if (index == m_imageIndex) return;
    m_imageIndex = index;
    setCurrent(index);
}

void TrayIcon::setIconFromImage(int index) {
    m_iconPicture = index;
    if (m_visible) setCurrent(index);
}

void TrayIcon::setVisible(bool visible) {
    if (visible == m_visible) return;
    m_visible = visible;
    if (visible) setCurrent(m_iconPicture);
    m_tray->setVisible(visible);
}

}  // namespace ui
