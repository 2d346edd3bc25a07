// The program: real backends (OpenAL/libsndfile audio, the system output level through
// PulseAudio), the Qt window bound to the window logic, the tray icon, and the paths by which a
// desktop session ends a program (logout, SIGTERM, SIGINT, SIGHUP), all of which run the same
// close path as the window's close button.
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <memory>

#include "app/form_ombrelin.h"
#include "app/mpris.h"
#include "app/now_playing.h"
#include "app/platform_choice.h"
#include "app/single_instance.h"
#include "engine/audio/al_audio_library.h"
#include "engine/volume/pulse_volume.h"
#include "ui/app_title.h"
#include "ui/dialogs.h"
#include "ui/main_window.h"
#include "ui/timer_driver.h"
#include "ui/tray_icon.h"
#include "ui/tray_presence.h"

namespace {

// Termination signalNotifier reach the event loop through a pipe, so the close path runs on the UI
// thread like any other event.
int g_signalPipe[2] = {-1, -1};

// The signal may land anywhere, also between a failing call and the code reading its errno.
void onTerminationSignal(int) {
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] ssize_t n = write(g_signalPipe[1], &byte, 1);
    errno = savedErrno;
}

void installSignalPipe() {
    if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    app::choosePlatform(argc, argv);
    // Whole-number scaling keeps the window's logical DPI (and so its layout scale) exact.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::Round);
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    const QString title = ui::applicationTitle(QCoreApplication::applicationFilePath());
    QGuiApplication::setApplicationDisplayName(title);
    QGuiApplication::setDesktopFileName(QStringLiteral("ombrelin"));
    QApplication::setWindowIcon(ui::programIcon());

    SingleInstance instance("999");
    engine::AlAudioLibrary audio;
    engine::PulseVolume volume;
    ui::QtDialogs dialogs;
    auto timers = std::make_unique<ui::QtTimerDriver>();

    TForm_Ombrelin form({audio, volume, dialogs, *timers,
                         QCoreApplication::applicationDirPath().toStdString(), title.toStdString(),
                         [&instance] { return instance.acquire(); }});
    ui::MainWindow window(form.form);
    dialogs.setOwner(&window);
    ui::TrayIcon tray;
    form.master().onTrayImage = [&tray](int image) { tray.setImageIndex(image); };

    if (!form.FormCreate()) {
        timers.reset();
        return 0;
    }

    bool closing = false;
    window.onCloseRequest = [&] {
        if (closing) return;
        closing = true;
        form.FormCloseQuery();
        QCoreApplication::quit();
    };
    ui::TrayPresence presence(
        window, tray, dialogs, title.toStdString(), [&form] { return form.form.chk10.checked(); },
        [&form] { form.toggleSound(); });

    // The desktop's media controls: play and pause are the sound switch, Raise and Quit the
    // tray menu's two items.
    NowPlaying nowPlaying(form.form);
    Mpris mpris(nowPlaying, QGuiApplication::desktopFileName());
    mpris.onRaise = [&] { presence.showWindow(); };
    mpris.onQuit = [&] { presence.close(); };
    mpris.registerOnSessionBus();

    // A logout first asks the program to keep its data: the settings are saved then, and the
    // program goes on. If the session really ends, the termination that follows runs the whole
    // close path; if the user cancels the logout, the soundscape simply keeps playing.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&](QSessionManager&) { form.btn2Click(); });
    installSignalPipe();
    std::unique_ptr<QSocketNotifier> signalNotifier;
    if (g_signalPipe[0] >= 0) {
        signalNotifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
        QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, &window, [&] {
            char buffer[16];
            while (read(g_signalPipe[0], buffer, sizeof buffer) > 0) {
            }
            window.close();
        });
    }

    window.show();
    app.exec();
    // The session manager may end the event loop itself; the close path still runs once.
    if (!closing) {
        closing = true;
        form.FormCloseQuery();
    }
    tray.setVisible(false);
    timers.reset();
    return 0;
}
