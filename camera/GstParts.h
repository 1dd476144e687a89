// The GStreamer side of the camera control: starting GStreamer, a camera's
// modes and caps, a picture mapped for reading, and the watch over the
// system's video devices.
#pragma once

#include "CameraChoice.h"
#include "YuvPicture.h"

#include <QString>

#include <gst/gst.h>
#include <gst/video/video.h>

#include <memory>
#include <vector>

namespace GstParts {

// Starts GStreamer once; empty when it runs, otherwise why it could not.
QString InitGstreamer();

// The modes a camera's caps offer (raw and MJPEG; other encodings left out).
std::vector<CameraChoice::Mode> ModesOf(GstCaps* caps);
// The modes a device offers.
std::vector<CameraChoice::Mode> ModesOf(GstDevice* device);

// The caps that ask a camera for mode: its layout and size, the rate left to
// the camera (it settles on its fastest for the size).
GstCaps* CapsOf(const CameraChoice::Mode& mode);

// The device node or object path that identifies a device, when it has one.
QString PropertyPath(GstDevice* device);

// A picture of a sample, mapped for reading while this lives, with the colour
// matrix and range its caps tag it with.
class MappedPicture {
public:
    explicit MappedPicture(GstSample* sample);
    ~MappedPicture();
    MappedPicture(const MappedPicture&) = delete;
    MappedPicture& operator=(const MappedPicture&) = delete;

    bool isValid() const { return m_mapped; }
    const YuvPicture::View& view() const { return m_view; }

private:
    GstVideoInfo m_info{};
    GstVideoFrame m_frame{};
    bool m_mapped = false;
    YuvPicture::View m_view;
};

} // namespace GstParts

// The system's video devices, watched by one device monitor for all the
// controls of the process: a monitor stopped while another watches silences
// the other's announcements, so controls that overlap (a window's and a
// look at the list) share one. It lives while a control does.
class GstDeviceWatch {
public:
    static std::shared_ptr<GstDeviceWatch> Get() {
        static std::weak_ptr<GstDeviceWatch> shared;
        std::shared_ptr<GstDeviceWatch> watch = shared.lock();
        if (!watch) {
            watch = std::shared_ptr<GstDeviceWatch>(new GstDeviceWatch);
            shared = watch;
        }
        return watch;
    }

    ~GstDeviceWatch() {
        gst_device_monitor_stop(m_monitor);
        gst_object_unref(m_bus);
        gst_object_unref(m_monitor);
        for (GstDevice* device : m_devices) {
            gst_object_unref(device);
        }
    }
    GstDeviceWatch(const GstDeviceWatch&) = delete;
    GstDeviceWatch& operator=(const GstDeviceWatch&) = delete;

    // Takes in what was announced since the last look.
    void poll() {
        while (GstMessage* message = gst_bus_pop(m_bus)) {
            GstDevice* device = nullptr;
            if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_DEVICE_ADDED) {
                gst_message_parse_device_added(message, &device);
                add(device);
            } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_DEVICE_REMOVED) {
                gst_message_parse_device_removed(message, &device);
                const auto found = find(device);
                if (found != m_devices.end()) {
                    gst_object_unref(*found);
                    m_devices.erase(found);
                }
            }
            if (device != nullptr) {
                gst_object_unref(device);
            }
            gst_message_unref(message);
        }
    }

    // The devices present, each once, in the order they were announced.
    const std::vector<GstDevice*>& devices() const { return m_devices; }

private:
    GstDeviceWatch() {
        m_monitor = gst_device_monitor_new();
        gst_device_monitor_add_filter(m_monitor, "Video/Source", nullptr);
        m_bus = gst_device_monitor_get_bus(m_monitor);
        // Started, the monitor lists what is present now and then announces
        // what comes and goes; the system's provider also announces what it
        // found while starting, so a device is often both listed and announced.
        gst_device_monitor_start(m_monitor);
        GList* devices = gst_device_monitor_get_devices(m_monitor);
        for (GList* item = devices; item != nullptr; item = item->next) {
            add(GST_DEVICE(item->data));
        }
        g_list_free_full(devices, gst_object_unref);
    }

    std::vector<GstDevice*>::iterator find(GstDevice* device) {
        const QString path = GstParts::PropertyPath(device);
        return std::find_if(m_devices.begin(), m_devices.end(), [&](GstDevice* known) {
            return known == device || (!path.isEmpty() && GstParts::PropertyPath(known) == path);
        });
    }

    void add(GstDevice* device) {
        if (find(device) == m_devices.end()) {
            m_devices.push_back(GST_DEVICE(gst_object_ref(device)));
        }
    }

    GstDeviceMonitor* m_monitor = nullptr;
    GstBus* m_bus = nullptr;
    std::vector<GstDevice*> m_devices;
};
