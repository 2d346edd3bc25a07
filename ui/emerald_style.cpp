#include "ui/emerald_style.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleFactory>
#include <QStyleOption>
#include <QVariant>
#include <QWidget>
#include <cmath>

namespace ui {
namespace {

const QColor kDeep(0x0e, 0x5a, 0x36);     // borders, check marks
const QColor kEmerald(0x1f, 0x9d, 0x5c);  // buttons, filled slider track
const QColor kLight(0xe6, 0xf7, 0xec);    // indicator faces
const QColor kWindow(0xa9, 0xdc, 0xbd);   // window ground under the photograph
const QColor kText(0x0b, 0x2a, 0x19);     // window text: dark enough on the light greens

}  // namespace

EmeraldStyle::EmeraldStyle(double scale)
    : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))), m_scale(scale) {}

QPalette EmeraldStyle::emeraldPalette() {
    QPalette p;
    p.setColor(QPalette::Window, kWindow);
    p.setColor(QPalette::WindowText, kText);
    p.setColor(QPalette::Base, kLight);
    p.setColor(QPalette::AlternateBase, kWindow.lighter(110));
    p.setColor(QPalette::Text, kText);
    p.setColor(QPalette::Button, kEmerald.lighter(125));
    p.setColor(QPalette::ButtonText, QColor(0x06, 0x1e, 0x11));
    p.setColor(QPalette::Highlight, kEmerald);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, kLight);
    p.setColor(QPalette::ToolTipText, kText);
    p.setColor(QPalette::Light, kLight);
    p.setColor(QPalette::Midlight, kWindow.lighter(115));
    p.setColor(QPalette::Mid, kEmerald);
    p.setColor(QPalette::Dark, kDeep);
    p.setColor(QPalette::Shadow, kDeep.darker(150));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(0x4f, 0x7a, 0x62));
    p.setColor(QPalette::Disabled, QPalette::Button, kWindow);
    return p;
}

void EmeraldStyle::polish(QPalette& palette) { palette = emeraldPalette(); }

int EmeraldStyle::px(double v) const { return std::max(1, int(std::lround(v * m_scale))); }

int EmeraldStyle::thumbLength(const QWidget* widget) const {
    const QVariant v = widget ? widget->property("thumbLength") : QVariant();
    return v.isValid() ? v.toInt() : px(14);
}

int EmeraldStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                              const QWidget* widget) const {
    switch (metric) {
        case PM_IndicatorWidth:
        case PM_IndicatorHeight:
        case PM_ExclusiveIndicatorWidth:
        case PM_ExclusiveIndicatorHeight:
            return px(13);
        case PM_CheckBoxLabelSpacing:
        case PM_RadioButtonLabelSpacing:
            return px(5);
        case PM_SliderLength:
            return thumbLength(widget);
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

void EmeraldStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                 QPainter* painter, const QWidget* widget) const {
    const bool enabled = option->state & State_Enabled;
    const bool on = option->state & State_On;
    const bool hover = enabled && (option->state & State_MouseOver);
    switch (element) {
        case PE_IndicatorCheckBox: {
            painter->save();
            painter->setRenderHint(QPainter::Antialiasing);
            const QRectF r = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);
            QLinearGradient face(r.topLeft(), r.bottomLeft());
            face.setColorAt(0, hover ? Qt::white : kLight);
            face.setColorAt(1, kLight.darker(108));
            painter->setBrush(enabled ? QBrush(face) : QBrush(kWindow));
            painter->setPen(QPen(enabled ? kDeep : kDeep.lighter(170), 1));
            painter->drawRoundedRect(r, r.width() * 0.18, r.height() * 0.18);
            if (on) {
                QPainterPath tick;
                tick.moveTo(r.left() + r.width() * 0.2, r.top() + r.height() * 0.52);
                tick.lineTo(r.left() + r.width() * 0.42, r.top() + r.height() * 0.74);
                tick.lineTo(r.left() + r.width() * 0.8, r.top() + r.height() * 0.26);
                painter->setBrush(Qt::NoBrush);
                painter->setPen(QPen(enabled ? kEmerald.darker(120) : kDeep.lighter(170),
                                     std::max(1.5, r.width() * 0.16), Qt::SolidLine, Qt::RoundCap,
                                     Qt::RoundJoin));
                painter->drawPath(tick);
            }
            painter->restore();
            return;
        }
        case PE_IndicatorRadioButton: {
            painter->save();
            painter->setRenderHint(QPainter::Antialiasing);
            const QRectF r = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);
            QRadialGradient face(r.center() - QPointF(r.width() * 0.2, r.height() * 0.2),
                                 r.width());
            face.setColorAt(0, hover ? Qt::white : kLight);
            face.setColorAt(1, kLight.darker(112));
            painter->setBrush(enabled ? QBrush(face) : QBrush(kWindow));
            painter->setPen(QPen(enabled ? kDeep : kDeep.lighter(170), 1));
            painter->drawEllipse(r);
            if (on) {
                painter->setPen(Qt::NoPen);
                painter->setBrush(enabled ? kEmerald.darker(115) : kDeep.lighter(170));
                const double d = r.width() * 0.26;
                painter->drawEllipse(r.adjusted(d, d, -d, -d));
            }
            painter->restore();
            return;
        }
        case PE_PanelButtonCommand: {
            painter->save();
            painter->setRenderHint(QPainter::Antialiasing);
            const bool down = option->state & (State_Sunken | State_On);
            const QRectF r = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);
            QLinearGradient face(r.topLeft(), r.bottomLeft());
            QColor top = kEmerald.lighter(hover ? 165 : 150);
            QColor bottom = kEmerald.lighter(hover ? 112 : 100);
            if (down) std::swap(top, bottom);
            if (!enabled) top = bottom = kWindow;
            face.setColorAt(0, top);
            face.setColorAt(1, bottom);
            painter->setBrush(face);
            painter->setPen(QPen(kDeep, 1));
            painter->drawRoundedRect(r, px(3), px(3));
            painter->restore();
            return;
        }
        default:
            QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
}

QRect EmeraldStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                   SubControl sub, const QWidget* widget) const {
    if (control != CC_Slider) return QProxyStyle::subControlRect(control, option, sub, widget);
    const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (!slider) return QProxyStyle::subControlRect(control, option, sub, widget);
    // The groove is the whole widget; the thumb spans its height, so the slider's own
    // pixel-to-value mapping sees exactly the thumb drawn below.
    const QRect r = slider->rect;
    switch (sub) {
        case SC_SliderGroove:
            return r;
        case SC_SliderHandle: {
            const int len = std::min(thumbLength(widget), r.width());
            const int pos =
                sliderPositionFromValue(slider->minimum, slider->maximum, slider->sliderPosition,
                                        r.width() - len, slider->upsideDown);
            return QRect(r.x() + pos, r.y() + px(2), len, r.height() - 2 * px(2));
        }
        default:
            return QRect();
    }
}

QStyle::SubControl EmeraldStyle::hitTestComplexControl(ComplexControl control,
                                                       const QStyleOptionComplex* option,
                                                       const QPoint& pos,
                                                       const QWidget* widget) const {
    if (control == CC_Slider) {
        if (subControlRect(control, option, SC_SliderHandle, widget).contains(pos))
            return SC_SliderHandle;
        if (option->rect.contains(pos)) return SC_SliderGroove;
        return SC_None;
    }
    return QProxyStyle::hitTestComplexControl(control, option, pos, widget);
}

void EmeraldStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                      QPainter* painter, const QWidget* widget) const {
    const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (control != CC_Slider || !slider) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    const bool enabled = option->state & State_Enabled;
    const QRect handle = subControlRect(control, option, SC_SliderHandle, widget);
    const QRectF r = option->rect;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);

    // Track: a recessed channel, emerald up to the thumb.
    const double th = std::max(4.0, 5.0 * m_scale);
    QRectF track(r.left() + 1, r.center().y() - th / 2, r.width() - 2, th);
    painter->setPen(QPen(kDeep, 1));
    painter->setBrush(kLight.darker(115));
    painter->drawRoundedRect(track, th / 2, th / 2);
    QRectF filled = track;
    filled.setRight(handle.center().x());
    painter->setPen(Qt::NoPen);
    painter->setBrush(enabled ? kEmerald : kWindow.darker(115));
    painter->drawRoundedRect(filled.adjusted(1, 1, 0, -1), th / 2 - 1, th / 2 - 1);

    // Thumb: a raised gem-like block.
    const QRectF t = QRectF(handle).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient face(t.topLeft(), t.bottomLeft());
    const bool pressed =
        slider->activeSubControls & SC_SliderHandle && (option->state & State_Sunken);
    face.setColorAt(0, enabled ? kEmerald.lighter(pressed ? 120 : 170) : kWindow);
    face.setColorAt(0.5, enabled ? kEmerald : kWindow.darker(110));
    face.setColorAt(1, enabled ? kDeep : kWindow.darker(120));
    painter->setBrush(face);
    painter->setPen(QPen(kDeep.darker(130), 1));
    painter->drawRoundedRect(t, px(2.5), px(2.5));
    painter->setPen(QPen(QColor(255, 255, 255, 110), 1));
    const double cx = t.center().x();
    painter->drawLine(QPointF(cx, t.top() + t.height() * 0.3),
                      QPointF(cx, t.bottom() - t.height() * 0.3));
    if (option->state & State_HasFocus) {
        painter->setPen(QPen(kDeep, 1, Qt::DotLine));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
    }
    painter->restore();
}

}  // namespace ui
