// Camera pictures in the YUV layouts cameras and their decoders deliver, and
// the two conversions the camera window needs: to RGB for the preview, and to
// the full-range BT.601 4:2:0 planes a JPEG (JFIF) file holds for the photo.
//
// Each picture carries the colour matrix (BT.601 or BT.709) and the range
// (limited 16..235/240 or full 0..255) its source tagged it with; both
// conversions use them, so that a colour looks the same in the preview, in the
// photo and in any JPEG viewer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace YuvPicture {

enum class Layout {
    I420, // planar 4:2:0: Y, then U, then V
    YV12, // planar 4:2:0: Y, then V, then U
    NV12, // Y, then interleaved U V at half height
    NV21, // Y, then interleaved V U at half height
    YUY2, // packed 4:2:2: Y0 U Y1 V
    UYVY, // packed 4:2:2: U Y0 V Y1
};

enum class Matrix { Bt601, Bt709 };
enum class Range { Limited, Full };

// A picture in memory owned by someone else: planes as the layout has them.
struct View {
    Layout layout = Layout::I420;
    int width = 0;
    int height = 0;
    const unsigned char* data[3] = {nullptr, nullptr, nullptr};
    int stride[3] = {0, 0, 0};
    Matrix matrix = Matrix::Bt601;
    Range range = Range::Limited;
};

// Planar 4:2:0 in full-range BT.601: what a JPEG encoder takes as it is.
struct JfifPlanes {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> y;
    std::vector<unsigned char> u;
    std::vector<unsigned char> v;
    int chromaWidth() const { return (width + 1) / 2; }
    int chromaHeight() const { return (height + 1) / 2; }
};

// True when view is already planar 4:2:0 in full-range BT.601 (a decoded
// JPEG): it can be encoded without conversion.
bool IsJfif(const View& view);

// The whole picture scaled to outWidth x outHeight (nearest pixel) as
// 0xffRRGGBB values, rows outStride values apart.
void ToRgb32(const View& view, int outWidth, int outHeight, std::uint32_t* out,
             std::ptrdiff_t outStride);

// The picture as full-range BT.601 4:2:0 planes; the chroma of two rows is
// averaged into one.
void ToJfif(const View& view, JfifPlanes& planes);

// The size a width x height picture takes to fit within maxWidth x
// maxHeight, its shape kept (each side rounded, at least 1); the picture's own
// size when it fits already.
struct Size {
    int width = 0;
    int height = 0;
    bool operator==(const Size&) const = default;
};
Size FitWithin(int width, int height, int maxWidth, int maxHeight);

// The picture's planes scaled down to size (no larger than the picture): each
// sample the mean of the samples it covers, so that fine print stays legible
// and no pattern shimmers as with nearest-pixel scaling.
void Shrink(const View& view, Size size, JfifPlanes& planes);

} // namespace YuvPicture
