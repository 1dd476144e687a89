// A camera frame written as a JPEG file with libjpeg-turbo.
//
// Frames in the YUV layouts cameras deliver (planar 4:2:0, NV12/NV21,
// YUYV/UYVY) are encoded from their luma and chroma planes without a round
// trip through RGB; limited-range video levels are stretched to the full range
// JPEG files hold. Any other frame is converted to an image first. Chroma is
// subsampled 4:2:0 and the quality scale is libjpeg's, as for any JPEG writer
// built on it.
#pragma once

#include <QByteArray>
#include <QString>

class QVideoFrame;

namespace FrameJpeg {

// The JPEG bytes of frame at quality (1..100); empty with *error set on failure.
QByteArray Encode(const QVideoFrame& frame, int quality, QString* error);

} // namespace FrameJpeg
