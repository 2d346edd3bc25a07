#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QMessageBox>
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
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::Question;
        QMessageBox::StandardButtons buttons;
        QWidget* parent = reinterpret_cast<QWidget*>(1);
        // Inspect the box from inside its own event loop, then dismiss it with OK.
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            probe.stop();
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = box->standardButtons();
            parent = box->parentWidget();
            box->button(QMessageBox::Ok)->click();
        });
        probe.start(5);
        ui::QtDialogs().showMessage(c.kind, "Ombrelin", "файл параметров не найден");
        EXPECT_EQ(title, c.title);
        EXPECT_EQ(text, "файл параметров не найден");
        EXPECT_EQ(icon, c.icon);
        EXPECT_EQ(buttons, QMessageBox::Ok);
        EXPECT_EQ(parent, nullptr);
    }
}

TEST(TrayIcon, LeftClickRunsOnceAndTheMenuCarriesShowAndClose) {
    ui::TrayIcon tray;
    int clicks = 0, shows = 0, closes = 0;
    tray.onClick = [&] { ++clicks; };
    tray.onShowWindow = [&] { ++shows; };
    tray.onClose = [&] { ++closes; };
    EXPECT_EQ(tray.systemTrayIcon()->toolTip(), "Ombrelin");

    using R = QSystemTrayIcon::ActivationReason;
    // A double click arrives as Trigger then DoubleClick; right and middle clicks run nothing.
    for (R r : {R::Trigger, R::DoubleClick, R::Context, R::MiddleClick, R::Unknown})
        emit tray.systemTrayIcon()->activated(r);
    EXPECT_EQ(clicks, 1);

    const QList<QAction*> items = tray.menu()->actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0]->text(), "Показать окно настроек");
    EXPECT_EQ(items[1]->text(), "Закрыть");
    // The right click opens the menu once the button is up, and runs none of its items.
    QElapsedTimer waited;
    waited.start();
    while (!tray.menu()->isVisible() && waited.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(tray.menu()->isVisible());
    EXPECT_EQ(shows + closes, 0);
    tray.menu()->hide();
    items[0]->trigger();
    EXPECT_EQ(shows, 1);
    EXPECT_EQ(closes, 0);
    items[1]->trigger();
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(clicks, 1);
}

TEST(TrayIcon, ImageFollowsIndexAtOnceAndShowingTakesTheChosenPicture) {
    ui::TrayIcon tray;
    EXPECT_EQ(tray.imageIndex(), -1);
    tray.setImageIndex(1);  // while hidden only the current image changes
    EXPECT_EQ(tray.currentImage(), 1);
    EXPECT_FALSE(tray.isVisible());
    EXPECT_FALSE(tray.systemTrayIcon()->isVisible());

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
