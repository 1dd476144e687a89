#include "QtVcx.h"

#include <QCamera>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QMediaDevices>
#include <QTimer>
#include <QVideoSink>
#include <QVideoWidget>

#include <cstdio>

namespace {
// How long opening a device may take before it counts as failed.
constexpr int kConnectTimeoutMs = 5000;
} // namespace

QtVcx::QtVcx(QWidget* parent)
    : m_devices(QMediaDevices::videoInputs()), m_view(new QVideoWidget(parent)) {
    m_session.setVideoOutput(m_view);
    // Keep the newest frame for a capture.
    connect(m_view->videoSink(), &QVideoSink::videoFrameChanged, this,
            [this](const QVideoFrame& frame) { m_lastFrame = frame; });
    // A camera unplugged while open: close it, so the next capture writes nothing.
    connect(new QMediaDevices(this), &QMediaDevices::videoInputsChanged, this, [this] {
        if (m_camera && !QMediaDevices::videoInputs().contains(m_camera->cameraDevice())) {
            close();
        }
    });
}

QtVcx::~QtVcx() {
    close();
    m_session.setVideoOutput(nullptr);
    delete m_view.data(); // unless a window that still held it deleted it already
}

QWidget* QtVcx::widget() {
    return m_view;
}

int QtVcx::CountVideoDevices() {
    return static_cast<int>(m_devices.size());
}

QString QtVcx::VideoDeviceNameAt(int index) {
    if (index < 0 || index >= m_devices.size()) {
        throw VcxError("no video device number " + std::to_string(index));
    }
    return m_devices.at(index).description();
}

bool QtVcx::Connected() {
    return m_camera && m_camera->isActive();
}

void QtVcx::setConnected(bool connected) {
    if (!connected) {
        close();
        return;
    }
    if (m_index < 0 || m_index >= m_devices.size()) {
        throw VcxError("no video device number " + std::to_string(m_index));
    }
    close();
    m_camera = std::make_unique<QCamera>(m_devices.at(m_index));
    m_session.setCamera(m_camera.get());
    connect(m_camera.get(), &QCamera::errorOccurred, this, [this] { m_lastFrame = QVideoFrame(); });

    // Wait, with a bound, until the camera runs or has failed.
    QEventLoop wait;
    QTimer timeout;
    timeout.setSingleShot(true);
    connect(&timeout, &QTimer::timeout, &wait, &QEventLoop::quit);
    connect(m_camera.get(), &QCamera::activeChanged, &wait, &QEventLoop::quit);
    connect(m_camera.get(), &QCamera::errorOccurred, &wait, &QEventLoop::quit);
    m_camera->start();
    if (!m_camera->isActive() && m_camera->error() == QCamera::NoError) {
        timeout.start(kConnectTimeoutMs);
        wait.exec(QEventLoop::ExcludeUserInputEvents);
    }
}

void QtVcx::setPreview(bool preview) {
    m_view->setVisible(preview);
}

bool QtVcx::ApplyFrameSize(int width, int height) {
    if (!m_camera) {
        return false;
    }
    for (const QCameraFormat& format : m_camera->cameraDevice().videoFormats()) {
        if (format.resolution() == QSize(width, height)) {
            m_camera->setCameraFormat(format);
            return true;
        }
    }
    return false;
}

bool QtVcx::WriteFrameJpeg(const QString& path, int quality) {
    if (!Connected() || !m_lastFrame.isValid()) {
        return false;
    }
    const QImage image = m_lastFrame.toImage();
    if (image.isNull()) {
        return false;
    }
    // A complete file or none: written beside the target, then renamed over it.
    const QString part = path + QStringLiteral(".part");
    if (!image.save(part, "JPEG", quality)) {
        QFile::remove(part);
        return false;
    }
    if (std::rename(QFile::encodeName(part).constData(), QFile::encodeName(path).constData()) !=
        0) {
        QFile::remove(part);
        return false;
    }
    return true;
}

void QtVcx::close() {
    if (m_camera) {
        m_camera->stop();
        m_session.setCamera(nullptr);
        m_camera.reset();
    }
    m_lastFrame = QVideoFrame();
}
