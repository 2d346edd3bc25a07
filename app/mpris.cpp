#include "app/mpris.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>
#include <QTimer>
#include <QUrl>

namespace {

const char* const kObjectPath = "/org/mpris/MediaPlayer2";
const char* const kServiceName = "org.mpris.MediaPlayer2.ombrelin";
const char* const kPlayerInterface = "org.mpris.MediaPlayer2.Player";
// One endless soundscape: the track never changes, only what sings in it.
const char* const kTrackId = "/org/ombrelin/soundscape";
const char* const kIdentity = "Ombrelin";

bool sameContent(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.readAll() == data;
}

// The program's icon as a file a media control can load: the installed one (beside a program
// folder laid out for installing, or the system's), else a copy of the built-in one in the
// user's cache, since a portable program folder carries no icon files. Empty when neither works.
QString iconUrl(const QString& desktopEntry) {
    const QString relative = QStringLiteral("icons/hicolor/128x128/apps/%1.png").arg(desktopEntry);
    const QDir programDir(QCoreApplication::applicationDirPath());
    const QStringList candidates{
        programDir.filePath(QStringLiteral("share/") + relative),
        programDir.filePath(QStringLiteral("../share/") + relative),
        QStandardPaths::locate(QStandardPaths::GenericDataLocation, relative)};
    for (const QString& path : candidates) {
        const QFileInfo info(path);
        if (!path.isEmpty() && info.isFile() && info.isReadable())
            return QUrl::fromLocalFile(info.canonicalFilePath()).toString();
    }

    QFile builtIn(QStringLiteral(":/ombrelin/icon_64.png"));
    if (!builtIn.open(QIODevice::ReadOnly)) return {};
    const QByteArray data = builtIn.readAll();
    const QString cacheDir =
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
        QStringLiteral("/ombrelin");
    const QString path = cacheDir + QStringLiteral("/%1.png").arg(desktopEntry);
    if (!sameContent(path, data)) {
        QSaveFile copy(path);
        if (!QDir().mkpath(cacheDir) || !copy.open(QIODevice::WriteOnly) ||
            copy.write(data) != data.size() || !copy.commit())
            return {};
    }
    return QUrl::fromLocalFile(path).toString();
}

// org.mpris.MediaPlayer2: who the player is, bring its window up, end it.
class RootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ yes)
    Q_PROPERTY(bool CanRaise READ yes)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ none)
    Q_PROPERTY(QStringList SupportedMimeTypes READ none)
public:
    explicit RootAdaptor(Mpris* mpris) : QDBusAbstractAdaptor(mpris), m_mpris(mpris) {}

    bool yes() const { return true; }
    bool no() const { return false; }
    QString identity() const { return QString::fromUtf8(kIdentity); }
    QString desktopEntry() const { return m_mpris->desktopEntry(); }
    QStringList none() const { return {}; }

public slots:
    // Both run once the reply is on its way, so the caller hears back even from a Quit.
    void Raise() { later(m_mpris->onRaise); }
    void Quit() { later(m_mpris->onQuit); }

private:
    void later(const std::function<void()>& action) {
        if (action) QTimer::singleShot(0, m_mpris, action);
    }
    Mpris* m_mpris;
};

// org.mpris.MediaPlayer2.Player: the sound switch as play and pause; there is nothing to seek
// or skip to.
class PlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Rate READ rate)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanPlay READ yes)
    Q_PROPERTY(bool CanPause READ yes)
    Q_PROPERTY(bool CanControl READ yes)
    Q_PROPERTY(bool CanGoNext READ no)
    Q_PROPERTY(bool CanGoPrevious READ no)
    Q_PROPERTY(bool CanSeek READ no)
public:
    explicit PlayerAdaptor(Mpris* mpris) : QDBusAbstractAdaptor(mpris), m_mpris(mpris) {}

    QString playbackStatus() const { return m_mpris->playbackStatus(); }
    QVariantMap metadata() const { return m_mpris->metadata(); }
    double rate() const { return 1.0; }
    qlonglong position() const { return 0; }
    bool yes() const { return true; }
    bool no() const { return false; }

public slots:
    void PlayPause() { m_mpris->nowPlaying().playPause(); }
    void Play() { m_mpris->nowPlaying().play(); }
    void Pause() { m_mpris->nowPlaying().pause(); }
    void Stop() { m_mpris->nowPlaying().pause(); }
    void Next() {}
    void Previous() {}
    void Seek(qlonglong) {}
    void SetPosition(const QDBusObjectPath&, qlonglong) {}
    void OpenUri(const QString&) {}

signals:
    void Seeked(qlonglong position);

private:
    Mpris* m_mpris;
};

}  // namespace

Mpris::Mpris(NowPlaying& nowPlaying, QString desktopEntry, QObject* parent)
    : QObject(parent),
      m_nowPlaying(nowPlaying),
      m_desktopEntry(std::move(desktopEntry)),
      m_announcedPlaying(nowPlaying.playing()),
      m_announcedTitle(nowPlaying.title()) {
    new RootAdaptor(this);
    new PlayerAdaptor(this);
    m_nowPlaying.onChanged = [this] { scheduleAnnouncement(); };
}

Mpris::~Mpris() {
    m_nowPlaying.onChanged = nullptr;
    if (!m_registered) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(QString::fromUtf8(kServiceName));
    bus.unregisterObject(QString::fromUtf8(kObjectPath));
}

bool Mpris::registerOnSessionBus() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    if (!bus.registerObject(QString::fromUtf8(kObjectPath), this, QDBusConnection::ExportAdaptors))
        return false;
    if (!bus.registerService(QString::fromUtf8(kServiceName))) {
        bus.unregisterObject(QString::fromUtf8(kObjectPath));
        return false;
    }
    m_artUrl = iconUrl(m_desktopEntry);
    m_registered = true;
    return true;
}

QString Mpris::playbackStatus() const {
    return m_nowPlaying.playing() ? QStringLiteral("Playing") : QStringLiteral("Paused");
}

QVariantMap Mpris::metadata() const {
    QVariantMap data;
    data.insert(QStringLiteral("mpris:trackid"),
                QVariant::fromValue(QDBusObjectPath(QString::fromUtf8(kTrackId))));
    data.insert(QStringLiteral("xesam:title"), QString::fromStdString(m_nowPlaying.title()));
    data.insert(QStringLiteral("xesam:artist"), QStringList{QString::fromUtf8(kIdentity)});
    if (!m_artUrl.isEmpty()) data.insert(QStringLiteral("mpris:artUrl"), m_artUrl);
    return data;
}

void Mpris::scheduleAnnouncement() {
    if (!m_registered || m_announcementDue) return;
    m_announcementDue = true;
    QTimer::singleShot(0, this, [this] { announce(); });
}

void Mpris::announce() {
    m_announcementDue = false;
    QVariantMap changed;
    if (m_nowPlaying.playing() != m_announcedPlaying)
        changed.insert(QStringLiteral("PlaybackStatus"), playbackStatus());
    if (m_nowPlaying.title() != m_announcedTitle)
        changed.insert(QStringLiteral("Metadata"), metadata());
    m_announcedPlaying = m_nowPlaying.playing();
    m_announcedTitle = m_nowPlaying.title();
    if (changed.isEmpty()) return;
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromUtf8(kObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << QString::fromUtf8(kPlayerInterface) << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

#include "mpris.moc"
