// The video-capture control over Qt Multimedia.
//
// The device list is a snapshot taken when the object is made. Pictures come
// from a video sink of the control's own, attached to the capture session; it
// keeps the newest picture for a photo and passes each on to the preview
// widget. A device counts as connected only once it delivers pictures: Qt's
// GStreamer back end calls a camera active as soon as it is asked to start,
// whether or not the device ever runs. No call waits: the outcome of a
// connection arrives through connectedChanged and errorOccurred.
#pragma once

#include "Vcx.h"

#include <QCamera>
#include <QCameraDevice>
#include <QElapsedTimer>
#include <QList>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QPointer>
#include <QTimer>
#include <QVideoFrame>
#include <QVideoSink>

#include <memory>

class QVideoWidget;

class QtVcx : public Vcx {
    Q_OBJECT
public:
    // How long a device may take to deliver its first picture, and how long a
    // running device may stay silent, before it counts as failed.
    static constexpr int kStartTimeoutMs = 5000;
    static constexpr int kSilenceTimeoutMs = 3000;

    explicit QtVcx(int startTimeoutMs = kStartTimeoutMs);
    ~QtVcx() override;

    QWidget* createPreview(QWidget* parent) override;
    QWidget* previewWidget() override;
    int CountVideoDevices() override;
    QString VideoDeviceNameAt(int index) override;
    int VideoDeviceIndex() override { return m_index; }
    void setVideoDeviceIndex(int index) override { m_index = index; }
    bool Connected() override { return m_state == State::Running; }
    void setConnected(bool connected) override;
    void setPreview(bool preview) override;
    bool ApplyFrameSize(int width, int height) override;
    bool WriteFrameJpeg(const QString& path, int quality) override;

private:
    enum class State { Closed, Starting, Running };

    void handleFrame(unsigned generation, const QVideoFrame& frame);
    void handleCameraError(QCamera::Error error, const QString& text);
    void handleVideoInputsChanged();
    void handleWatchdog();
    // Closes the device and reports why it failed.
    void fail(const QString& description);
    // Closes the device; true when it was running.
    bool close();

    QList<QCameraDevice> m_devices;
    int m_index = 0;
    int m_startTimeoutMs;
    State m_state = State::Closed;
    unsigned m_generation = 0; // tells pictures of an earlier connection apart
    QMediaCaptureSession m_session;
    QVideoSink m_sink;
    std::unique_ptr<QCamera> m_camera;
    QPointer<QVideoWidget> m_view; // the preview, owned by the window that shows it
    QVideoFrame m_lastFrame;
    QElapsedTimer m_sinceStart;
    QElapsedTimer m_sinceFrame;
    QTimer m_watchdog;
    QMediaDevices m_mediaDevices;
};
