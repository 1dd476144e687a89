// A picture that acts as a button: the title strip's Photo, Home, Login and
// Close. It reports clicks and the pointer entering and leaving it, takes the
// keyboard's focus (Enter or Space presses it) and is a push button, with its
// name and a press action, to assistive technology.
#pragma once

#include "ClickableLabel.h"

class ImageButton : public ClickableLabel {
    Q_OBJECT
public:
    // name: what a screen reader says, the caption drawn on the picture.
    ImageButton(const QString& name, QWidget* parent);

signals:
    void entered();
    void left();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};
