// Presses keys the way a keyboard does on a GNOME Wayland session: through the compositor's
// virtual keyboard (org.gnome.Mutter.RemoteDesktop), so the key travels the desktop's own route
// (compositor, shell, settings daemon) to whatever handles it. The compositor ends a virtual
// input session when its client leaves, so one process creates the session and sends every key.
// Usage: media_key KEYSYM... (hexadecimal X keysyms, e.g. 1008ff14 for the play key)
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QThread>
#include <cstdio>

namespace {

bool failed(const QDBusMessage& reply, const char* what) {
    if (reply.type() != QDBusMessage::ErrorMessage) return false;
    std::fprintf(stderr, "media_key: %s: %s\n", what, qPrintable(reply.errorMessage()));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString service = QStringLiteral("org.gnome.Mutter.RemoteDesktop");
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusInterface desktop(service, QStringLiteral("/org/gnome/Mutter/RemoteDesktop"), service,
                           bus);
    const QDBusReply<QDBusObjectPath> path = desktop.call(QStringLiteral("CreateSession"));
    if (!path.isValid()) {
        std::fprintf(stderr, "media_key: no session: %s\n", qPrintable(path.error().message()));
        return 1;
    }
    QDBusInterface session(service, path.value().path(), service + QStringLiteral(".Session"), bus);
    if (failed(session.call(QStringLiteral("Start")), "start")) return 1;
    // The virtual keyboard is a new input device: keys sent before the compositor has set it
    // up are dropped.
    QThread::msleep(500);
    for (int i = 1; i < argc; ++i) {
        const uint keysym = QString::fromLatin1(argv[i]).toUInt(nullptr, 16);
        for (bool pressed : {true, false}) {
            if (failed(session.call(QStringLiteral("NotifyKeyboardKeysym"), keysym, pressed),
                       "key"))
                return 1;
            QThread::msleep(50);
        }
    }
    // Let the compositor hand the keys on before the session goes.
    QThread::msleep(300);
    session.call(QStringLiteral("Stop"));
    return 0;
}
