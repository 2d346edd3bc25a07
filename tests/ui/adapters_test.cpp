// The Qt pieces around the window: the application title, the timer driver, the message boxes,
// the tray icon and the compiled-in pictures.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QStyleHints>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

#include "ui/app_title.h"
#include "ui/dialogs.h"
#include "ui/timer_driver.h"
#include "ui/tray_icon.h"

namespace {

TEST(ApplicationTitle, FileNameUpToTheFirstDotCapitalised) {
    const std::pair<const char*, const char*> cases[] = {
        {"/opt/ombrelin/Ombrelin", "Ombrelin"},
        {"/usr/bin/OMBRELIN.exe", "Ombrelin"},
        {"./ombrelin.x86_64.bin", "Ombrelin"},
        {"/usr/bin/ombrelin", "Ombrelin"},
        {"/home/u/ДОЖДЬ.v2", "Дождь"},
        {"Ombrelin", "Ombrelin"},
        {"/tmp/.hidden", ""},
    };
    for (const auto& [path, title] : cases)
        EXPECT_EQ(ui::applicationTitle(QString::fromUtf8(path)), QString::fromUtf8(title)) << path;
}

TEST(QtTimerDriver, ArmsAQtTimerExactlyAsTheFormTimerSays) {
    form::Timer on{"on", 1000, true}, off{"off", 100000, false};
    ui::QtTimerDriver driver;
    driver.attach(on);
    driver.attach(off);
    const QTimer* qtOn = driver.qtTimerFor(on);
    const QTimer* qtOff = driver.qtTimerFor(off);
    ASSERT_TRUE(qtOn && qtOff);
    EXPECT_TRUE(qtOn->isActive());
    EXPECT_EQ(qtOn->interval(), 1000);
    EXPECT_FALSE(qtOff->isActive());

    on.setInterval(250);
    off.setEnabled(true);
    on.setEnabled(false);
    EXPECT_FALSE(qtOn->isActive());
    EXPECT_TRUE(qtOff->isActive());
    EXPECT_EQ(qtOff->interval(), 100000);
    on.setEnabled(true);
    EXPECT_TRUE(qtOn->isActive());
    EXPECT_EQ(qtOn->interval(), 250);
    EXPECT_FALSE(qtOn->isSingleShot());
}

TEST(QtTimerDriver, TicksRunTheHandlerUntilItSwitchesItsTimerOff) {
    form::Timer t{"t", 1, true};
    int ticks = 0;
    t.onTimer = [&] {
        if (++ticks == 3) t.setEnabled(false);
    };
    ui::QtTimerDriver driver;
    driver.attach(t);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 3; }, 10000));
    EXPECT_FALSE(driver.qtTimerFor(t)->isActive());
    QTest::qWait(20);
    EXPECT_EQ(ticks, 3);
}

// The box on top, inspected from inside its own event loop, then dismissed with OK.
struct ShownBox {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::Question;
    QMessageBox::StandardButtons buttons;
    QWidget* parent = reinterpret_cast<QWidget*>(1);
    bool dialogType = true;
};
ShownBox show(ui::QtDialogs& dialogs, form::MessageKind kind) {
    ShownBox shown;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        probe.stop();
        shown = {box->windowTitle(),     box->text(),         box->icon(),
                 box->standardButtons(), box->parentWidget(), box->windowType() == Qt::Dialog};
        box->button(QMessageBox::Ok)->click();
    });
    probe.start(5);
    dialogs.showMessage(kind, "Ombrelin", "файл параметров не найден");
    return shown;
}

TEST(QtDialogs, EachKindShowsItsTitleIconAndOkButton) {
    struct Case {
        form::MessageKind kind;
        QString title;
        QMessageBox::Icon icon;
    };
    const Case cases[] = {
        {form::MessageKind::StartupError, "", QMessageBox::Critical},
        {form::MessageKind::Information, "Ombrelin", QMessageBox::NoIcon},
        {form::MessageKind::StopError, "Ombrelin", QMessageBox::Critical},
    };
    for (const Case& c : cases) {
        ui::QtDialogs dialogs;
        const ShownBox shown = show(dialogs, c.kind);
        EXPECT_EQ(shown.title, c.title);
        EXPECT_EQ(shown.text, "файл параметров не найден");
        EXPECT_EQ(shown.icon, c.icon);
        EXPECT_EQ(shown.buttons, QMessageBox::Ok);
        EXPECT_EQ(shown.parent, nullptr);
    }
}

// A box is owned by the window only while the window is on screen. Without an owner it must not
// be a dialog: Qt would make a parentless dialog transient for its hidden client-leader window,
// which window managers reject.
TEST(QtDialogs, OwnedByTheWindowOnScreenOtherwiseATopLevelWindow) {
    QWidget owner;
    ui::QtDialogs dialogs;
    dialogs.setOwner(&owner);
    struct Case {
        const char* state;
        form::MessageKind kind;
        bool owned;
    };
    const Case cases[] = {
        {"shown", form::MessageKind::StopError, true},
        {"shown", form::MessageKind::Information, true},
        {"shown", form::MessageKind::StartupError, false},  // start-up errors stand alone
        {"minimised", form::MessageKind::StopError, false},
        {"hidden", form::MessageKind::StopError, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.state);
        const std::string state = c.state;
        owner.setWindowState(state == "minimised" ? Qt::WindowMinimized : Qt::WindowNoState);
        owner.setVisible(state != "hidden");
        const ShownBox shown = show(dialogs, c.kind);
        EXPECT_EQ(shown.parent, c.owned ? &owner : nullptr);
        EXPECT_EQ(shown.dialogType, c.owned);
    }
}

using Hosts = ui::TrayIcon::Hosts;
constexpr Hosts kXEmbedTray{false, true};
constexpr Hosts kStatusNotifierHost{true, false};

// Reasons as the two kinds of host deliver them: a left click, a double click (XEmbed: Trigger
// then DoubleClick; StatusNotifier hosts: two activations), right and middle clicks.
void deliverEveryClick(ui::TrayIcon& tray) {
    using R = QSystemTrayIcon::ActivationReason;
    for (R r : {R::Trigger, R::Trigger, R::DoubleClick, R::Context, R::MiddleClick, R::Unknown})
        emit tray.systemTrayIcon()->activated(r);
}

TEST(TrayIcon, LeftClickRunsOnceAndTheMenuCarriesShowAndClose) {
    for (const Hosts hosts : {kXEmbedTray, kStatusNotifierHost}) {
        const bool xembed = !hosts.statusNotifier;
        SCOPED_TRACE(xembed ? "XEmbed" : "StatusNotifier");
        ui::TrayIcon tray(nullptr, [hosts] { return hosts; });
        int clicks = 0, shows = 0, closes = 0;
        tray.onClick = [&] { ++clicks; };
        tray.onShowWindow = [&] { ++shows; };
        tray.onClose = [&] { ++closes; };
        ASSERT_TRUE(tray.setVisible(true));
        EXPECT_EQ(tray.systemTrayIcon()->toolTip(), "Ombrelin");
        // The host draws the menu Qt exports; an XEmbed tray gets none, since Qt would open it
        // on the press.
        EXPECT_EQ(tray.systemTrayIcon()->contextMenu(), xembed ? nullptr : tray.menu());

        deliverEveryClick(tray);
        EXPECT_EQ(clicks, 1);
        // A click after the double-click interval is a click of its own.
        QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 50);
        emit tray.systemTrayIcon()->activated(QSystemTrayIcon::Trigger);
        EXPECT_EQ(clicks, 2);

        const QList<QAction*> items = tray.menu()->actions();
        ASSERT_EQ(items.size(), 2);
        EXPECT_EQ(items[0]->text(), "Показать окно настроек");
        EXPECT_EQ(items[1]->text(), "Закрыть");
        // On an XEmbed tray the right click opens the menu once the button is up, and runs none
        // of its items; a StatusNotifier host opens its own.
        QTest::qWaitFor([&] { return tray.menu()->isVisible(); }, xembed ? 2000 : 200);
        EXPECT_EQ(tray.menu()->isVisible(), xembed);
        EXPECT_EQ(shows + closes, 0);
        tray.menu()->hide();
        items[0]->trigger();
        EXPECT_EQ(shows, 1);
        EXPECT_EQ(closes, 0);
        items[1]->trigger();
        EXPECT_EQ(closes, 1);
        EXPECT_EQ(clicks, 2);
    }
}

TEST(TrayIcon, ImageFollowsIndexAtOnceAndShowingTakesTheChosenPicture) {
    ui::TrayIcon tray(nullptr, [] { return kXEmbedTray; });
    EXPECT_EQ(tray.imageIndex(), -1);
    tray.setImageIndex(1);  // while hidden only the current image changes
    EXPECT_EQ(tray.currentImage(), 1);
    EXPECT_FALSE(tray.isVisible());

    tray.setIconFromImage(0);
    EXPECT_EQ(tray.currentImage(), 1);  // not shown yet: the picture waits for the show
    tray.setVisible(true);
    EXPECT_TRUE(tray.systemTrayIcon()->isVisible());
    EXPECT_EQ(tray.currentImage(), 0);

    // Shown: a different index changes the icon in place; the index it already has does not.
    tray.setImageIndex(1);
    EXPECT_EQ(tray.currentImage(), 0);
    tray.setImageIndex(0);
    EXPECT_EQ(tray.currentImage(), 0);
    tray.setImageIndex(1);
    EXPECT_EQ(tray.currentImage(), 1);
    EXPECT_EQ(tray.systemTrayIcon()->icon().pixmap(20).toImage(),
              ui::TrayIcon::image(1).pixmap(20).toImage());

    tray.setVisible(false);
    EXPECT_FALSE(tray.systemTrayIcon()->isVisible());
}

// Qt fixes its protocol when the first QSystemTrayIcon is made, so none is made before a host is
// there; once made, the icon serves only hosts of its own protocol.
TEST(TrayIcon, IsMadeForTheFirstHostFoundAndRefusedWithoutOne) {
    Hosts now;
    ui::TrayIcon tray(nullptr, [&now] { return now; });
    tray.setImageIndex(1);
    tray.setIconFromImage(0);
    EXPECT_FALSE(tray.available());
    EXPECT_FALSE(tray.setVisible(true));
    EXPECT_FALSE(tray.isVisible());
    EXPECT_EQ(tray.systemTrayIcon(), nullptr);

    now = kStatusNotifierHost;  // the panel came after the program
    ASSERT_TRUE(tray.setVisible(true));
    EXPECT_EQ(tray.host(), ui::TrayIcon::Host::StatusNotifier);
    // The icon made late shows what was chosen before it existed.
    EXPECT_EQ(tray.currentImage(), 0);
    EXPECT_EQ(tray.systemTrayIcon()->icon().pixmap(20).toImage(),
              ui::TrayIcon::image(0).pixmap(20).toImage());
    EXPECT_EQ(tray.systemTrayIcon()->toolTip(), "Ombrelin");
    tray.setVisible(false);

    now = kXEmbedTray;  // the panel gave way to an XEmbed tray
    EXPECT_FALSE(tray.available());
    EXPECT_FALSE(tray.setVisible(true));
    now = {true, true};  // a panel serving both
    EXPECT_TRUE(tray.setVisible(true));
    EXPECT_EQ(tray.host(), ui::TrayIcon::Host::StatusNotifier);
}

TEST(Assets, PicturesDecodeAtTheirSizes) {
    const QImage photo(":/ombrelin/leaf.jpg");  // needs Qt's jpeg plugin at run time
    EXPECT_EQ(photo.size(), QSize(800, 600));

    for (int size : {16, 20, 24, 32, 40, 48, 64}) {
        const QImage icon(QString(":/ombrelin/icon_%1.png").arg(size));
        EXPECT_EQ(icon.size(), QSize(size, size));
        EXPECT_TRUE(icon.hasAlphaChannel());
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0) << size << ": the ground is transparent";
        EXPECT_GT(qAlpha(icon.pixel(size * 3 / 10, size * 9 / 10)), 0)
            << size << ": something is drawn";
    }

    // Tray images: opaque, white ground; the sound-off one crossed corner to corner in red.
    const QImage off(":/ombrelin/tray_off.png"), on(":/ombrelin/tray_on.png");
    for (const QImage* img : {&off, &on}) {
        EXPECT_EQ(img->size(), QSize(20, 20));
        EXPECT_FALSE(img->hasAlphaChannel());
    }
    auto red = [](QRgb p) { return qRed(p) > 180 && qGreen(p) < 60 && qBlue(p) < 60; };
    int offRed = 0, onRed = 0;
    for (int i = 0; i < 20; ++i) {
        offRed += red(off.pixel(i, i)) + red(off.pixel(19 - i, i));
        onRed += red(on.pixel(i, i)) + red(on.pixel(19 - i, i));
    }
    EXPECT_EQ(offRed, 40);
    EXPECT_EQ(onRed, 0);
    EXPECT_EQ(on.pixel(0, 0), qRgb(255, 255, 255));
}

}  // namespace
