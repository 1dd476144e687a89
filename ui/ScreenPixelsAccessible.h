// A widget to assistive technology with its place in the screen's own pixels.
//
// Qt 6.4 hands the AT-SPI bridge the places of widgets in device-independent
// pixels: with a scale factor (QT_SCALE_FACTOR=2) a screen reader, magnifier or
// click tool would look for a button at half its place. This interface gives
// the place the X server and the compositor use.
#pragma once

#include <QAccessibleWidget>
#include <QScreen>
#include <QWidget>

class ScreenPixelsAccessible : public QAccessibleWidget {
public:
    ScreenPixelsAccessible(QWidget* widget, QAccessible::Role role)
        : QAccessibleWidget(widget, role) {}

    QRect rect() const override {
        const QRect logical = QAccessibleWidget::rect();
        const QWidget* shown = widget();
        const QScreen* screen = shown != nullptr ? shown->screen() : nullptr;
        const qreal ratio = shown != nullptr ? shown->devicePixelRatioF() : 1.0;
        if (screen == nullptr || ratio == 1.0 || logical.isNull()) {
            return logical;
        }
        // Scaled about the screen's own corner, which keeps its place.
        const QPoint corner = screen->geometry().topLeft();
        const QPointF topLeft = corner + QPointF(logical.topLeft() - corner) * ratio;
        return QRectF(topLeft, QSizeF(logical.size()) * ratio).toAlignedRect();
    }
};
