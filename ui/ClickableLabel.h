// A label that reports left clicks: the error panel's retry link, and the base
// of the title strip's picture buttons.
#pragma once

#include <QLabel>

class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    // A click is a press and its release: the release that ends a double
    // click acts no second time, as on the original platform's controls.
    bool m_pressed = false;
};
