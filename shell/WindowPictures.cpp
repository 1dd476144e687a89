#include "WindowPictures.h"

#include <QHash>
#include <QImageReader>

#include <future>
#include <mutex>

namespace {

const char* const kPictures[] = {
    ":/pictures/title.jpg",        ":/pictures/back.jpg",         ":/pictures/btn_photo.png",
    ":/pictures/btn_photo_hi.png", ":/pictures/btn_close.png",    ":/pictures/btn_close_hi.png",
    ":/pictures/btn_index.png",    ":/pictures/btn_index_hi.png", ":/pictures/btn_login.png",
    ":/pictures/btn_login_hi.png",
};

// The formats the raster paint engine draws without converting again.
QImage Decode(const QString& path) {
    QImage image(path);
    if (image.isNull()) {
        return image;
    }
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                         : QImage::Format_RGB32);
}

QHash<QString, QImage> DecodeAll() {
    QHash<QString, QImage> images;
    for (const char* path : kPictures) {
        const QString name = QString::fromLatin1(path);
        images.insert(name, Decode(name));
    }
    // The loading animation's first frame: this loads the GIF reader here
    // rather than on the window's thread when the animation starts.
    QImageReader(QStringLiteral(":/pictures/loading.gif")).read();
    return images;
}

std::mutex g_mutex;
std::shared_future<QHash<QString, QImage>> g_decoded;

} // namespace

namespace WindowPictures {

void StartDecoding() {
    const std::lock_guard lock(g_mutex);
    if (!g_decoded.valid()) {
        g_decoded = std::async(std::launch::async, DecodeAll).share();
    }
}

QImage Image(const QString& path) {
    std::shared_future<QHash<QString, QImage>> decoded;
    {
        const std::lock_guard lock(g_mutex);
        decoded = g_decoded;
    }
    if (decoded.valid()) {
        const auto& images = decoded.get();
        if (const auto found = images.constFind(path); found != images.constEnd()) {
            return *found;
        }
    }
    return Decode(path);
}

} // namespace WindowPictures
