#include "GstVcx.h"

#include "CameraView.h"
#include "FrameJpeg.h"
#include "GstParts.h"
#include "YuvPicture.h"

#include <QImage>

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

namespace {

// How often the buses and the device are looked at while the window is open.
constexpr int kTickMs = 100;

// The raw layouts the control converts itself; anything else the camera
// delivers is converted into one of them first.
constexpr char kSinkCaps[] = "video/x-raw,format={I420,YV12,NV12,NV21,YUY2,UYVY}";

GstFlowReturn OnNewSample(GstAppSink* sink, gpointer data) {
    if (GstSample* sample = gst_app_sink_pull_sample(sink)) {
        static_cast<GstVcx*>(data)->offerSample(sample);
    }
    return GST_FLOW_OK;
}

} // namespace

GstVcx::GstVcx(int startTimeoutMs) : m_startTimeoutMs(startTimeoutMs) {
    m_ticker.setInterval(kTickMs);
    connect(&m_ticker, &QTimer::timeout, this, &GstVcx::tick);
    // GStreamer that cannot start leaves a control without cameras whose
    // listing fails with the reason: the window says so as for any listing.
    m_problem = GstParts::InitGstreamer();
    if (!m_problem.isEmpty()) {
        return;
    }
    // The list of this window: what is present now.
    m_watch = GstDeviceWatch::Get();
    m_watch->poll();
    for (GstDevice* device : m_watch->devices()) {
        addDevice(device);
    }
    m_ticker.start();
}

GstVcx::~GstVcx() {
    m_ticker.stop();
    close();
    for (Device& device : m_devices) {
        gst_object_unref(device.device);
    }
}

QWidget* GstVcx::createPreview(QWidget* parent) {
    m_view = new CameraView(parent);
    return m_view;
}

QWidget* GstVcx::previewWidget() {
    return m_view;
}

int GstVcx::CountVideoDevices() {
    if (!m_problem.isEmpty()) {
        throw VcxError(m_problem.toStdString());
    }
    return static_cast<int>(m_devices.size());
}

QString GstVcx::VideoDeviceNameAt(int index) {
    if (index < 0 || index >= CountVideoDevices()) {
        throw VcxError("no video device number " + std::to_string(index));
    }
    return m_devices[index].name;
}

int GstVcx::findDevice(GstDevice* device) const {
    for (std::size_t i = 0; i < m_devices.size(); ++i) {
        if (m_devices[i].device == device) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool GstVcx::addDevice(GstDevice* device) {
    if (findDevice(device) >= 0) {
        return false;
    }
    gchar* name = gst_device_get_display_name(device);
    Device entry;
    entry.device = GST_DEVICE(gst_object_ref(device));
    entry.name = QString::fromStdString(CameraChoice::DisplayName(name != nullptr ? name : ""));
    g_free(name);
    m_devices.push_back(entry);
    return true;
}

void GstVcx::setConnected(bool connected) {
    if (close()) {
        emit connectedChanged(false);
    }
    if (m_view != nullptr) {
        m_view->setState(CameraView::State::Idle);
    }
    if (!connected) {
        return;
    }
    if (m_index < 0 || m_index >= CountVideoDevices()) {
        throw VcxError("no video device number " + std::to_string(m_index));
    }
    open();
}

void GstVcx::open() {
    const Device& device = m_devices[m_index];
    m_openDevice = GST_DEVICE(gst_object_ref(device.device));
    m_openName = device.name;

    const std::vector<CameraChoice::Mode> modes = GstParts::ModesOf(device.device);
    std::optional<std::size_t> chosen = CameraChoice::Choose(modes, m_requestedSize, m_largest);
    if (!chosen) {
        chosen = CameraChoice::Choose(modes, std::nullopt, m_largest);
    }

    m_pipeline = gst_pipeline_new("tavlin-camera");
    m_pipelineBus = gst_element_get_bus(m_pipeline);
    GstElement* source = gst_device_create_element(device.device, nullptr);
    GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
    const bool compressed = chosen && modes[*chosen].compressed;
    GstElement* decoder = compressed ? gst_element_factory_make("jpegdec", nullptr) : nullptr;
    GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
    GstElement* sink = gst_element_factory_make("appsink", nullptr);
    QString missing;
    if (source == nullptr) {
        missing = QStringLiteral("the camera's source element");
    } else if (filter == nullptr || convert == nullptr || sink == nullptr) {
        missing = QStringLiteral("capsfilter, videoconvert or appsink (gstreamer1.0-plugins-base)");
    } else if (compressed && decoder == nullptr) {
        missing = QStringLiteral("jpegdec (gstreamer1.0-plugins-good)");
    }
    m_state = State::Starting;
    m_streaming = false;
    m_sinceStart.start();
    if (m_view != nullptr) {
        m_view->setState(CameraView::State::Waiting);
    }
    if (!missing.isEmpty()) {
        for (GstElement* element : {source, filter, decoder, convert, sink}) {
            if (element != nullptr) {
                gst_object_unref(gst_object_ref_sink(element));
            }
        }
        // Told from the next look, like any failure to open.
        m_startFailure = QStringLiteral("the camera \"%1\" cannot be opened: %2 is missing")
                             .arg(m_openName, missing);
        return;
    }
    if (chosen) {
        GstCaps* caps = GstParts::CapsOf(modes[*chosen]);
        g_object_set(filter, "caps", caps, nullptr);
        gst_caps_unref(caps);
        m_captureSize = QSize(modes[*chosen].width, modes[*chosen].height);
    }
    GstCaps* sinkCaps = gst_caps_from_string(kSinkCaps);
    g_object_set(sink, "caps", sinkCaps, "max-buffers", 1, "drop", TRUE, "sync", FALSE,
                 "enable-last-sample", FALSE, nullptr);
    gst_caps_unref(sinkCaps);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = OnNewSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);

    gst_bin_add_many(GST_BIN(m_pipeline), source, filter, convert, sink, nullptr);
    bool linked = false;
    if (decoder != nullptr) {
        gst_bin_add(GST_BIN(m_pipeline), decoder);
        linked = gst_element_link_many(source, filter, decoder, convert, sink, nullptr);
    } else {
        linked = gst_element_link_many(source, filter, convert, sink, nullptr);
    }
    if (!linked) {
        m_startFailure =
            QStringLiteral("the camera \"%1\" does not deliver pictures in a form this program "
                           "can show")
                .arg(m_openName);
        return;
    }
    if (gst_element_set_state(m_pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        // The bus says why; without a word there, this is said.
        m_startFailure = QStringLiteral("the camera \"%1\" could not be started").arg(m_openName);
    }
}

bool GstVcx::close() {
    const bool wasRunning = m_state == State::Running;
    m_state = State::Closed;
    m_streaming = false;
    m_startFailure.clear();
    if (m_pipeline != nullptr) {
        // Returns once the streaming threads have stopped: no picture comes after.
        gst_element_set_state(m_pipeline, GST_STATE_NULL);
        gst_object_unref(m_pipelineBus);
        gst_object_unref(m_pipeline);
        m_pipelineBus = nullptr;
        m_pipeline = nullptr;
    }
    {
        std::lock_guard lock(m_sampleLock);
        if (m_incoming != nullptr) {
            gst_sample_unref(m_incoming);
            m_incoming = nullptr;
        }
    }
    if (m_lastSample != nullptr) {
        gst_sample_unref(m_lastSample);
        m_lastSample = nullptr;
    }
    if (m_openDevice != nullptr) {
        gst_object_unref(m_openDevice);
        m_openDevice = nullptr;
    }
    m_captureSize = QSize();
    return wasRunning;
}

void GstVcx::fail(const QString& description) {
    if (close()) {
        emit connectedChanged(false);
    }
    if (m_view != nullptr) {
        m_view->setState(CameraView::State::Stopped);
    }
    emit errorOccurred(description);
}

void GstVcx::offerSample(GstSample* sample) {
    std::lock_guard lock(m_sampleLock);
    if (m_incoming != nullptr) {
        gst_sample_unref(m_incoming);
    }
    m_incoming = sample;
    if (!m_takeQueued) {
        m_takeQueued = true;
        QMetaObject::invokeMethod(this, &GstVcx::takeSample, Qt::QueuedConnection);
    }
}

void GstVcx::takeSample() {
    GstSample* sample = nullptr;
    {
        std::lock_guard lock(m_sampleLock);
        sample = m_incoming;
        m_incoming = nullptr;
        m_takeQueued = false;
    }
    if (sample == nullptr) {
        return;
    }
    if (m_state == State::Closed) {
        gst_sample_unref(sample);
        return;
    }
    if (m_lastSample != nullptr) {
        gst_sample_unref(m_lastSample);
    }
    m_lastSample = sample;
    m_sinceFrame.start();
    showPicture();
    if (m_state == State::Starting) {
        m_state = State::Running;
        emit connectedChanged(true);
    }
}

void GstVcx::showPicture() {
    if (!m_preview || m_view == nullptr || m_lastSample == nullptr) {
        return;
    }
    const GstParts::MappedPicture picture(m_lastSample);
    if (!picture.isValid()) {
        return;
    }
    const YuvPicture::View& view = picture.view();
    const QSize size = m_view->pictureSize(QSize(view.width, view.height));
    if (size.isEmpty()) {
        return;
    }
    QImage image(size, QImage::Format_RGB32);
    YuvPicture::ToRgb32(view, size.width(), size.height(),
                        reinterpret_cast<std::uint32_t*>(image.bits()),
                        image.bytesPerLine() / static_cast<qsizetype>(sizeof(std::uint32_t)));
    m_view->setPicture(std::move(image));
    m_view->setState(CameraView::State::Live);
}

void GstVcx::tick() {
    // A message box opened by a report below runs its own event loop, in which
    // this timer fires again: that turn waits for this one to end.
    if (m_inTick) {
        return;
    }
    m_inTick = true;
    followDevices();
    while (GstMessage* message = m_pipelineBus != nullptr ? gst_bus_pop(m_pipelineBus) : nullptr) {
        handlePipelineMessage(message);
        gst_message_unref(message);
    }
    if (m_state == State::Starting && !m_startFailure.isEmpty()) {
        fail(m_startFailure);
    } else if (m_state == State::Starting && !m_streaming &&
               m_sinceStart.elapsed() > m_startTimeoutMs) {
        fail(QStringLiteral("the camera \"%1\" did not start within %2 s")
                 .arg(m_openName)
                 .arg(m_startTimeoutMs / 1000.0));
    } else if (m_state == State::Starting && m_sinceStart.elapsed() > kFirstPictureTimeoutMs) {
        fail(QStringLiteral("the camera \"%1\" delivered no picture within %2 s")
                 .arg(m_openName)
                 .arg(kFirstPictureTimeoutMs / 1000));
    } else if (m_state == State::Running && m_sinceFrame.elapsed() > kSilenceTimeoutMs) {
        fail(QStringLiteral("the camera \"%1\" stopped delivering pictures").arg(m_openName));
    }
    m_inTick = false;
}

void GstVcx::followDevices() {
    if (!m_watch) {
        return;
    }
    m_watch->poll();
    const std::vector<GstDevice*>& present = m_watch->devices();
    bool changed = false;
    bool openGone = false;
    for (std::size_t i = m_devices.size(); i-- > 0;) {
        if (std::find(present.begin(), present.end(), m_devices[i].device) != present.end()) {
            continue;
        }
        openGone = openGone || m_devices[i].device == m_openDevice;
        gst_object_unref(m_devices[i].device);
        m_devices.erase(m_devices.begin() + static_cast<std::ptrdiff_t>(i));
        if (m_index == static_cast<int>(i)) {
            m_index = -1;
        } else if (m_index > static_cast<int>(i)) {
            --m_index;
        }
        changed = true;
    }
    for (GstDevice* device : present) {
        changed = addDevice(device) || changed;
    }
    if (changed) {
        // The list first, so that the window's list is right while the
        // officer reads why the picture stopped.
        emit devicesChanged();
    }
    if (openGone && m_state != State::Closed) {
        fail(QStringLiteral("the camera \"%1\" was unplugged").arg(m_openName));
    }
}

void GstVcx::handlePipelineMessage(GstMessage* message) {
    if (m_state == State::Closed) {
        return;
    }
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR: {
        GError* error = nullptr;
        gchar* debug = nullptr;
        gst_message_parse_error(message, &error, &debug);
        const QString text = QString::fromUtf8(error != nullptr ? error->message : "unknown error");
        g_clear_error(&error);
        g_free(debug);
        fail(
            m_state == State::Starting
                ? QStringLiteral("the camera \"%1\" could not be started: %2").arg(m_openName, text)
                : QStringLiteral("the camera \"%1\" failed: %2").arg(m_openName, text));
        break;
    }
    case GST_MESSAGE_EOS:
        fail(QStringLiteral("the camera \"%1\" stopped delivering pictures").arg(m_openName));
        break;
    case GST_MESSAGE_STREAM_START:
        // The camera streams; its first picture may take a while yet.
        m_streaming = true;
        break;
    default:
        break;
    }
}

void GstVcx::setPreview(bool preview) {
    m_preview = preview;
    if (m_view != nullptr) {
        m_view->setVisible(preview);
    }
    showPicture();
}

bool GstVcx::ApplyFrameSize(int width, int height) {
    if (m_index < 0 || m_index >= CountVideoDevices()) {
        return false;
    }
    const std::vector<CameraChoice::Mode> modes = GstParts::ModesOf(m_devices[m_index].device);
    if (!CameraChoice::Choose(modes, std::make_pair(width, height))) {
        return false;
    }
    m_requestedSize = std::make_pair(width, height);
    if (m_state != State::Closed && m_captureSize != QSize(width, height)) {
        // Opened again in the new size; the window hears of it as of any start.
        if (close()) {
            emit connectedChanged(false);
        }
        open();
    }
    return true;
}

bool GstVcx::WriteFrameJpeg(const QString& path, int quality) {
    if (m_state != State::Running || m_lastSample == nullptr) {
        return false;
    }
    QByteArray jpeg;
    {
        const GstParts::MappedPicture picture(m_lastSample);
        if (!picture.isValid()) {
            return false;
        }
        QString error;
        // The photo is at most the site's largest, whatever the camera captures.
        std::optional<YuvPicture::Size> largest;
        if (m_largest) {
            largest = YuvPicture::Size{m_largest->first, m_largest->second};
        }
        jpeg = FrameJpeg::Encode(picture.view(), quality, &error, largest);
        if (jpeg.isEmpty()) {
            return false;
        }
    }
    QString reason;
    if (!FrameJpeg::WriteFile(path, jpeg, &reason)) {
        throw PhotoWriteError(QStringLiteral("the photo could not be written to %1: %2")
                                  .arg(path, reason)
                                  .toStdString());
    }
    return true;
}
