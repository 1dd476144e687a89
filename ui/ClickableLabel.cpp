#include "ClickableLabel.h"

#include <QMouseEvent>

void ClickableLabel::mousePressEvent(QMouseEvent* event) {
    // Only a single press starts a click.
    m_pressed = m_pressed || event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void ClickableLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    // On a real display the second press of a double click also comes as a
    // press first: the double click takes it back, so its release is no click.
    if (event->button() == Qt::LeftButton) {
        m_pressed = false;
    }
    event->accept();
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
