// The video-capture control over GStreamer.
//
// The devices come from a GStreamer device monitor, listed anew for each
// control: each camera once (by device and device node), in the order the
// system announced it, unplugged cameras dropped and new ones added while the
// window is open (devicesChanged). A camera opens as a pipeline
//
//   camera ! capsfilter (the chosen mode) ! [jpegdec] ! videoconvert ! appsink
//
// whose pictures the control converts itself, by the colour matrix and range
// each picture is tagged with: into RGB for the preview area, into the
// full-range BT.601 planes of a JPEG file for the photo. Of the camera's modes
// it captures with the largest picture at a usable rate (CameraChoice).
//
// A device counts as connected once it delivers pictures. It fails when it
// reports an error (a busy camera says so at once), does not start streaming
// in time, streams without a first picture for longer than a slow camera
// takes, goes silent while running, or is unplugged. No call waits: outcomes
// arrive through connectedChanged and errorOccurred.
#pragma once

#include "CameraChoice.h"
#include "Vcx.h"

#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QSize>
#include <QTimer>

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class CameraView;
class GstDeviceWatch;
typedef struct _GstBus GstBus;
typedef struct _GstDevice GstDevice;
typedef struct _GstElement GstElement;
typedef struct _GstMessage GstMessage;
typedef struct _GstSample GstSample;

class GstVcx : public Vcx {
    Q_OBJECT
public:
    // How long a camera may take to start streaming; how long a streaming
    // camera may take to deliver its first picture (document cameras warm up
    // for seconds); how long a running camera may stay silent.
    static constexpr int kStartTimeoutMs = 5000;
    static constexpr int kFirstPictureTimeoutMs = 20000;
    static constexpr int kSilenceTimeoutMs = 3000;

    explicit GstVcx(int startTimeoutMs = kStartTimeoutMs);
    ~GstVcx() override;

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
    void setLargestPicture(int width, int height) override {
        m_largest = std::make_pair(width, height);
    }
    bool WriteFrameJpeg(const QString& path, int quality) override;

    // The mode the open camera captures with (its size), for the support
    // line in the log and for tests; empty while no camera is open.
    QSize captureSize() const { return m_captureSize; }

    // Called from the sink's streaming thread with each new picture.
    void offerSample(GstSample* sample);

private:
    enum class State { Closed, Starting, Running };

    struct Device {
        GstDevice* device = nullptr; // a reference of the control's own
        QString name;
    };

    void open();
    // Closes the device; true when it was running.
    bool close();
    void fail(const QString& description);
    void takeSample();
    void showPicture();
    void tick();
    // Brings the list in line with the devices present.
    void followDevices();
    void handlePipelineMessage(GstMessage* message);
    bool addDevice(GstDevice* device);
    int findDevice(GstDevice* device) const;
    QString openName() const;

    std::shared_ptr<GstDeviceWatch> m_watch; // none when GStreamer could not start
    QString m_problem;                       // why GStreamer could not start
    std::vector<Device> m_devices;
    int m_index = 0;
    int m_startTimeoutMs;
    State m_state = State::Closed;
    bool m_streaming = false; // the camera started its stream
    bool m_preview = false;
    bool m_inTick = false;
    std::optional<std::pair<int, int>> m_requestedSize;
    std::optional<std::pair<int, int>> m_largest;
    QSize m_captureSize;

    GstElement* m_pipeline = nullptr;
    GstBus* m_pipelineBus = nullptr;
    GstDevice* m_openDevice = nullptr; // a reference while a camera is open
    QString m_openName;
    QString m_startFailure;            // why the open camera cannot start, told at the next look
    GstSample* m_lastSample = nullptr; // the newest picture, for the photo

    // Handed over from the streaming thread.
    std::mutex m_sampleLock;
    GstSample* m_incoming = nullptr;
    bool m_takeQueued = false;

    QPointer<CameraView> m_view;
    QElapsedTimer m_sinceStart;
    QElapsedTimer m_sinceFrame;
    QTimer m_ticker;
};
