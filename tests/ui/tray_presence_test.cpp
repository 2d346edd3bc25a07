#include "ui/tray_presence.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QTest>

#include "tests/support/harness.h"
#include "ui/main_window.h"
#include "ui/tray_icon.h"

namespace {

using Hosts = ui::TrayIcon::Hosts;

// The window, the icon and the message boxes as the program wires them, with tray hosts that
// come and go as the test says.
struct Presence : ::testing::Test {
    form::MainForm form;
    ui::MainWindow window{form, 1.0};
    Hosts hosts;
    ui::TrayIcon tray{nullptr, [this] { return hosts; }};
    testing_support::RecordingDialogs dialogs;
    bool soundOn = true;
    int toggles = 0;
    ui::TrayPresence presence{
        window, tray, dialogs, "Ombrelin", [this] { return soundOn; }, [this] { ++toggles; }};

    Presence() { window.show(); }
    void minimise() {
        window.setWindowState(Qt::WindowMinimized);
        QTest::qWait(20);  // the minimise is acted on once its event has been handled
    }
};

TEST_F(Presence, MinimiseDocksTheIconAndTheMenuBringsTheWindowBack) {
    hosts.xembed = true;
    soundOn = false;
    minimise();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(tray.isVisible());
    EXPECT_EQ(tray.currentImage(), 0);  // the sound is off
    EXPECT_TRUE(dialogs.shown.empty());

    tray.onClick();
    EXPECT_EQ(toggles, 1);
    EXPECT_FALSE(window.isVisible());

    tray.menu()->actions().at(0)->trigger();  // "Показать окно настроек"
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
    EXPECT_FALSE(tray.isVisible());

    soundOn = true;
    minimise();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(tray.currentImage(), 1);
}

TEST_F(Presence, WithoutATrayMinimiseStaysOrdinaryAndTheRefusalIsShownOnce) {
    minimise();
    window.showNormal();  // the user brings it back from the taskbar
    minimise();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, form::MessageKind::StopError);
    EXPECT_EQ(dialogs.shown[0].title, "Ombrelin");
    EXPECT_EQ(dialogs.shown[0].text, "Cannot create shell notification icon");
    // Still the window manager's, minimised, and the way back works as from the tray.
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isMinimized());
    EXPECT_FALSE(tray.isVisible());
    EXPECT_EQ(toggles, 0);
    presence.showWindow();
    EXPECT_FALSE(window.isMinimized());

    // A panel started later takes the next minimise.
    hosts.statusNotifier = true;
    minimise();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(tray.isVisible());
    EXPECT_EQ(dialogs.shown.size(), 1u);
}

TEST_F(Presence, CloseIsTheWindowsOwnCloseRequest) {
    int requests = 0;
    window.onCloseRequest = [&] { ++requests; };
    hosts.xembed = true;
    minimise();
    tray.menu()->actions().at(1)->trigger();  // "Закрыть"
    EXPECT_EQ(requests, 1);
    EXPECT_FALSE(window.isVisible());
}

}  // namespace
