// The video-capture control of the camera window: the members the window
// uses, and nothing more. A failing member throws VcxError, as a failing call
// to the control would raise an error in the calling operation.
//
// Opening a device takes time: writing Connected true starts it and returns at
// once; the control then reports through its signals whether the device runs.
#pragma once

#include <QObject>
#include <QString>

#include <stdexcept>

class QWidget;

class VcxError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The device delivered a picture, but the photo file could not be written:
// the message names the path and the system's reason.
class PhotoWriteError : public VcxError {
public:
    using VcxError::VcxError;
};

class Vcx : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Vcx() override = default;

    // Makes the area (640 x 480 in the window) where the live picture is
    // shown, a child of parent from its creation: the window owns it.
    virtual QWidget* createPreview(QWidget* parent) = 0;
    // That area, once made and while it lives; null otherwise.
    virtual QWidget* previewWidget() = 0;

    // The number of video devices; they are numbered 0 to n-1 in the order
    // the system announced them. The numbers change only with devicesChanged.
    virtual int CountVideoDevices() = 0;
    virtual QString VideoDeviceNameAt(int index) = 0;

    // The device the next connection opens.
    virtual int VideoDeviceIndex() = 0;
    virtual void setVideoDeviceIndex(int index) = 0;

    // Writing true starts opening the selected device and returns; the device
    // counts as connected once it delivers pictures (connectedChanged(true)),
    // or the attempt ends in errorOccurred. Writing false closes the device.
    // Reading tells whether an open device delivers pictures.
    virtual bool Connected() = 0;
    virtual void setConnected(bool connected) = 0;

    // Writing true shows the live picture.
    virtual void setPreview(bool preview) = 0;

    virtual bool ApplyFrameSize(int width, int height) = 0;

    // The largest photo the site wants (its back end's limit), set by the
    // program before the window opens: the control captures within it where
    // the camera can, and scales a larger picture down to fit as it writes
    // the photo. A control that cannot choose its picture size ignores it.
    virtual void setLargestPicture(int width, int height) {
        (void)width;
        (void)height;
    }

    // Writes the newest picture the device delivered as a JPEG file at path;
    // the file is complete when this returns, and no reader ever sees part of
    // it. Without a running device nothing is written and the result is false.
    // A picture that cannot be written as the file throws PhotoWriteError.
    virtual bool WriteFrameJpeg(const QString& path, int quality) = 0;

signals:
    // The device started delivering pictures (true), or an open device stopped
    // (false: closed, unplugged or silent).
    void connectedChanged(bool connected);
    // The device failed: it did not start delivering pictures in time, reported
    // an error, stopped delivering or went away. description says which.
    void errorOccurred(const QString& description);
    // A camera was plugged in or unplugged: the devices are numbered anew,
    // and VideoDeviceIndex is the selected device's new number, or -1 when it
    // went away.
    void devicesChanged();
};
