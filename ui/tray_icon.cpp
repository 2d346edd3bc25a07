#include "ui/tray_icon.h"

#include <xcb/xcb.h>

#include <QAction>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QStyleHints>
#include <QSystemTrayIcon>
#include <cstdlib>

namespace ui {
namespace {

// A StatusNotifier watcher owns its name and says whether any host (a panel that draws items)
// has registered with it; without a host nothing would draw the icon.
bool statusNotifierHostRegistered() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.kde.StatusNotifierWatcher")
        << QStringLiteral("IsStatusNotifierHostRegistered");
    // Never start a watcher through bus activation only to ask it.
    get.setAutoStartService(false);
    const QDBusMessage reply = bus.call(get, QDBus::Block, 1000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
    return reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
}

// The screen number of $DISPLAY (":1.0" -> 0), whose tray selection an XEmbed tray owns.
int displayScreen() {
    const QByteArray display = qgetenv("DISPLAY");
    const int colon = display.lastIndexOf(':');
    const int dot = display.indexOf('.', colon < 0 ? 0 : colon);
    return dot < 0 ? 0 : std::atoi(display.constData() + dot + 1);
}

// An XEmbed tray manager owns the selection _NET_SYSTEM_TRAY_S<screen> while it runs.
bool xembedTrayRunning() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return false;
    const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(displayScreen());
    // Only if the atom exists: one that no tray ever took has no owner either.
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, name.size(), name.constData()), nullptr);
    if (!atom) return false;
    bool owned = false;
    if (atom->atom != XCB_NONE) {
        xcb_get_selection_owner_reply_t* owner =
            xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr);
        owned = owner && owner->owner != XCB_NONE;
        std::free(owner);
    }
    std::free(atom);
    return owned;
}

}  // namespace

TrayIcon::TrayIcon(QObject* parent, HostProbe probe)
    : QObject(parent), m_probe(std::move(probe)), m_menu(std::make_unique<QMenu>()) {
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
    m_menuTimer.setInterval(20);
    connect(&m_menuTimer, &QTimer::timeout, this, &TrayIcon::openMenuOnRelease);
}

TrayIcon::~TrayIcon() {
    // The icon leaves the tray before its menu goes.
    m_tray.reset();
}

TrayIcon::Hosts TrayIcon::findHosts() {
    return {statusNotifierHostRegistered(), xembedTrayRunning()};
}

bool TrayIcon::available() const {
    const Hosts now = m_probe();
    switch (m_host) {
        case Host::StatusNotifier:
            return now.statusNotifier;
        case Host::XEmbed:
            return now.xembed;
        case Host::None:
            break;
    }
    return now.statusNotifier || now.xembed;
}

bool TrayIcon::create() {
    // Qt makes the same choice at this moment: StatusNotifier whenever a host is registered.
    const Hosts now = m_probe();
    const Host host = now.statusNotifier ? Host::StatusNotifier
                      : now.xembed       ? Host::XEmbed
                                         : Host::None;
    if (host == Host::None) return false;
    m_host = host;
    m_tray = std::make_unique<QSystemTrayIcon>();
    m_tray->setToolTip(QStringLiteral("Ombrelin"));
    // A StatusNotifier host draws the menu itself from what Qt exports; an XEmbed tray would
    // have Qt open a given menu on the button press, so there the menu stays ours.
    if (host == Host::StatusNotifier) m_tray->setContextMenu(m_menu.get());
    connect(m_tray.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { activated(reason); });
    setCurrent(m_currentImage);
    return true;
}

void TrayIcon::activated(int reason) {
    if (reason == QSystemTrayIcon::Trigger) {
        // A double click is one click for the sound: XEmbed reports it as Trigger then
        // DoubleClick, StatusNotifier hosts as two activations in a row.
        const int interval = QGuiApplication::styleHints()->mouseDoubleClickInterval();
        if (m_lastClick.isValid() && m_lastClick.elapsed() < interval) return;
        m_lastClick.start();
        if (onClick) onClick();
    }
    if (reason == QSystemTrayIcon::Context && m_host == Host::XEmbed) m_menuTimer.start();
}

// The XEmbed tray reports the right button on its press, with the pointer where the menu's first
// item ("show the window") would open: a menu opened then would be picked by the release. It
// opens once the right button is up, beside the pointer, so a right click shows the menu and
// picks nothing.
void TrayIcon::openMenuOnRelease() {
    if (QGuiApplication::mouseButtons() & Qt::RightButton) return;
    m_menuTimer.stop();
    const QPoint at = QCursor::pos();
    const QSize size = m_menu->sizeHint();
    QScreen* screen = QGuiApplication::screenAt(at);
    const QRect area = screen ? screen->availableGeometry() : QRect(at, size * 2);
    const int x =
        at.x() + 1 + size.width() <= area.right() ? at.x() + 1 : at.x() - size.width() - 1;
    const int y =
        at.y() + 1 + size.height() <= area.bottom() ? at.y() + 1 : at.y() - size.height() - 1;
    m_menu->popup(QPoint(x, y));
}

QIcon TrayIcon::image(int index) {
    if (index == 0) return QIcon(QStringLiteral(":/ombrelin/tray_off.png"));
    if (index == 1) return QIcon(QStringLiteral(":/ombrelin/tray_on.png"));
    return QIcon();
}

void TrayIcon::setCurrent(int index) {
    m_currentImage = index;
    if (!m_tray) return;
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

bool TrayIcon::setVisible(bool visible) {
    if (visible == m_visible) return true;
    if (visible) {
        if (m_tray ? !available() : !create()) return false;
        m_visible = true;
        setCurrent(m_iconPicture);
        m_tray->setVisible(true);
        return true;
    }
    m_visible = false;
    if (m_tray) m_tray->setVisible(false);
    return true;
}

}  // namespace ui
