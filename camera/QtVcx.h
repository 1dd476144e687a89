// The video-capture control over Qt Multimedia: the device list is a snapshot
// taken when the object is made, a connection waits (at most a few seconds)
// until the camera runs or fails, the preview is a QVideoWidget, and a frame is
// written to a temporary file beside the target and renamed over it, so that a
// complete file exists when WriteFrameJpeg returns.
#pragma once

#include "Vcx.h"

#include <QCameraDevice>
#include <QList>
#include <QMediaCaptureSession>
#include <QObject>
#include <QPointer>
#include <QVideoFrame>

#include <memory>

class QCamera;
class QVideoWidget;

class QtVcx : public QObject, public Vcx {
    Q_OBJECT
public:
    explicit QtVcx(QWidget* parent = nullptr);
    ~QtVcx() override;

    QWidget* widget() override;
    int CountVideoDevices() override;
    QString VideoDeviceNameAt(int index) override;
    int VideoDeviceIndex() override { return m_index; }
    void setVideoDeviceIndex(int index) override { m_index = index; }
    bool Connected() override;
    void setConnected(bool connected) override;
    void setPreview(bool preview) override;
    bool ApplyFrameSize(int width, int height) override;
    bool WriteFrameJpeg(const QString& path, int quality) override;

private:
    void close();

    QList<QCameraDevice> m_devices;
    int m_index = 0;
    QMediaCaptureSession m_session;
    std::unique_ptr<QCamera> m_camera;
    QPointer<QVideoWidget> m_view; // the picture's widget; deleted with this object
    QVideoFrame m_lastFrame;
};
