// The video-capture control of the camera window: the members the window
// uses, and nothing more. A failing member throws VcxError, as a failing call
// to the control would raise an error in the calling operation.
#pragma once

#include <QString>

#include <stdexcept>

class QWidget;

class VcxError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Vcx {
public:
    virtual ~Vcx() = default;

    // The area (640 x 480 in the window) where the live picture is shown.
    virtual QWidget* widget() = 0;

    // The number of video devices; they are numbered 0 to n-1, and the
    // numbers stay the same for the life of this object.
    virtual int CountVideoDevices() = 0;
    virtual QString VideoDeviceNameAt(int index) = 0;

    // The device the next connection opens.
    virtual int VideoDeviceIndex() = 0;
    virtual void setVideoDeviceIndex(int index) = 0;

    // Writing true opens the selected device (returning once it runs or has
    // failed), writing false closes it; reading tells whether one is open.
    virtual bool Connected() = 0;
    virtual void setConnected(bool connected) = 0;

    // Writing true shows the live picture.
    virtual void setPreview(bool preview) = 0;

    virtual bool ApplyFrameSize(int width, int height) = 0;

    // Writes the newest frame as a JPEG file at path; the file is complete when
    // this returns. The result says whether it was written.
    virtual bool WriteFrameJpeg(const QString& path, int quality) = 0;
};
