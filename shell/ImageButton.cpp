#include "ImageButton.h"

#include <QMouseEvent>

ImageButton::ImageButton(QWidget* parent) : QLabel(parent) {
    setFixedSize(60, 60);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_TranslucentBackground);
}

namespace {

// Whether a release completes a left click begun by a press (not by the
// second press of a double click) inside the widget.
bool CompletesClick(const QWidget* widget, const QMouseEvent* release, bool& pressed) {
    const bool click = pressed && release->button() == Qt::LeftButton &&
                       widget->rect().contains(release->position().toPoint());
    if (release->button() == Qt::LeftButton) {
        pressed = false;
    }
    return click;
}

} // namespace

void ImageButton::mousePressEvent(QMouseEvent* event) {
    // Only a single press starts a click: a double click arrives as its own event.
    m_pressed = m_pressed || event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void ImageButton::mouseReleaseEvent(QMouseEvent* event) {
    if (CompletesClick(this, event, m_pressed)) {
        emit clicked();
    }
    QLabel::mouseReleaseEvent(event);
}

void ImageButton::enterEvent(QEnterEvent* event) {
    emit entered();
    QLabel::enterEvent(event);
}

void ImageButton::leaveEvent(QEvent* event) {
    emit left();
    QLabel::leaveEvent(event);
}

void ClickableLabel::mousePressEvent(QMouseEvent* event) {
    m_pressed = m_pressed || event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (CompletesClick(this, event, m_pressed)) {
        emit clicked();
    }
    QLabel::mouseReleaseEvent(event);
}
