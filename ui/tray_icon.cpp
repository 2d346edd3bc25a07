#include "ui/tray_icon.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
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
    // The platform opens this menu itself on a right click.
    m_tray->setContextMenu(m_menu.get());
    connect(m_tray.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger && onClick) onClick();
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
