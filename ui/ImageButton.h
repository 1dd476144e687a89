// A picture that acts as a button: the title strip's Photo, Home, Login and
// Close. It reports clicks and the pointer entering and leaving it.
#pragma once

#include "ClickableLabel.h"

class ImageButton : public ClickableLabel {
    Q_OBJECT
public:
    explicit ImageButton(QWidget* parent = nullptr);

signals:
    void entered();
    void left();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
};
