// The window on a screen of two device pixels per logical one (run with QT_SCALE_FACTOR=2).
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

#include "form/main_form.h"
#include "ui/main_window.h"

namespace {

// Mean difference per channel between the window's pixels and the picture blended at 20 % over
// the window's ground, wherever no control covers the picture.
double meanError(const QWidget& w, const QImage& shot, const QImage& picture,
                 const QColor& ground) {
    double sum = 0;
    int n = 0;
    for (int y = 0; y < shot.height(); y += 3)
        for (int x = 0; x < shot.width(); x += 3) {
            if (w.childAt(x / 2, y / 2)) continue;
            const QColor got = shot.pixelColor(x, y), photo = picture.pixelColor(x, y);
            auto blend = [](int g, int p) { return 0.8 * g + 0.2 * p; };
            sum += std::abs(got.red() - blend(ground.red(), photo.red())) +
                   std::abs(got.green() - blend(ground.green(), photo.green())) +
                   std::abs(got.blue() - blend(ground.blue(), photo.blue()));
            n += 3;
        }
    return sum / n;
}

// At 200 % (192 dpi: layout scale 0.8) the window is 836 x 648 device pixels and the picture,
// 1280 x 960 of them, covers it to the right and bottom edges; it comes from the 2x source, not
// from the design-size one enlarged. At 240 dpi (scale 1) it is the 2x source pixel for pixel.
TEST(HighDpiWindow, PhotographCoversTheWholeWindowSharply) {
    ASSERT_EQ(QGuiApplication::primaryScreen()->devicePixelRatio(), 2.0)
        << "run with QT_SCALE_FACTOR=2";
    form::MainForm form;
    const QImage fine(":/ombrelin/leaf@2x.jpg"), coarse(":/ombrelin/leaf.jpg");
    for (double scale : {0.8, 1.0}) {
        SCOPED_TRACE(scale);
        ui::MainWindow w(form, scale);
        const QImage shot = w.grab().toImage();
        const QSize picture = QSize(1600, 1200) * scale;
        EXPECT_EQ(shot.size(), QSize(2 * std::lround(522 * scale), 2 * std::lround(405 * scale)));
        const QColor ground = w.palette().color(QPalette::Window);
        const double sharp = meanError(
            w, shot, fine.scaled(picture, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), ground);
        const double enlarged = meanError(
            w, shot, coarse.scaled(picture, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
            ground);
        EXPECT_LT(sharp, 2.0);
        EXPECT_LT(sharp, enlarged);
        // The last rows and columns show the picture, not the bare ground.
        const QImage edges[] = {shot.copy(shot.width() - 4, 0, 4, shot.height()),
                                shot.copy(0, shot.height() - 4, shot.width(), 4)};
        for (const QImage& edge : edges) {
            int bare = 0;
            for (int y = 0; y < edge.height(); ++y)
                for (int x = 0; x < edge.width(); ++x) bare += edge.pixelColor(x, y) == ground;
            EXPECT_LT(bare, edge.width() * edge.height() / 10);
        }
    }
}

}  // namespace
