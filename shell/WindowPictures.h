#pragma once

#include <QImage>
#include <QString>

// The main window's pictures, decoded on a thread of their own. Tavlin starts
// the decoding as early as it can, so that it runs beside the browser engine's
// start instead of holding up the start page's request; the window takes the
// finished images when it is first shown.
namespace WindowPictures {

// Starts decoding every picture; later calls do nothing.
void StartDecoding();

// The picture at a resource path, ready to show (premultiplied or opaque
// 32-bit). Waits for the decoding started above; decodes the picture here
// when no decoding was started or the path is not one of the window's.
QImage Image(const QString& path);

} // namespace WindowPictures
