#include "FrameJpeg.h"

#include <QImage>
#include <QVideoFrame>
#include <QVideoFrameFormat>

#include <turbojpeg.h>

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

namespace {

struct TjDeleter {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, TjDeleter>;

// Planar 4:2:0 picture: the input of the YUV encoder.
struct Planes {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> y;
    std::vector<unsigned char> u;
    std::vector<unsigned char> v;
    int chromaWidth() const { return (width + 1) / 2; }
    int chromaHeight() const { return (height + 1) / 2; }
    void allocate(int w, int h) {
        width = w;
        height = h;
        y.resize(static_cast<std::size_t>(w) * h);
        u.resize(static_cast<std::size_t>(chromaWidth()) * chromaHeight());
        v.resize(u.size());
    }
};

// Levels of limited-range video (luma 16..235, chroma 16..240) stretched to
// the full range of a JPEG file.
struct RangeTables {
    std::array<unsigned char, 256> luma{};
    std::array<unsigned char, 256> chroma{};
    RangeTables() {
        for (int i = 0; i < 256; ++i) {
            luma[i] = static_cast<unsigned char>(std::clamp((i - 16) * 255 / 219, 0, 255));
            chroma[i] = static_cast<unsigned char>(std::clamp((i - 128) * 255 / 224 + 128, 0, 255));
        }
    }
};

void StretchToFullRange(Planes& planes) {
    static const RangeTables tables;
    for (unsigned char& value : planes.y) {
        value = tables.luma[value];
    }
    for (unsigned char& value : planes.u) {
        value = tables.chroma[value];
    }
    for (unsigned char& value : planes.v) {
        value = tables.chroma[value];
    }
}

// Copies a mapped frame into 4:2:0 planes; false for layouts it does not know.
bool ToPlanes(const QVideoFrame& frame, Planes& planes) {
    const int w = frame.width();
    const int h = frame.height();
    planes.allocate(w, h);
    const int cw = planes.chromaWidth();
    const int ch = planes.chromaHeight();
    const auto copyPlane = [](const uchar* from, int stride, int width, int height,
                              unsigned char* to) {
        for (int row = 0; row < height; ++row) {
            std::copy_n(from + static_cast<std::ptrdiff_t>(row) * stride, width,
                        to + static_cast<std::ptrdiff_t>(row) * width);
        }
    };
    switch (frame.pixelFormat()) {
    case QVideoFrameFormat::Format_YUV420P:
    case QVideoFrameFormat::Format_YV12: {
        const bool swapped = frame.pixelFormat() == QVideoFrameFormat::Format_YV12;
        copyPlane(frame.bits(0), frame.bytesPerLine(0), w, h, planes.y.data());
        copyPlane(frame.bits(swapped ? 2 : 1), frame.bytesPerLine(swapped ? 2 : 1), cw, ch,
                  planes.u.data());
        copyPlane(frame.bits(swapped ? 1 : 2), frame.bytesPerLine(swapped ? 1 : 2), cw, ch,
                  planes.v.data());
        return true;
    }
    case QVideoFrameFormat::Format_NV12:
    case QVideoFrameFormat::Format_NV21: {
        const bool swapped = frame.pixelFormat() == QVideoFrameFormat::Format_NV21;
        copyPlane(frame.bits(0), frame.bytesPerLine(0), w, h, planes.y.data());
        for (int row = 0; row < ch; ++row) {
            const uchar* uv =
                frame.bits(1) + static_cast<std::ptrdiff_t>(row) * frame.bytesPerLine(1);
            for (int col = 0; col < cw; ++col) {
                planes.u[row * cw + col] = uv[2 * col + (swapped ? 1 : 0)];
                planes.v[row * cw + col] = uv[2 * col + (swapped ? 0 : 1)];
            }
        }
        return true;
    }
    case QVideoFrameFormat::Format_YUYV:
    case QVideoFrameFormat::Format_UYVY: {
        // Two pixels in four bytes: Y0 U Y1 V (YUYV) or U Y0 V Y1 (UYVY). The
        // chroma of two rows is averaged into one.
        const bool yFirst = frame.pixelFormat() == QVideoFrameFormat::Format_YUYV;
        const int yAt = yFirst ? 0 : 1;
        const int uAt = yFirst ? 1 : 0;
        const int vAt = yFirst ? 3 : 2;
        const int stride = frame.bytesPerLine(0);
        for (int row = 0; row < h; ++row) {
            const uchar* line = frame.bits(0) + static_cast<std::ptrdiff_t>(row) * stride;
            unsigned char* y = planes.y.data() + static_cast<std::ptrdiff_t>(row) * w;
            for (int col = 0; col < w; ++col) {
                y[col] = line[2 * col + yAt];
            }
        }
        for (int row = 0; row < ch; ++row) {
            const uchar* top = frame.bits(0) + static_cast<std::ptrdiff_t>(2 * row) * stride;
            const uchar* bottom = 2 * row + 1 < h ? top + stride : top;
            for (int col = 0; col < cw; ++col) {
                const int at = 4 * col;
                planes.u[row * cw + col] =
                    static_cast<unsigned char>((top[at + uAt] + bottom[at + uAt] + 1) / 2);
                planes.v[row * cw + col] =
                    static_cast<unsigned char>((top[at + vAt] + bottom[at + vAt] + 1) / 2);
            }
        }
        return true;
    }
    default:
        return false;
    }
}

QString TjError(void* handle) {
    return QString::fromLocal8Bit(tjGetErrorStr2(handle));
}

} // namespace

namespace FrameJpeg {

QByteArray Encode(const QVideoFrame& source, int quality, QString* error) {
    TjHandle handle(tjInitCompress());
    if (!handle) {
        *error = QStringLiteral("the JPEG encoder could not start: %1").arg(TjError(nullptr));
        return {};
    }
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    int status = -1;

    QVideoFrame frame = source;
    const bool mapped = frame.map(QVideoFrame::ReadOnly);
    const bool fullRange = frame.surfaceFormat().colorRange() == QVideoFrameFormat::ColorRange_Full;
    const QVideoFrameFormat::PixelFormat format = frame.pixelFormat();
    Planes planes;
    if (mapped && fullRange &&
        (format == QVideoFrameFormat::Format_YUV420P || format == QVideoFrameFormat::Format_YV12)) {
        // Already what the encoder takes (a decoded MJPEG frame): no copy.
        const bool swapped = format == QVideoFrameFormat::Format_YV12;
        std::array<const unsigned char*, 3> from = {frame.bits(0), frame.bits(swapped ? 2 : 1),
                                                    frame.bits(swapped ? 1 : 2)};
        const std::array<int, 3> strides = {frame.bytesPerLine(0),
                                            frame.bytesPerLine(swapped ? 2 : 1),
                                            frame.bytesPerLine(swapped ? 1 : 2)};
        status = tjCompressFromYUVPlanes(handle.get(), from.data(), frame.width(), strides.data(),
                                         frame.height(), TJSAMP_420, &jpeg, &size, quality, 0);
    } else if (mapped && ToPlanes(frame, planes)) {
        if (!fullRange) {
            StretchToFullRange(planes);
        }
        std::array<const unsigned char*, 3> from = {planes.y.data(), planes.u.data(),
                                                    planes.v.data()};
        const std::array<int, 3> strides = {planes.width, planes.chromaWidth(),
                                            planes.chromaWidth()};
        status = tjCompressFromYUVPlanes(handle.get(), from.data(), planes.width, strides.data(),
                                         planes.height, TJSAMP_420, &jpeg, &size, quality, 0);
    } else {
        if (mapped) {
            frame.unmap();
        }
        const QImage image = source.toImage().convertToFormat(QImage::Format_RGBX8888);
        if (image.isNull()) {
            *error = QStringLiteral("the frame could not be converted to a picture");
            return {};
        }
        status = tjCompress2(handle.get(), image.constBits(), image.width(),
                             static_cast<int>(image.bytesPerLine()), image.height(), TJPF_RGBX,
                             &jpeg, &size, TJSAMP_420, quality, 0);
    }
    if (frame.isMapped()) {
        frame.unmap();
    }
    QByteArray result;
    if (status == 0) {
        result = QByteArray(reinterpret_cast<const char*>(jpeg), static_cast<qsizetype>(size));
    } else {
        *error = QStringLiteral("JPEG encoding failed: %1").arg(TjError(handle.get()));
    }
    tjFree(jpeg);
    return result;
}

} // namespace FrameJpeg
