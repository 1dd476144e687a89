#include "GstParts.h"

#include <algorithm>

namespace {

// The largest value of a field that is a number, a range or a list.
double LargestOf(const GValue* value) {
    if (value == nullptr) {
        return 0;
    }
    if (G_VALUE_HOLDS_INT(value)) {
        return g_value_get_int(value);
    }
    if (GST_VALUE_HOLDS_INT_RANGE(value)) {
        return gst_value_get_int_range_max(value);
    }
    if (GST_VALUE_HOLDS_FRACTION(value)) {
        const int denominator = gst_value_get_fraction_denominator(value);
        return denominator > 0 ? double(gst_value_get_fraction_numerator(value)) / denominator : 0;
    }
    if (GST_VALUE_HOLDS_FRACTION_RANGE(value)) {
        return LargestOf(gst_value_get_fraction_range_max(value));
    }
    if (GST_VALUE_HOLDS_LIST(value)) {
        double largest = 0;
        for (guint i = 0; i < gst_value_list_get_size(value); ++i) {
            largest = std::max(largest, LargestOf(gst_value_list_get_value(value, i)));
        }
        return largest;
    }
    return 0;
}

} // namespace

namespace GstParts {

QString InitGstreamer() {
    static const QString problem = [] {
        GError* error = nullptr;
        if (gst_init_check(nullptr, nullptr, &error)) {
            return QString();
        }
        QString text = QStringLiteral("GStreamer could not start: %1")
                           .arg(QString::fromUtf8(error != nullptr ? error->message : "unknown"));
        g_clear_error(&error);
        return text;
    }();
    return problem;
}

std::vector<CameraChoice::Mode> ModesOf(GstCaps* caps) {
    std::vector<CameraChoice::Mode> modes;
    if (caps == nullptr || gst_caps_is_any(caps)) {
        return modes;
    }
    for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
        const GstStructure* structure = gst_caps_get_structure(caps, i);
        CameraChoice::Mode mode;
        if (gst_structure_has_name(structure, "image/jpeg")) {
            mode.compressed = true;
        } else if (gst_structure_has_name(structure, "video/x-raw")) {
            const GValue* format = gst_structure_get_value(structure, "format");
            if (format != nullptr && GST_VALUE_HOLDS_LIST(format) &&
                gst_value_list_get_size(format) > 0) {
                format = gst_value_list_get_value(format, 0);
            }
            if (format == nullptr || !G_VALUE_HOLDS_STRING(format)) {
                continue;
            }
            mode.format = g_value_get_string(format);
        } else {
            continue; // H.264 and the like: not decoded here
        }
        mode.width = static_cast<int>(LargestOf(gst_structure_get_value(structure, "width")));
        mode.height = static_cast<int>(LargestOf(gst_structure_get_value(structure, "height")));
        mode.fps = LargestOf(gst_structure_get_value(structure, "framerate"));
        if (mode.fps <= 0) {
            mode.fps = CameraChoice::kUsableFps; // not said: taken as usable
        }
        if (mode.width > 0 && mode.height > 0) {
            modes.push_back(mode);
        }
    }
    return modes;
}

std::vector<CameraChoice::Mode> ModesOf(GstDevice* device) {
    GstCaps* offered = gst_device_get_caps(device);
    std::vector<CameraChoice::Mode> modes = ModesOf(offered);
    if (offered != nullptr) {
        gst_caps_unref(offered);
    }
    return modes;
}

GstCaps* CapsOf(const CameraChoice::Mode& mode) {
    // The rate is left to the camera: it settles on its fastest for the size.
    if (mode.compressed) {
        return gst_caps_new_simple("image/jpeg", "width", G_TYPE_INT, mode.width, "height",
                                   G_TYPE_INT, mode.height, nullptr);
    }
    return gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, mode.format.c_str(), "width",
                               G_TYPE_INT, mode.width, "height", G_TYPE_INT, mode.height, nullptr);
}

MappedPicture::MappedPicture(GstSample* sample) {
    GstCaps* caps = sample != nullptr ? gst_sample_get_caps(sample) : nullptr;
    GstBuffer* buffer = sample != nullptr ? gst_sample_get_buffer(sample) : nullptr;
    if (caps == nullptr || buffer == nullptr || !gst_video_info_from_caps(&m_info, caps)) {
        return;
    }
    using YuvPicture::Layout;
    switch (GST_VIDEO_INFO_FORMAT(&m_info)) {
    case GST_VIDEO_FORMAT_I420:
        m_view.layout = Layout::I420;
        break;
    case GST_VIDEO_FORMAT_YV12:
        m_view.layout = Layout::YV12;
        break;
    case GST_VIDEO_FORMAT_NV12:
        m_view.layout = Layout::NV12;
        break;
    case GST_VIDEO_FORMAT_NV21:
        m_view.layout = Layout::NV21;
        break;
    case GST_VIDEO_FORMAT_YUY2:
        m_view.layout = Layout::YUY2;
        break;
    case GST_VIDEO_FORMAT_UYVY:
        m_view.layout = Layout::UYVY;
        break;
    default:
        return;
    }
    if (!gst_video_frame_map(&m_frame, &m_info, buffer, GST_MAP_READ)) {
        return;
    }
    m_mapped = true;
    m_view.width = GST_VIDEO_FRAME_WIDTH(&m_frame);
    m_view.height = GST_VIDEO_FRAME_HEIGHT(&m_frame);
    for (guint plane = 0; plane < GST_VIDEO_FRAME_N_PLANES(&m_frame) && plane < 3; ++plane) {
        m_view.data[plane] =
            static_cast<const unsigned char*>(GST_VIDEO_FRAME_PLANE_DATA(&m_frame, plane));
        m_view.stride[plane] = GST_VIDEO_FRAME_PLANE_STRIDE(&m_frame, plane);
    }
    // HD cameras and capture devices tag BT.709 (BT.2020 and SMPTE 240M
    // are nearer to it than to BT.601); untagged pictures are BT.601.
    const GstVideoColorMatrix matrix = m_info.colorimetry.matrix;
    m_view.matrix = matrix == GST_VIDEO_COLOR_MATRIX_BT709 ||
                            matrix == GST_VIDEO_COLOR_MATRIX_SMPTE240M ||
                            matrix == GST_VIDEO_COLOR_MATRIX_BT2020
                        ? YuvPicture::Matrix::Bt709
                        : YuvPicture::Matrix::Bt601;
    m_view.range = m_info.colorimetry.range == GST_VIDEO_COLOR_RANGE_0_255
                       ? YuvPicture::Range::Full
                       : YuvPicture::Range::Limited;
}

MappedPicture::~MappedPicture() {
    if (m_mapped) {
        gst_video_frame_unmap(&m_frame);
    }
}

QString PropertyPath(GstDevice* device) {
    GstStructure* properties = gst_device_get_properties(device);
    QString path;
    if (properties != nullptr) {
        for (const char* key : {"api.v4l2.path", "device.path", "object.path"}) {
            if (const char* value = gst_structure_get_string(properties, key)) {
                path = QString::fromUtf8(value);
                break;
            }
        }
        gst_structure_free(properties);
    }
    return path;
}

} // namespace GstParts
