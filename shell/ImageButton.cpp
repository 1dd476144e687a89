#include "ImageButton.h"

#include <QMouseEvent>

ImageButton::ImageButton(QWidget* parent) : QLabel(parent) {
    setFixedSize(60, 60);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_TranslucentBackground);
}

void ImageButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
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

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
    }
    QLabel::mouseReleaseEvent(event);
}
