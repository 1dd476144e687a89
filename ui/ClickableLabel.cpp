#include "ClickableLabel.h"

#include <QMouseEvent>

void ClickableLabel::mousePressEvent(QMouseEvent* event) {
    // Only a single press starts a click: a double click arrives as its own event.
    m_pressed = m_pressed || event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        m_pressed = false;
    }
    if (click) {
        emit clicked();
    }
    QLabel::mouseReleaseEvent(event);
}
