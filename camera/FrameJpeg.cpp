#include "FrameJpeg.h"

#include <QFile>

#include <turbojpeg.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

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

QByteArray Encode(const YuvPicture::View& picture, int quality, QString* error,
                  std::optional<YuvPicture::Size> largest) {
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
    const YuvPicture::Size fitted =
        largest ? YuvPicture::FitWithin(picture.width, picture.height, largest->width,
                                        largest->height)
                : YuvPicture::Size{picture.width, picture.height};
    if (fitted.width < picture.width || fitted.height < picture.height) {
        YuvPicture::Shrink(picture, fitted, converted);
        planes = {converted.y.data(), converted.u.data(), converted.v.data()};
        strides = {converted.width, converted.chromaWidth(), converted.chromaWidth()};
    } else if (YuvPicture::IsJfif(picture)) {
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
        tjCompressFromYUVPlanes(handle.get(), planes.data(), fitted.width, strides.data(),
                                fitted.height, TJSAMP_420, &jpeg, &size, quality, 0);
    QByteArray result;
    if (status == 0) {
        result = QByteArray(reinterpret_cast<const char*>(jpeg), static_cast<qsizetype>(size));
    } else {
        *error = QStringLiteral("JPEG encoding failed: %1").arg(TjError(handle.get()));
    }
    tjFree(jpeg);
    return result;
}

bool WriteFile(const QString& path, const QByteArray& jpeg, QString* reason) {
    // An old part left by a killed run is replaced, not reused with its mode.
    const QString part = path + QStringLiteral(".part");
    QFile::remove(part);
    QFile file(part);
    bool written = file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                             QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
                   file.write(jpeg) == jpeg.size();
    file.close(); // flushes: the bytes are in the file before it gets its name
    written = written && file.error() == QFileDevice::NoError;
    *reason = file.errorString();
    if (written && std::rename(QFile::encodeName(part).constData(),
                               QFile::encodeName(path).constData()) != 0) {
        written = false;
        *reason = QString::fromLocal8Bit(std::strerror(errno));
    }
    if (!written) {
        QFile::remove(part);
    }
    return written;
}

} // namespace FrameJpeg
