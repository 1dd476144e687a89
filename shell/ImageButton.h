// A picture that acts as a button: the title strip's Photo, Home, Login and
// Close. It reports clicks and the pointer entering and leaving it.
#pragma once

#include <QLabel>

class ImageButton : public QLabel {
    Q_OBJECT
public:
    explicit ImageButton(QWidget* parent = nullptr);

signals:
    void clicked();
    void entered();
    void left();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // A click is a press and its release: the release that ends a double
    // click acts no second time.
    bool m_pressed = false;
};

// A label that reports left clicks: the error panel's retry link.
class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_pressed = false; // as for ImageButton
};
