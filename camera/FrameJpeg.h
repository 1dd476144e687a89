// A camera picture written as a JPEG file with libjpeg-turbo.
//
// The picture is encoded from its luma and chroma planes, without a round trip
// through RGB: converted to the full-range BT.601 4:2:0 planes a JPEG (JFIF)
// file holds, by the picture's own colour matrix and range. Chroma is
// subsampled 4:2:0 and the quality scale is libjpeg's, as for any JPEG writer
// built on it.
#pragma once

#include "YuvPicture.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace FrameJpeg {

// The JPEG bytes of picture at quality (1..100); empty with *error set on
// failure. A picture larger than largest (when set) is scaled down to fit.
QByteArray Encode(const YuvPicture::View& picture, int quality, QString* error,
                  std::optional<YuvPicture::Size> largest = std::nullopt);

// Writes jpeg as the file at path, complete or not at all: beside it first,
// then renamed over it, so that no reader ever sees part of it. The photo is
// the officer's alone: readable by its owner only. False with *reason (the
// system's words) when it could not be written.
bool WriteFile(const QString& path, const QByteArray& jpeg, QString* reason);

} // namespace FrameJpeg
