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

namespace FrameJpeg {

// The JPEG bytes of picture at quality (1..100); empty with *error set on failure.
QByteArray Encode(const YuvPicture::View& picture, int quality, QString* error);

} // namespace FrameJpeg
