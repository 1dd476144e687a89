#include "QtVcx.h"

#include "FrameJpeg.h"

#include <QFile>
#include <QVideoWidget>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
// How often a connecting or running device is looked at.
constexpr int kWatchdogIntervalMs = 250;
} // namespace

QtVcx::QtVcx(int startTimeoutMs)
    : m_devices(QMediaDevices::videoInputs()), m_startTimeoutMs(startTimeoutMs) {
    m_session.setVideoSink(&m_sink);
    m_watchdog.setInterval(kWatchdogIntervalMs);
    connect(&m_watchdog, &QTimer::timeout, this, &QtVcx::handleWatchdog);
    connect(&m_mediaDevices, &QMediaDevices::videoInputsChanged, this,
            &QtVcx::handleVideoInputsChanged);
}

QtVcx::~QtVcx() {
    close();
    m_session.setVideoSink(nullptr);
}

QWidget* QtVcx::createPreview(QWidget* parent) {
    m_view = new QVideoWidget(parent);
    return m_view;
}

QWidget* QtVcx::previewWidget() {
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

void QtVcx::setConnected(bool connected) {
    if (!connected) {
        if (close()) {
            emit connectedChanged(false);
        }
        return;
    }
    if (m_index < 0 || m_index >= m_devices.size()) {
        throw VcxError("no video device number " + std::to_string(m_index));
    }
    if (close()) {
        emit connectedChanged(false);
    }
    m_camera = std::make_unique<QCamera>(m_devices.at(m_index));
    connect(m_camera.get(), &QCamera::errorOccurred, this, &QtVcx::handleCameraError);
    const unsigned generation = ++m_generation;
    connect(&m_sink, &QVideoSink::videoFrameChanged, m_camera.get(),
            [this, generation](const QVideoFrame& frame) { handleFrame(generation, frame); });
    m_session.setCamera(m_camera.get());
    m_state = State::Starting;
    m_sinceStart.start();
    m_watchdog.start();
    m_camera->start();
}

void QtVcx::handleFrame(unsigned generation, const QVideoFrame& frame) {
    // Pictures still queued from a device closed since are not this device's.
    if (generation != m_generation || m_state == State::Closed || !frame.isValid()) {
        return;
    }
    m_lastFrame = frame;
    m_sinceFrame.start();
    if (m_view != nullptr && m_view->videoSink() != nullptr) {
        // Asked each time: the widget's sink changes when its window appears.
        m_view->videoSink()->setVideoFrame(frame);
    }
    if (m_state == State::Starting) {
        m_state = State::Running;
        emit connectedChanged(true);
    }
}

void QtVcx::handleCameraError(QCamera::Error error, const QString& text) {
    if (error == QCamera::NoError || m_state == State::Closed) {
        return;
    }
    fail(text.isEmpty() ? QStringLiteral("the camera reported an error") : text);
}

void QtVcx::handleVideoInputsChanged() {
    if (m_camera && !QMediaDevices::videoInputs().contains(m_camera->cameraDevice())) {
        fail(QStringLiteral("the camera \"%1\" was unplugged")
                 .arg(m_camera->cameraDevice().description()));
    }
}

void QtVcx::handleWatchdog() {
    if (m_state == State::Starting && m_sinceStart.elapsed() > m_startTimeoutMs) {
        fail(QStringLiteral("the camera \"%1\" delivered no picture within %2 s")
                 .arg(m_camera->cameraDevice().description())
                 .arg(m_startTimeoutMs / 1000.0));
    } else if (m_state == State::Running && m_sinceFrame.elapsed() > kSilenceTimeoutMs) {
        fail(QStringLiteral("the camera \"%1\" stopped delivering pictures")
                 .arg(m_camera->cameraDevice().description()));
    }
}

void QtVcx::fail(const QString& description) {
    if (close()) {
        emit connectedChanged(false);
    }
    emit errorOccurred(description);
}

bool QtVcx::close() {
    const bool wasRunning = m_state == State::Running;
    m_state = State::Closed;
    m_watchdog.stop();
    ++m_generation;
    if (m_camera) {
        m_camera->stop();
        m_session.setCamera(nullptr);
        m_camera.reset();
    }
    m_lastFrame = QVideoFrame();
    return wasRunning;
}

void QtVcx::setPreview(bool preview) {
    if (m_view != nullptr) {
        m_view->setVisible(preview);
    }
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
    if (m_state != State::Running || !m_lastFrame.isValid()) {
        return false;
    }
    QString error;
    const QByteArray jpeg = FrameJpeg::Encode(m_lastFrame, quality, &error);
    if (jpeg.isEmpty()) {
        return false;
    }
    // A complete file or none: written beside the target, then renamed over it.
    // The photo is the officer's alone: made readable by its owner only (an
    // old part left by a killed run is replaced, not reused with its mode).
    const QString part = path + QStringLiteral(".part");
    QFile::remove(part);
    QFile file(part);
    bool written = file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                             QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
                   file.write(jpeg) == jpeg.size();
    file.close(); // flushes: the bytes are in the file before it gets its name
    written = written && file.error() == QFileDevice::NoError;
    QString reason = file.errorString();
    if (written && std::rename(QFile::encodeName(part).constData(),
                               QFile::encodeName(path).constData()) != 0) {
        written = false;
        reason = QString::fromLocal8Bit(std::strerror(errno));
    }
    if (!written) {
        QFile::remove(part);
        throw PhotoWriteError(QStringLiteral("the photo could not be written to %1: %2")
                                  .arg(path, reason)
                                  .toStdString());
    }
    return true;
}
