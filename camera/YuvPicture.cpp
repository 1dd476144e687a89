#include "YuvPicture.h"

#include <algorithm>
#include <cmath>

namespace YuvPicture {

namespace {

// Fixed-point factors carry 16 fractional bits.
constexpr int kShift = 16;
constexpr int kOne = 1 << kShift;
constexpr int kHalf = 1 << (kShift - 1);

struct Weights {
    double kr;
    double kb;
};

Weights WeightsOf(Matrix matrix) {
    return matrix == Matrix::Bt709 ? Weights{0.2126, 0.0722} : Weights{0.299, 0.114};
}

// The levels of a range: luma offset and span, chroma span.
struct Levels {
    int lumaOffset;
    double lumaSpan;
    double chromaSpan;
};

Levels LevelsOf(Range range) {
    return range == Range::Full ? Levels{0, 255.0, 255.0} : Levels{16, 219.0, 224.0};
}

int Fixed(double value) {
    return static_cast<int>(std::lround(value * kOne));
}

unsigned char Clamp(int value) {
    return static_cast<unsigned char>(std::clamp(value, 0, 255));
}

// One row of the picture as luma samples and horizontally halved chroma.
struct Row {
    std::vector<unsigned char> y;
    std::vector<unsigned char> cb;
    std::vector<unsigned char> cr;
};

void FetchRow(const View& view, int row, Row& out) {
    const int w = view.width;
    const int cw = (w + 1) / 2;
    out.y.resize(static_cast<std::size_t>(w));
    out.cb.resize(static_cast<std::size_t>(cw));
    out.cr.resize(static_cast<std::size_t>(cw));
    const auto line = [&view](int plane, int at) {
        return view.data[plane] + static_cast<std::ptrdiff_t>(at) * view.stride[plane];
    };
    switch (view.layout) {
    case Layout::I420:
    case Layout::YV12: {
        const bool swapped = view.layout == Layout::YV12;
        std::copy_n(line(0, row), w, out.y.begin());
        std::copy_n(line(swapped ? 2 : 1, row / 2), cw, out.cb.begin());
        std::copy_n(line(swapped ? 1 : 2, row / 2), cw, out.cr.begin());
        break;
    }
    case Layout::NV12:
    case Layout::NV21: {
        const bool swapped = view.layout == Layout::NV21;
        std::copy_n(line(0, row), w, out.y.begin());
        const unsigned char* uv = line(1, row / 2);
        for (int i = 0; i < cw; ++i) {
            out.cb[i] = uv[2 * i + (swapped ? 1 : 0)];
            out.cr[i] = uv[2 * i + (swapped ? 0 : 1)];
        }
        break;
    }
    case Layout::YUY2:
    case Layout::UYVY: {
        const bool yFirst = view.layout == Layout::YUY2;
        const unsigned char* packed = line(0, row);
        for (int x = 0; x < w; ++x) {
            out.y[x] = packed[2 * x + (yFirst ? 0 : 1)];
        }
        for (int i = 0; i < cw; ++i) {
            out.cb[i] = packed[4 * i + (yFirst ? 1 : 0)];
            out.cr[i] = packed[4 * i + (yFirst ? 3 : 2)];
        }
        break;
    }
    }
}

// YCbCr of the view's matrix and range to R'G'B' in 0..255.
struct ToRgbFactors {
    int lumaOffset;
    int luma;
    int crToR;
    int cbToG;
    int crToG;
    int cbToB;

    explicit ToRgbFactors(const View& view) {
        const Weights k = WeightsOf(view.matrix);
        const Levels levels = LevelsOf(view.range);
        const double kg = 1.0 - k.kr - k.kb;
        const double chroma = 255.0 / levels.chromaSpan;
        lumaOffset = levels.lumaOffset;
        luma = Fixed(255.0 / levels.lumaSpan);
        crToR = Fixed(2.0 * (1.0 - k.kr) * chroma);
        cbToB = Fixed(2.0 * (1.0 - k.kb) * chroma);
        cbToG = Fixed(2.0 * k.kb * (1.0 - k.kb) / kg * chroma);
        crToG = Fixed(2.0 * k.kr * (1.0 - k.kr) / kg * chroma);
    }

    std::uint32_t rgb(int y, int cb, int cr) const {
        const int l = luma * (y - lumaOffset) + kHalf;
        cb -= 128;
        cr -= 128;
        const int r = (l + crToR * cr) >> kShift;
        const int g = (l - cbToG * cb - crToG * cr) >> kShift;
        const int b = (l + cbToB * cb) >> kShift;
        return 0xff000000u | (std::uint32_t{Clamp(r)} << 16) | (std::uint32_t{Clamp(g)} << 8) |
               std::uint32_t{Clamp(b)};
    }
};

// YCbCr of the view's matrix and range to full-range BT.601 YCbCr. The map is
// linear; chroma does not depend on luma (grey stays grey), so the new chroma
// is computed from the old chroma alone.
struct ToJfifFactors {
    int lumaOffset;
    int luma;
    int cbToY;
    int crToY;
    int cbToCb;
    int crToCb;
    int cbToCr;
    int crToCr;
    bool sameMatrix;

    explicit ToJfifFactors(const View& view) {
        const Levels levels = LevelsOf(view.range);
        const Weights from = WeightsOf(view.matrix);
        const Weights to = WeightsOf(Matrix::Bt601);
        // Normalised source chroma (-0.5..0.5) to R'G'B' differences from Y'.
        const double kgFrom = 1.0 - from.kr - from.kb;
        const double rCr = 2.0 * (1.0 - from.kr);
        const double bCb = 2.0 * (1.0 - from.kb);
        const double gCb = -2.0 * from.kb * (1.0 - from.kb) / kgFrom;
        const double gCr = -2.0 * from.kr * (1.0 - from.kr) / kgFrom;
        // R' = Y + rCr Cr, G' = Y + gCb Cb + gCr Cr, B' = Y + bCb Cb; then the
        // target matrix: Y' = kr R' + kg G' + kb B', Cb' = (B' - Y') / (2 (1 - kb)),
        // Cr' = (R' - Y') / (2 (1 - kr)).
        const double kgTo = 1.0 - to.kr - to.kb;
        const double yCb = kgTo * gCb + to.kb * bCb;
        const double yCr = to.kr * rCr + kgTo * gCr;
        const double cbCb = (bCb - yCb) / (2.0 * (1.0 - to.kb));
        const double cbCr = (0.0 - yCr) / (2.0 * (1.0 - to.kb));
        const double crCb = (0.0 - yCb) / (2.0 * (1.0 - to.kr));
        const double crCr = (rCr - yCr) / (2.0 * (1.0 - to.kr));
        const double chroma = 255.0 / levels.chromaSpan;
        lumaOffset = levels.lumaOffset;
        luma = Fixed(255.0 / levels.lumaSpan);
        cbToY = Fixed(yCb * chroma);
        crToY = Fixed(yCr * chroma);
        cbToCb = Fixed(cbCb * chroma);
        crToCb = Fixed(cbCr * chroma);
        cbToCr = Fixed(crCb * chroma);
        crToCr = Fixed(crCr * chroma);
        sameMatrix = view.matrix == Matrix::Bt601;
    }
};

} // namespace

bool IsJfif(const View& view) {
    return (view.layout == Layout::I420 || view.layout == Layout::YV12) &&
           view.matrix == Matrix::Bt601 && view.range == Range::Full;
}

void ToRgb32(const View& view, int outWidth, int outHeight, std::uint32_t* out,
             std::ptrdiff_t outStride) {
    if (view.width <= 0 || view.height <= 0 || outWidth <= 0 || outHeight <= 0) {
        return;
    }
    const ToRgbFactors factors(view);
    std::vector<int> columns(static_cast<std::size_t>(outWidth));
    for (int c = 0; c < outWidth; ++c) {
        columns[c] = static_cast<int>((2LL * c + 1) * view.width / (2LL * outWidth));
    }
    Row row;
    int fetched = -1;
    for (int r = 0; r < outHeight; ++r) {
        const int source = static_cast<int>((2LL * r + 1) * view.height / (2LL * outHeight));
        if (source != fetched) {
            FetchRow(view, source, row);
            fetched = source;
        }
        std::uint32_t* target = out + static_cast<std::ptrdiff_t>(r) * outStride;
        for (int c = 0; c < outWidth; ++c) {
            const int x = columns[c];
            target[c] = factors.rgb(row.y[x], row.cb[x / 2], row.cr[x / 2]);
        }
    }
}

void ToJfif(const View& view, JfifPlanes& planes) {
    planes.width = view.width;
    planes.height = view.height;
    const int w = view.width;
    const int h = view.height;
    const int cw = planes.chromaWidth();
    const int ch = planes.chromaHeight();
    planes.y.resize(static_cast<std::size_t>(w) * h);
    planes.u.resize(static_cast<std::size_t>(cw) * ch);
    planes.v.resize(planes.u.size());
    if (w <= 0 || h <= 0) {
        return;
    }
    const ToJfifFactors f(view);
    Row top;
    Row bottom;
    for (int cy = 0; cy < ch; ++cy) {
        const int first = 2 * cy;
        const int second = std::min(first + 1, h - 1);
        FetchRow(view, first, top);
        if (second != first) {
            FetchRow(view, second, bottom);
        } else {
            bottom = top;
        }
        // Luma of both rows, each pixel with its own row's chroma.
        const auto luma = [&](int number, const Row& row) {
            unsigned char* y = planes.y.data() + static_cast<std::ptrdiff_t>(number) * w;
            if (f.sameMatrix) {
                for (int x = 0; x < w; ++x) {
                    y[x] = Clamp((f.luma * (row.y[x] - f.lumaOffset) + kHalf) >> kShift);
                }
                return;
            }
            for (int x = 0; x < w; ++x) {
                const int cb = row.cb[x / 2] - 128;
                const int cr = row.cr[x / 2] - 128;
                y[x] = Clamp(
                    (f.luma * (row.y[x] - f.lumaOffset) + f.cbToY * cb + f.crToY * cr + kHalf) >>
                    kShift);
            }
        };
        luma(first, top);
        if (second != first) {
            luma(second, bottom);
        }
        unsigned char* u = planes.u.data() + static_cast<std::ptrdiff_t>(cy) * cw;
        unsigned char* v = planes.v.data() + static_cast<std::ptrdiff_t>(cy) * cw;
        for (int cx = 0; cx < cw; ++cx) {
            // Twice the average of the two rows, kept in integers.
            const int cb2 = top.cb[cx] + bottom.cb[cx] - 256;
            const int cr2 = top.cr[cx] + bottom.cr[cx] - 256;
            u[cx] = Clamp(128 + ((f.cbToCb * cb2 + f.crToCb * cr2 + kOne) >> (kShift + 1)));
            v[cx] = Clamp(128 + ((f.cbToCr * cb2 + f.crToCr * cr2 + kOne) >> (kShift + 1)));
        }
    }
}

Size FitWithin(int width, int height, int maxWidth, int maxHeight) {
    if (width <= maxWidth && height <= maxHeight) {
        return {width, height};
    }
    // The side that is furthest over its limit decides the scale.
    if (static_cast<long long>(width) * maxHeight >= static_cast<long long>(height) * maxWidth) {
        const long long h = (static_cast<long long>(height) * maxWidth + width / 2) / width;
        return {maxWidth, static_cast<int>(std::max(1LL, h))};
    }
    const long long w = (static_cast<long long>(width) * maxHeight + height / 2) / height;
    return {static_cast<int>(std::max(1LL, w)), maxHeight};
}

namespace {

// One plane scaled down by box averaging: out sample x covers the input
// samples from x * inWidth / outWidth to (x + 1) * inWidth / outWidth.
void ShrinkPlane(const unsigned char* in, int inStride, int inWidth, int inHeight,
                 unsigned char* out, int outWidth, int outHeight) {
    std::vector<std::uint32_t> sums(static_cast<std::size_t>(outWidth));
    std::vector<int> firstColumn(static_cast<std::size_t>(outWidth) + 1);
    for (int x = 0; x <= outWidth; ++x) {
        firstColumn[static_cast<std::size_t>(x)] =
            static_cast<int>(static_cast<long long>(x) * inWidth / outWidth);
    }
    for (int y = 0; y < outHeight; ++y) {
        const int top = static_cast<int>(static_cast<long long>(y) * inHeight / outHeight);
        const int bottom = std::max(
            top + 1, static_cast<int>(static_cast<long long>(y + 1) * inHeight / outHeight));
        std::fill(sums.begin(), sums.end(), 0);
        for (int row = top; row < bottom; ++row) {
            const unsigned char* line = in + static_cast<std::ptrdiff_t>(row) * inStride;
            for (int x = 0; x < outWidth; ++x) {
                const int left = firstColumn[static_cast<std::size_t>(x)];
                const int right = std::max(left + 1, firstColumn[static_cast<std::size_t>(x) + 1]);
                std::uint32_t sum = 0;
                for (int column = left; column < right; ++column) {
                    sum += line[column];
                }
                sums[static_cast<std::size_t>(x)] += sum;
            }
        }
        unsigned char* target = out + static_cast<std::ptrdiff_t>(y) * outWidth;
        for (int x = 0; x < outWidth; ++x) {
            const int left = firstColumn[static_cast<std::size_t>(x)];
            const int right = std::max(left + 1, firstColumn[static_cast<std::size_t>(x) + 1]);
            const auto count = static_cast<std::uint32_t>((right - left) * (bottom - top));
            target[x] = static_cast<unsigned char>((sums[static_cast<std::size_t>(x)] + count / 2) /
                                                   count);
        }
    }
}

} // namespace

void Shrink(const View& view, Size size, JfifPlanes& planes) {
    // In JFIF's planes first (a decoded JPEG already is), then each plane alone.
    JfifPlanes converted;
    const unsigned char* source[3];
    int stride[3];
    if (IsJfif(view)) {
        const bool swapped = view.layout == Layout::YV12;
        source[0] = view.data[0];
        source[1] = view.data[swapped ? 2 : 1];
        source[2] = view.data[swapped ? 1 : 2];
        stride[0] = view.stride[0];
        stride[1] = view.stride[swapped ? 2 : 1];
        stride[2] = view.stride[swapped ? 1 : 2];
    } else {
        ToJfif(view, converted);
        source[0] = converted.y.data();
        source[1] = converted.u.data();
        source[2] = converted.v.data();
        stride[0] = converted.width;
        stride[1] = stride[2] = converted.chromaWidth();
    }
    const int width = std::min(size.width, view.width);
    const int height = std::min(size.height, view.height);
    planes.width = width;
    planes.height = height;
    planes.y.resize(static_cast<std::size_t>(width) * height);
    planes.u.resize(static_cast<std::size_t>(planes.chromaWidth()) * planes.chromaHeight());
    planes.v.resize(planes.u.size());
    const int inChromaWidth = (view.width + 1) / 2;
    const int inChromaHeight = (view.height + 1) / 2;
    ShrinkPlane(source[0], stride[0], view.width, view.height, planes.y.data(), width, height);
    ShrinkPlane(source[1], stride[1], inChromaWidth, inChromaHeight, planes.u.data(),
                planes.chromaWidth(), planes.chromaHeight());
    ShrinkPlane(source[2], stride[2], inChromaWidth, inChromaHeight, planes.v.data(),
                planes.chromaWidth(), planes.chromaHeight());
}

} // namespace YuvPicture
