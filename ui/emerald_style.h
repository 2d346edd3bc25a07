// The window's one built-in skin, "Emerald": a palette of emerald greens over Fusion, with its
// own check boxes, radio buttons, push buttons and sliders. Purely a look; no behaviour depends on
// it. The slider thumb length comes from each slider's "thumbLength" property (pixels), since the
// master slider's thumb is longer than the layer sliders'. UI thread only.
#pragma once

#include <QPalette>
#include <QProxyStyle>

namespace ui {

class EmeraldStyle : public QProxyStyle {
public:
    // scale: device-independent pixels per design pixel (logical DPI / 120).
    explicit EmeraldStyle(double scale);

    static QPalette emeraldPalette();

    void polish(QPalette& palette) override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override;
    SubControl hitTestComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                     const QPoint& pos, const QWidget* widget) const override;

private:
    int px(double v) const;
    int thumbLength(const QWidget* widget) const;

    double m_scale;
};

}  // namespace ui
