// The camera window's picture area: the live picture, letterboxed, or what
// the camera is doing instead (opening, or no picture any more). The pictures
// come converted from the control; the area only paints them.
#pragma once

#include <QImage>
#include <QWidget>

class CameraView : public QWidget {
    Q_OBJECT
public:
    enum class State {
        Idle,    // no camera open: black
        Waiting, // a camera is opening: black with a hint
        Live,    // the newest picture
        Stopped, // the camera stopped: the last picture dimmed, with a note
    };

    // The texts the area shows.
    static const QString kWaitingText;
    static const QString kStoppedText;

    explicit CameraView(QWidget* parent = nullptr);

    State state() const { return m_state; }
    void setState(State state);
    // The newest picture, already fitted to the area (see pictureSize).
    void setPicture(QImage picture);
    // The size in device pixels a picture of frameSize takes in the area:
    // as large as fits, in its own proportions.
    QSize pictureSize(QSize frameSize) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    State m_state = State::Idle;
    QImage m_picture;
};
