// A scripted video-capture control: devices, failures and captures as a test sets them.
#pragma once

#include "Vcx.h"

#include <QFile>
#include <QImage>
#include <QPalette>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <memory>

class FakeVcx : public Vcx {
public:
    // Like the real control's: a child of the window that shows it.
    QWidget* createPreview(QWidget* parent) override {
        m_widget = new QWidget(parent);
        return m_widget;
    }
    QWidget* previewWidget() override { return m_widget; }
    int CountVideoDevices() override {
        calls.append(QStringLiteral("count"));
        if (failCount) {
            throw VcxError("device list unavailable");
        }
        return static_cast<int>(devices.size());
    }
    QString VideoDeviceNameAt(int number) override {
        if (number >= failNameAt) {
            throw VcxError("name of device " + std::to_string(number) + " unreadable");
        }
        return devices.at(number);
    }
    int VideoDeviceIndex() override { return index; }
    void setVideoDeviceIndex(int i) override {
        calls.append(QStringLiteral("index=%1").arg(i));
        index = i;
    }
    bool Connected() override { return connected; }
    void setConnected(bool value) override {
        calls.append(value ? QStringLiteral("connect") : QStringLiteral("disconnect"));
        if (value && throwOnConnect) {
            throw VcxError("device error while connecting");
        }
        connected = false;
        if (value && !deferOutcome) {
            settle();
        }
    }
    // Delivers the outcome of the last connection: the device runs, or it
    // never starts.
    void settle() {
        if (refuseConnect) {
            emit errorOccurred(QStringLiteral("device did not start"));
            return;
        }
        connected = true;
        emit connectedChanged(true);
    }
    // A running device goes away.
    void lose() {
        connected = false;
        emit connectedChanged(false);
        emit errorOccurred(QStringLiteral("device unplugged"));
    }
    // Cameras plugged in or unplugged: the new list, and the selected
    // device's new number (-1 when it went).
    void replug(const QStringList& now, int newIndex) {
        devices = now;
        index = newIndex;
        if (newIndex < 0 && connected) {
            lose();
        }
        emit devicesChanged();
    }
    void setPreview(bool value) override {
        calls.append(QStringLiteral("preview"));
        preview = value;
        // A still picture stands for the live one.
        if (m_widget == nullptr) {
            return;
        }
        QPalette palette = m_widget->palette();
        palette.setColor(QPalette::Window, value ? frameColour : QColor(Qt::black));
        m_widget->setPalette(palette);
        m_widget->setAutoFillBackground(true);
    }
    bool ApplyFrameSize(int width, int height) override {
        calls.append(QStringLiteral("size=%1x%2").arg(width).arg(height));
        return true;
    }
    bool WriteFrameJpeg(const QString& path, int quality) override {
        calls.append(QStringLiteral("write q=%1").arg(quality));
        lastQuality = quality;
        if (!writeFile || !connected) {
            return false;
        }
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(frameColour);
        if (!image.save(path, "JPEG", quality)) {
            throw PhotoWriteError(
                QStringLiteral("the photo could not be written to %1: cannot save")
                    .arg(path)
                    .toStdString());
        }
        return true;
    }

    QStringList devices;
    bool failCount = false;
    int failNameAt = 1 << 30;
    bool refuseConnect = false;
    bool throwOnConnect = false;
    bool writeFile = true;
    bool deferOutcome = false; // the outcome of a connection waits for settle()
    QColor frameColour = Qt::darkCyan;
    int index = -1;
    bool connected = false;
    bool preview = false;
    int lastQuality = 0;
    QStringList calls;

private:
    QPointer<QWidget> m_widget;
};

// A fresh control for each test: the window takes the control's widget.
using FakeVcxPtr = std::unique_ptr<FakeVcx>;
