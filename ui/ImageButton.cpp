#include "ImageButton.h"

ImageButton::ImageButton(QWidget* parent) : ClickableLabel(parent) {
    setFixedSize(60, 60);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_TranslucentBackground);
}

void ImageButton::enterEvent(QEnterEvent* event) {
    emit entered();
    ClickableLabel::enterEvent(event);
}

void ImageButton::leaveEvent(QEvent* event) {
    emit left();
    ClickableLabel::leaveEvent(event);
}
