#include "FrameJpeg.h"

#include <turbojpeg.h>

#include <array>
#include <memory>

namespace {

struct TjDeleter {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, TjDeleter>;

QString TjError(void* handle) {
    return QString::fromLocal8Bit(tjGetErrorStr2(handle));
}

} // namespace

namespace FrameJpeg {

QByteArray Encode(const YuvPicture::View& picture, int quality, QString* error) {
    if (picture.width <= 0 || picture.height <= 0) {
        *error = QStringLiteral("the picture is empty");
        return {};
    }
    TjHandle handle(tjInitCompress());
    if (!handle) {
        *error = QStringLiteral("the JPEG encoder could not start: %1").arg(TjError(nullptr));
        return {};
    }
    std::array<const unsigned char*, 3> planes{};
    std::array<int, 3> strides{};
    YuvPicture::JfifPlanes converted;
    if (YuvPicture::IsJfif(picture)) {
        // Already what the encoder takes (a decoded MJPEG picture): no copy.
        const bool swapped = picture.layout == YuvPicture::Layout::YV12;
        planes = {picture.data[0], picture.data[swapped ? 2 : 1], picture.data[swapped ? 1 : 2]};
        strides = {picture.stride[0], picture.stride[swapped ? 2 : 1],
                   picture.stride[swapped ? 1 : 2]};
    } else {
        YuvPicture::ToJfif(picture, converted);
        planes = {converted.y.data(), converted.u.data(), converted.v.data()};
        strides = {converted.width, converted.chromaWidth(), converted.chromaWidth()};
    }
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int status =
        tjCompressFromYUVPlanes(handle.get(), planes.data(), picture.width, strides.data(),
                                picture.height, TJSAMP_420, &jpeg, &size, quality, 0);
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
