#include "ImageButton.h"

#include "ScreenPixelsAccessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QPainter>
#include <QPen>

namespace {

// A picture button to assistive technology: role, name, its place in the
// screen's pixels, and a press action while it is shown and enabled; a hidden
// or disabled button offers none and does nothing.
class AccessibleImageButton : public ScreenPixelsAccessible {
public:
    explicit AccessibleImageButton(ImageButton* button)
        : ScreenPixelsAccessible(button, QAccessible::Button) {}
    QStringList actionNames() const override {
        return pressable() ? QStringList{pressAction()} + QAccessibleWidget::actionNames()
                           : QStringList();
    }
    void doAction(const QString& name) override {
        if (!pressable()) {
            return;
        }
        if (name == pressAction()) {
            emit static_cast<ImageButton*>(widget())->clicked();
            return;
        }
        QAccessibleWidget::doAction(name);
    }

private:
    bool pressable() const { return widget()->isVisible() && widget()->isEnabled(); }
};

QAccessibleInterface* AccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("ImageButton") && object != nullptr && object->isWidgetType()) {
        return new AccessibleImageButton(static_cast<ImageButton*>(object));
    }
    return nullptr;
}

} // namespace

ImageButton::ImageButton(const QString& name, QWidget* parent) : ClickableLabel(parent) {
    // Assistive technology asks the factory for every ImageButton.
    static const bool registered = (QAccessible::installFactory(AccessibleFactory), true);
    (void)registered;
    setFixedSize(60, 60);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_TranslucentBackground);
    setAccessibleName(name);
    setFocusPolicy(Qt::TabFocus);
}

void ImageButton::enterEvent(QEnterEvent* event) {
    emit entered();
    ClickableLabel::enterEvent(event);
}

void ImageButton::leaveEvent(QEvent* event) {
    emit left();
    ClickableLabel::leaveEvent(event);
}

void ImageButton::keyPressEvent(QKeyEvent* event) {
    if (!event->isAutoRepeat() &&
        (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
         event->key() == Qt::Key_Space)) {
        emit clicked();
        return;
    }
    ClickableLabel::keyPressEvent(event);
}

void ImageButton::paintEvent(QPaintEvent* event) {
    ClickableLabel::paintEvent(event);
    if (hasFocus()) {
        // The keyboard's place, as on any button.
        // White on the dark title strip, dotted like the platform's own.
        QPainter painter(this);
        painter.setPen(QPen(Qt::white, 2, Qt::DotLine));
        painter.drawRoundedRect(QRectF(rect()).adjusted(2, 2, -2, -2), 4, 4);
    }
}
