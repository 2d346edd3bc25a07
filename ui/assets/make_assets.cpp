// Renders the window's pictures: the background photograph (a birch leaf on its twig against a
// blurred forest ground), the tent-and-fir icon at every installed size and the two tray images.
// Everything is procedural, so the pictures can be remade from this file alone; the outputs are
// committed and the program's build never runs this tool (make_assets.sh does).
#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Separable box blur, run three times: close enough to a Gaussian for out-of-focus areas.
void boxBlurPass(QImage& img, int r, bool horizontal) {
    const int w = img.width(), h = img.height();
    QImage src = img.copy();
    const int outer = horizontal ? h : w;
    const int inner = horizontal ? w : h;
    for (int o = 0; o < outer; ++o) {
        auto at = [&](int i) -> QRgb {
            i = std::clamp(i, 0, inner - 1);
            return horizontal ? reinterpret_cast<const QRgb*>(src.constScanLine(o))[i]
                              : reinterpret_cast<const QRgb*>(src.constScanLine(i))[o];
        };
        long sa = 0, sr = 0, sg = 0, sb = 0;
        for (int i = -r; i <= r; ++i) {
            QRgb p = at(i);
            sa += qAlpha(p), sr += qRed(p), sg += qGreen(p), sb += qBlue(p);
        }
        const int n = 2 * r + 1;
        for (int i = 0; i < inner; ++i) {
            QRgb out = qRgba(sr / n, sg / n, sb / n, sa / n);
            if (horizontal)
                reinterpret_cast<QRgb*>(img.scanLine(o))[i] = out;
            else
                reinterpret_cast<QRgb*>(img.scanLine(i))[o] = out;
            QRgb add = at(i + r + 1), sub = at(i - r);
            sa += qAlpha(add) - qAlpha(sub), sr += qRed(add) - qRed(sub);
            sg += qGreen(add) - qGreen(sub), sb += qBlue(add) - qBlue(sub);
        }
    }
}

void blur(QImage& img, int r) {
    if (r <= 0) return;
    for (int k = 0; k < 3; ++k) {
        boxBlurPass(img, r, true);
        boxBlurPass(img, r, false);
    }
}

// A birch leaf outline in leaf coordinates: base at the origin, tip at (len, 0). Broadest a
// third of the way up, wedge-shaped at the base, long-pointed tip, doubly serrate margin.
QPainterPath leafOutline(double len, double width) {
    QPainterPath path;
    const int steps = 480;
    auto halfWidth = [&](double t) {
        const double body = std::pow(t, 0.62) * std::pow(1.0 - t, 1.25);
        return width * 0.5 * body / 0.4;
    };
    auto tooth = [&](double t) {
        const double teeth = 26.0;
        double f = std::fmod(t * teeth, 1.0);
        double saw = (f < 0.75) ? f / 0.75 : (1.0 - f) / 0.25;  // slow rise, sharp drop
        int idx = static_cast<int>(t * teeth);
        double big = (idx % 2 == 0) ? 1.0 : 0.55;
        return saw * big * len * 0.012 * std::min(1.0, t * 6.0) * std::min(1.0, (1.0 - t) * 8.0);
    };
    for (int side = 0; side < 2; ++side) {
        for (int i = 0; i <= steps; ++i) {
            double t = side == 0 ? double(i) / steps : 1.0 - double(i) / steps;
            double y = halfWidth(t) + tooth(t + side * 0.013);
            QPointF p(t * len, side == 0 ? -y : y);
            if (side == 0 && i == 0)
                path.moveTo(p);
            else
                path.lineTo(p);
        }
    }
    path.closeSubpath();
    return path;
}

// Paints one leaf into a transparent layer: base colour with lighting, darker margin, a pale
// midrib and lateral veins running into the teeth, and fine cell texture.
void paintLeaf(QImage& layer, const QTransform& place, double len, double width, double light,
               std::mt19937& rng) {
    QPainter p(&layer);
    p.setRenderHint(QPainter::Antialiasing);
    p.setTransform(place);
    const QPainterPath outline = leafOutline(len, width);

    QLinearGradient body(0, -width * 0.5, len * 0.3, width * 0.5);
    body.setColorAt(0.0, QColor::fromHsvF(0.24, 0.80, std::min(1.0, 0.92 * light)));
    body.setColorAt(0.55, QColor::fromHsvF(0.26, 0.85, 0.78 * light));
    body.setColorAt(1.0, QColor::fromHsvF(0.28, 0.90, 0.55 * light));
    p.fillPath(outline, body);

    // Sun on the upper half, shade toward the edge and the tip.
    p.setClipPath(outline);
    QRadialGradient sun(QPointF(len * 0.38, -width * 0.12), len * 0.55);
    sun.setColorAt(0.0, QColor(255, 255, 200, int(95 * light)));
    sun.setColorAt(1.0, QColor(255, 255, 200, 0));
    p.fillRect(QRectF(0, -width, len, 2 * width), sun);
    // The blade folds slightly along the midrib: one half faces the light, the other turns away.
    QLinearGradient fold(0, -width * 0.5, 0, width * 0.5);
    fold.setColorAt(0.0, QColor(255, 255, 220, 0));
    fold.setColorAt(0.48, QColor(255, 255, 220, 30));
    fold.setColorAt(0.52, QColor(0, 30, 0, 40));
    fold.setColorAt(1.0, QColor(0, 30, 0, 70));
    p.fillRect(QRectF(0, -width, len, 2 * width), fold);
    QPen rim(QColor(20, 60, 10, 60), width * 0.02);
    p.strokePath(outline, rim);

    // Veins: pale lines with a thin shadow below, so they read as slightly raised.
    auto vein = [&](const QPainterPath& v, double w) {
        p.strokePath(v.translated(0, w * 0.6),
                     QPen(QColor(25, 70, 10, 70), w, Qt::SolidLine, Qt::RoundCap));
        p.strokePath(v, QPen(QColor(225, 245, 150, 115), w, Qt::SolidLine, Qt::RoundCap));
    };
    QPainterPath midrib;
    midrib.moveTo(0, 0);
    midrib.quadTo(len * 0.5, -width * 0.03, len * 0.97, 0);
    vein(midrib, len * 0.009);
    for (int side = -1; side <= 1; side += 2) {
        for (int k = 0; k < 8; ++k) {
            double t0 = 0.05 + k * 0.09;
            double t1 = std::min(0.93, t0 + 0.17);
            double y1 = side * width * 0.5 * std::pow(t1, 0.62) * std::pow(1 - t1, 1.25) / 0.4;
            QPainterPath v;
            v.moveTo(len * t0, 0);
            v.cubicTo(len * (t0 + 0.05), side * width * 0.12, len * (t1 - 0.06), y1 * 0.75,
                      len * t1, y1 * 0.93);
            vein(v, len * 0.0045);
            // Finer veinlets branching towards the margin.
            for (int b = 1; b <= 2; ++b) {
                double tb = t0 + (t1 - t0) * (0.3 * b);
                QPointF from(len * tb, side * width * 0.12 * b * 0.9);
                QPainterPath twig;
                twig.moveTo(from);
                twig.lineTo(from + QPointF(len * 0.06, side * width * 0.10));
                p.strokePath(twig, QPen(QColor(215, 240, 140, 90), len * 0.002));
            }
        }
    }
    // Cell texture: many faint dots.
    std::uniform_real_distribution<double> ux(0, len), uy(-width * 0.5, width * 0.5), ua(0.0, 1.0);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 9000; ++i) {
        QPointF at(ux(rng), uy(rng));
        p.setBrush(ua(rng) < 0.5 ? QColor(255, 255, 210, 18) : QColor(0, 40, 0, 22));
        p.drawEllipse(at, 1.4, 1.4);
    }
}

void addNoise(QImage& img, double amount, std::mt19937& rng) {
    std::normal_distribution<double> n(0.0, amount);
    for (int y = 0; y < img.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            double g = n(rng);
            auto c = [&](int v) { return std::clamp(int(std::lround(v + g)), 0, 255); };
            line[x] = qRgb(c(qRed(line[x])), c(qGreen(line[x])), c(qBlue(line[x])));
        }
    }
}

// The photograph at k times its 800 x 600 design size (k = 2 for screens at 200 %): the same
// scene, drawn at the finer resolution rather than enlarged.
QImage photograph(int k) {
    std::mt19937 rng(20240611);
    const int w = 800 * k, h = 600 * k;

    // Out-of-focus forest: dark greens, a few soft light patches and bokeh discs.
    QImage ground(w, h, QImage::Format_ARGB32_Premultiplied);
    {
        QPainter p(&ground);
        p.scale(k, k);
        QLinearGradient base(0, 0, 800 * 0.3, 600);
        base.setColorAt(0.0, QColor(22, 52, 24));
        base.setColorAt(0.5, QColor(14, 40, 18));
        base.setColorAt(1.0, QColor(8, 26, 12));
        const QRect all(0, 0, 800, 600);
        p.fillRect(all, base);
        std::uniform_real_distribution<double> ux(0, 800), uy(0, 600), ur(30, 140), ua(0, 1);
        for (int i = 0; i < 34; ++i) {
            QPointF c(ux(rng), uy(rng));
            double r = ur(rng);
            QRadialGradient g(c, r);
            QColor col = QColor::fromHsvF(0.22 + 0.1 * ua(rng), 0.7, 0.25 + 0.35 * ua(rng));
            col.setAlpha(int(90 + 80 * ua(rng)));
            g.setColorAt(0.0, col);
            col.setAlpha(0);
            g.setColorAt(1.0, col);
            p.fillRect(all, g);
        }
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 14; ++i) {
            QColor col = QColor::fromHsvF(0.17 + 0.08 * ua(rng), 0.45, 0.75);
            col.setAlpha(int(40 + 40 * ua(rng)));
            p.setBrush(col);
            double r = 12 + 26 * ua(rng);
            p.drawEllipse(QPointF(ux(rng), uy(rng) * 0.7), r, r);
        }
    }
    blur(ground, 14 * k);

    // The second, smaller leaf sits further back at the right edge: softer focus.
    QImage back(w, h, QImage::Format_ARGB32_Premultiplied);
    back.fill(Qt::transparent);
    {
        QTransform t;
        t.scale(k, k);
        t.translate(735, 210);
        t.rotate(68);
        paintLeaf(back, t, 260, 190, 0.78, rng);
    }
    blur(back, 3 * k);

    // The twig across the top left, and the main leaf hanging from it to the lower right.
    QImage front(w, h, QImage::Format_ARGB32_Premultiplied);
    front.fill(Qt::transparent);
    {
        QPainter p(&front);
        p.scale(k, k);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath twig;
        twig.moveTo(-20, 70);
        twig.cubicTo(120, 40, 250, 90, 420, 40);
        twig.cubicTo(520, 12, 600, 20, 660, -10);
        QLinearGradient bark(0, 30, 0, 90);
        bark.setColorAt(0.0, QColor(120, 84, 58));
        bark.setColorAt(1.0, QColor(56, 36, 24));
        p.strokePath(twig, QPen(QBrush(bark), 11, Qt::SolidLine, Qt::RoundCap));
        p.strokePath(twig.translated(0, -2.5), QPen(QColor(190, 160, 130, 120), 2.5));
        // Lenticels: the pale dashes on young birch bark.
        p.setPen(QPen(QColor(215, 200, 175, 170), 1.6));
        for (int i = 0; i < 28; ++i) {
            QPointF at = twig.pointAtPercent(0.03 + i * 0.034);
            p.drawLine(at + QPointF(-2.5, 0.5), at + QPointF(2.5, -0.5));
        }
        QPainterPath petiole;
        petiole.moveTo(205, 68);
        petiole.quadTo(200, 95, 175, 128);
        p.strokePath(petiole, QPen(QColor(110, 120, 40), 5, Qt::SolidLine, Qt::RoundCap));
    }
    {
        QTransform t;
        t.scale(k, k);
        t.translate(172, 126);
        t.rotate(38);
        paintLeaf(front, t, 650, 480, 1.0, rng);
    }
    blur(front, k);

    QImage out(w, h, QImage::Format_RGB32);
    {
        QPainter p(&out);
        p.drawImage(0, 0, ground);
        p.drawImage(0, 0, back);
        // Soft cast light around the leaf, as if the sun came from the top left.
        QRadialGradient glow(QPointF(330, 260) * k, 420 * k);
        glow.setColorAt(0.0, QColor(200, 255, 120, 26));
        glow.setColorAt(1.0, QColor(200, 255, 120, 0));
        p.fillRect(out.rect(), glow);
        p.drawImage(0, 0, front);
        QRadialGradient vignette(QPointF(w * 0.45, h * 0.45), w * 0.75);
        vignette.setColorAt(0.6, QColor(0, 0, 0, 0));
        vignette.setColorAt(1.0, QColor(0, 0, 0, 110));
        p.fillRect(out.rect(), vignette);
    }
    addNoise(out, 3.0, rng);
    return out;
}

// The tent-and-fir picture on a 64-unit square: a green tent seen from the front on the left, a
// tall teal fir leaning to the right behind it on the right, brown trunk, nothing else.
void paintTentAndFir(QPainter& p, double size) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    // Fir: stacked tiers about an axis tilted to the right.
    p.save();
    p.translate(44, 61);
    p.rotate(9);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(110, 62, 28));
    p.drawRect(QRectF(-2.6, -12, 5.2, 12));
    const QColor fir(18, 128, 122), firDark(10, 88, 86);
    for (int tier = 0; tier < 4; ++tier) {
        double base = -9 - tier * 10.5;
        double half = 14.5 - tier * 3.0;
        QPainterPath t;
        t.moveTo(-half, base);
        t.lineTo(0, base - 18);
        t.lineTo(half, base);
        t.closeSubpath();
        QLinearGradient g(-half, 0, half, 0);
        g.setColorAt(0.0, fir.lighter(118));
        g.setColorAt(1.0, firDark);
        p.setBrush(g);
        p.setPen(QPen(firDark.darker(130), 0.8));
        p.drawPath(t);
    }
    p.restore();

    // Tent: front triangle with an open door, a ridge pole tip and guy lines.
    QPainterPath tent;
    tent.moveTo(2, 61);
    tent.lineTo(19, 30);
    tent.lineTo(36, 61);
    tent.closeSubpath();
    QLinearGradient tg(2, 0, 36, 0);
    tg.setColorAt(0.0, QColor(120, 200, 60));
    tg.setColorAt(1.0, QColor(50, 140, 30));
    p.setBrush(tg);
    p.setPen(QPen(QColor(30, 90, 20), 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tent);
    QPainterPath door;
    door.moveTo(13, 61);
    door.lineTo(19, 42);
    door.lineTo(25, 61);
    door.closeSubpath();
    p.setBrush(QColor(24, 70, 18));
    p.setPen(Qt::NoPen);
    p.drawPath(door);
    p.setPen(QPen(QColor(90, 60, 30), 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(19, 30), QPointF(19, 26.5));
    p.restore();
}

QImage icon(int size) {
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    paintTentAndFir(p, size);
    return img;
}

QImage trayImage(bool crossed) {
    QImage img(20, 20, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    paintTentAndFir(p, 20);
    if (crossed) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(QColor(220, 0, 0), 1));
        p.drawLine(0, 0, 19, 19);
        p.drawLine(19, 0, 0, 19);
    }
    return img;
}

bool save(const QImage& img, const QString& path, const char* format, int quality = -1) {
    if (img.save(path, format, quality)) return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    bool ok = save(photograph(1), dir + "/leaf.jpg", "JPEG", 82);
    ok &= save(photograph(2), dir + "/leaf@2x.jpg", "JPEG", 82);
    for (int size : {16, 20, 24, 32, 40, 48, 64, 128})
        ok &= save(icon(size), QString("%1/icon_%2.png").arg(dir).arg(size), "PNG");
    ok &= save(trayImage(true), dir + "/tray_off.png", "PNG");
    ok &= save(trayImage(false), dir + "/tray_on.png", "PNG");
    return ok ? 0 : 1;
}
