// The camera's pictures: colours through every layout, matrix and range, the
// JPEG planes, the mode chosen and the names shown.
#include "CameraChoice.h"
#include "YuvPicture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

using YuvPicture::Layout;
using YuvPicture::Matrix;
using YuvPicture::Range;

namespace {

struct Rgb {
    int r;
    int g;
    int b;
};

struct Ycc {
    int y;
    int cb;
    int cr;
};

// The standards' own formulas, in floating point: what a camera delivers for
// a colour.
Ycc Encode(Rgb c, Matrix matrix, Range range) {
    const double kr = matrix == Matrix::Bt709 ? 0.2126 : 0.299;
    const double kb = matrix == Matrix::Bt709 ? 0.0722 : 0.114;
    const double r = c.r / 255.0;
    const double g = c.g / 255.0;
    const double b = c.b / 255.0;
    const double y = kr * r + (1 - kr - kb) * g + kb * b;
    const double cb = (b - y) / (2 * (1 - kb));
    const double cr = (r - y) / (2 * (1 - kr));
    const auto level = [](double v) {
        return static_cast<int>(std::lround(std::clamp(v, 0.0, 255.0)));
    };
    if (range == Range::Full) {
        return {level(255 * y), level(128 + 255 * cb), level(128 + 255 * cr)};
    }
    return {level(16 + 219 * y), level(128 + 224 * cb), level(128 + 224 * cr)};
}

// What a JPEG viewer shows for JFIF samples.
Rgb DecodeJfif(int y, int cb, int cr) {
    const auto clamp = [](double v) {
        return static_cast<int>(std::lround(std::clamp(v, 0.0, 255.0)));
    };
    return {clamp(y + 1.402 * (cr - 128)), clamp(y - 0.344136 * (cb - 128) - 0.714136 * (cr - 128)),
            clamp(y + 1.772 * (cb - 128))};
}

// A picture of one colour in a layout, with the planes it owns.
struct Picture {
    std::vector<unsigned char> planes[3];
    YuvPicture::View view;

    Picture(Layout layout, int width, int height, Ycc c, Matrix matrix, Range range) {
        view.layout = layout;
        view.width = width;
        view.height = height;
        view.matrix = matrix;
        view.range = range;
        const int cw = (width + 1) / 2;
        const int ch = (height + 1) / 2;
        const auto plane = [this](int i, int stride, int rows, std::vector<unsigned char> row) {
            // Strides wider than the row, as drivers align them.
            const int padded = stride + 8;
            planes[i].assign(static_cast<std::size_t>(padded) * rows, 0xEE);
            for (int r = 0; r < rows; ++r) {
                std::copy(row.begin(), row.end(), planes[i].begin() + r * padded);
            }
            view.data[i] = planes[i].data();
            view.stride[i] = padded;
        };
        const auto repeat = [](std::vector<unsigned char> unit, int times) {
            std::vector<unsigned char> row;
            for (int i = 0; i < times; ++i) {
                row.insert(row.end(), unit.begin(), unit.end());
            }
            return row;
        };
        const auto y = static_cast<unsigned char>(c.y);
        const auto u = static_cast<unsigned char>(c.cb);
        const auto v = static_cast<unsigned char>(c.cr);
        switch (layout) {
        case Layout::I420:
            plane(0, width, height, repeat({y}, width));
            plane(1, cw, ch, repeat({u}, cw));
            plane(2, cw, ch, repeat({v}, cw));
            break;
        case Layout::YV12:
            plane(0, width, height, repeat({y}, width));
            plane(1, cw, ch, repeat({v}, cw));
            plane(2, cw, ch, repeat({u}, cw));
            break;
        case Layout::NV12:
            plane(0, width, height, repeat({y}, width));
            plane(1, 2 * cw, ch, repeat({u, v}, cw));
            break;
        case Layout::NV21:
            plane(0, width, height, repeat({y}, width));
            plane(1, 2 * cw, ch, repeat({v, u}, cw));
            break;
        case Layout::YUY2:
            plane(0, 4 * cw, height, repeat({y, u, y, v}, cw));
            break;
        case Layout::UYVY:
            plane(0, 4 * cw, height, repeat({u, y, v, y}, cw));
            break;
        }
    }
};

::testing::AssertionResult Near(Rgb actual, Rgb expected, int tolerance) {
    if (std::abs(actual.r - expected.r) <= tolerance &&
        std::abs(actual.g - expected.g) <= tolerance &&
        std::abs(actual.b - expected.b) <= tolerance) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "(" << actual.r << "," << actual.g << "," << actual.b << ") instead of ("
           << expected.r << "," << expected.g << "," << expected.b << ")";
}

Rgb Unpack(std::uint32_t pixel) {
    return {static_cast<int>((pixel >> 16) & 0xff), static_cast<int>((pixel >> 8) & 0xff),
            static_cast<int>(pixel & 0xff)};
}

const Rgb kColours[] = {{0, 0, 255},   {255, 255, 0}, {255, 0, 0},     {0, 255, 255},
                        {192, 48, 32}, {32, 80, 208}, {128, 128, 128}, {255, 255, 255}};
const Layout kLayouts[] = {Layout::I420, Layout::YV12, Layout::NV12,
                           Layout::NV21, Layout::YUY2, Layout::UYVY};

} // namespace

TEST(CameraPicture, PreviewAndPhotoKeepEveryColourInEveryLayoutMatrixAndRange) {
    for (const Layout layout : kLayouts) {
        for (const Matrix matrix : {Matrix::Bt601, Matrix::Bt709}) {
            for (const Range range : {Range::Limited, Range::Full}) {
                for (const Rgb colour : kColours) {
                    SCOPED_TRACE(::testing::Message()
                                 << "layout " << static_cast<int>(layout) << ", matrix "
                                 << static_cast<int>(matrix) << ", range "
                                 << static_cast<int>(range) << ", colour " << colour.r << ","
                                 << colour.g << "," << colour.b);
                    const Picture picture(layout, 10, 6, Encode(colour, matrix, range), matrix,
                                          range);
                    std::vector<std::uint32_t> rgb(5 * 3, 0);
                    YuvPicture::ToRgb32(picture.view, 5, 3, rgb.data(), 5);
                    EXPECT_TRUE(Near(Unpack(rgb[7]), colour, 3));

                    YuvPicture::JfifPlanes jfif;
                    YuvPicture::ToJfif(picture.view, jfif);
                    ASSERT_EQ(jfif.width, 10);
                    ASSERT_EQ(jfif.height, 6);
                    ASSERT_EQ(jfif.y.size(), 60u);
                    ASSERT_EQ(jfif.u.size(), 15u);
                    EXPECT_TRUE(Near(DecodeJfif(jfif.y[25], jfif.u[7], jfif.v[7]), colour, 3));
                }
            }
        }
    }
}

TEST(CameraPicture, OnlyFullRangeBt601PlanarPicturesGoToTheEncoderAsTheyAre) {
    const Ycc grey{128, 128, 128};
    EXPECT_TRUE(
        YuvPicture::IsJfif(Picture(Layout::I420, 4, 4, grey, Matrix::Bt601, Range::Full).view));
    EXPECT_TRUE(
        YuvPicture::IsJfif(Picture(Layout::YV12, 4, 4, grey, Matrix::Bt601, Range::Full).view));
    EXPECT_FALSE(
        YuvPicture::IsJfif(Picture(Layout::I420, 4, 4, grey, Matrix::Bt601, Range::Limited).view));
    EXPECT_FALSE(
        YuvPicture::IsJfif(Picture(Layout::I420, 4, 4, grey, Matrix::Bt709, Range::Full).view));
    EXPECT_FALSE(
        YuvPicture::IsJfif(Picture(Layout::NV12, 4, 4, grey, Matrix::Bt601, Range::Full).view));
}

TEST(CameraPicture, PreviewScalesByNearestPixelAndOddSizesStayInside) {
    // A 7x3 YUY2 picture: left four columns red, right three blue.
    const Ycc red = Encode({255, 0, 0}, Matrix::Bt601, Range::Limited);
    const Ycc blue = Encode({0, 0, 255}, Matrix::Bt601, Range::Limited);
    Picture picture(Layout::I420, 7, 3, red, Matrix::Bt601, Range::Limited);
    auto& y = picture.planes[0];
    auto& u = picture.planes[1];
    auto& v = picture.planes[2];
    for (int row = 0; row < 3; ++row) {
        for (int col = 4; col < 7; ++col) {
            y[row * picture.view.stride[0] + col] = static_cast<unsigned char>(blue.y);
        }
    }
    for (int row = 0; row < 2; ++row) {
        for (int col = 2; col < 4; ++col) {
            u[row * picture.view.stride[1] + col] = static_cast<unsigned char>(blue.cb);
            v[row * picture.view.stride[2] + col] = static_cast<unsigned char>(blue.cr);
        }
    }
    std::vector<std::uint32_t> out(2 * 2 + 2, 0x12345678); // two spare values after the rows
    YuvPicture::ToRgb32(picture.view, 2, 2, out.data(), 2);
    EXPECT_TRUE(Near(Unpack(out[0]), {255, 0, 0}, 3));
    EXPECT_TRUE(Near(Unpack(out[1]), {0, 0, 255}, 3));
    EXPECT_TRUE(Near(Unpack(out[3]), {0, 0, 255}, 3));
    EXPECT_EQ(out[4], 0x12345678u);

    YuvPicture::JfifPlanes jfif;
    YuvPicture::ToJfif(picture.view, jfif);
    EXPECT_EQ(jfif.chromaWidth(), 4);
    EXPECT_EQ(jfif.chromaHeight(), 2);
    EXPECT_EQ(jfif.u.size(), 8u);
    EXPECT_TRUE(Near(DecodeJfif(jfif.y[2 * 7 + 6], jfif.u[4 + 3], jfif.v[4 + 3]), {0, 0, 255}, 3));
}

TEST(CameraPicture, ThePhotoFitsTheSitesLargestWithItsShapeKept) {
    using YuvPicture::FitWithin;
    using YuvPicture::Size;
    EXPECT_EQ(FitWithin(2592, 1944, 640, 480), (Size{640, 480}));
    EXPECT_EQ(FitWithin(1920, 1080, 640, 480), (Size{640, 360}));
    EXPECT_EQ(FitWithin(1944, 2592, 640, 480), (Size{360, 480}));
    EXPECT_EQ(FitWithin(640, 480, 640, 480), (Size{640, 480}));
    EXPECT_EQ(FitWithin(320, 240, 640, 480), (Size{320, 240}));
    EXPECT_EQ(FitWithin(100000, 2, 640, 480), (Size{640, 1}));
}

TEST(CameraPicture, AShrunkPhotoAveragesWhatEachSampleCovers) {
    // 8x4 full-range BT.601 I420: left half dark, right half light, with a
    // one-pixel line in the light half that must blend in, not vanish or stay.
    const int w = 8;
    const int h = 4;
    std::vector<unsigned char> y(w * h);
    std::vector<unsigned char> u((w / 2) * (h / 2), 90);
    std::vector<unsigned char> v((w / 2) * (h / 2), 170);
    for (int row = 0; row < h; ++row) {
        for (int x = 0; x < w; ++x) {
            y[row * w + x] = x < w / 2 ? 20 : (x == 6 && row == 1 ? 0 : 200);
        }
    }
    u[0] = 50; // one chroma sample of the top left differs
    YuvPicture::View view;
    view.layout = Layout::I420;
    view.width = w;
    view.height = h;
    view.data[0] = y.data();
    view.data[1] = u.data();
    view.data[2] = v.data();
    view.stride[0] = w;
    view.stride[1] = view.stride[2] = w / 2;
    view.matrix = Matrix::Bt601;
    view.range = Range::Full;
    YuvPicture::JfifPlanes out;
    YuvPicture::Shrink(view, {4, 2}, out);
    ASSERT_EQ(out.width, 4);
    ASSERT_EQ(out.height, 2);
    EXPECT_EQ(out.y, (std::vector<unsigned char>{20, 20, 200, 150, 20, 20, 200, 200}));
    EXPECT_EQ(out.u, (std::vector<unsigned char>{80, 90}));
    EXPECT_EQ(out.v, (std::vector<unsigned char>{170, 170}));
    // A limited-range picture is converted first: its black is JPEG's 0.
    std::fill(y.begin(), y.end(), 16);
    std::fill(u.begin(), u.end(), 128);
    std::fill(v.begin(), v.end(), 128);
    view.range = Range::Limited;
    YuvPicture::Shrink(view, {3, 1}, out);
    ASSERT_EQ(out.width, 3);
    EXPECT_EQ(out.y, (std::vector<unsigned char>{0, 0, 0}));
}

TEST(CameraChoice, TheLargestPictureAtAUsableRate) {
    using CameraChoice::Mode;
    // A document camera: its largest raw mode is too slow to preview.
    const std::vector<Mode> document = {{false, "YUY2", 2592, 1944, 2},
                                        {true, "", 2592, 1944, 15},
                                        {true, "", 640, 480, 30},
                                        {false, "YUY2", 640, 480, 30}};
    EXPECT_EQ(CameraChoice::Choose(document), 1u);
    // A webcam whose HD modes are slow: the sharpest that still looks live.
    const std::vector<Mode> webcam = {{false, "YUY2", 640, 480, 30},
                                      {false, "YUY2", 1280, 720, 10},
                                      {false, "YUY2", 1920, 1080, 5},
                                      {true, "", 1280, 720, 14.985}};
    EXPECT_EQ(CameraChoice::Choose(webcam), 3u);
    // Nothing reaches 15 frames a second: the camera's best rate decides.
    const std::vector<Mode> slow = {{false, "YUY2", 2592, 1944, 2},
                                    {false, "YUY2", 1600, 1200, 5},
                                    {false, "YUY2", 800, 600, 5}};
    EXPECT_EQ(CameraChoice::Choose(slow), 1u);
    // Same size and rate: raw before MJPEG.
    const std::vector<Mode> same = {{true, "", 640, 480, 30}, {false, "NV12", 640, 480, 30}};
    EXPECT_EQ(CameraChoice::Choose(same), 1u);
    EXPECT_FALSE(CameraChoice::Choose({}));
}

TEST(CameraChoice, ASizeAskedForWinsWhenTheCameraHasIt) {
    using CameraChoice::Mode;
    const std::vector<Mode> modes = {
        {false, "YUY2", 640, 480, 30}, {false, "YUY2", 2592, 1944, 2}, {true, "", 2592, 1944, 15}};
    EXPECT_EQ(CameraChoice::Choose(modes, std::make_pair(640, 480)), 0u);
    EXPECT_EQ(CameraChoice::Choose(modes, std::make_pair(2592, 1944)), 2u);
    EXPECT_FALSE(CameraChoice::Choose(modes, std::make_pair(800, 600)));
}

TEST(CameraChoice, TheSitesLargestPhotoCapsTheChoice) {
    using CameraChoice::Mode;
    const std::vector<Mode> modes = {{true, "", 2592, 1944, 15},
                                     {true, "", 1920, 1080, 30},
                                     {false, "YUY2", 1280, 720, 10},
                                     {true, "", 640, 480, 30}};
    const auto cap = [](int width, int height) {
        return std::make_optional(std::make_pair(width, height));
    };
    EXPECT_EQ(CameraChoice::Choose(modes, std::nullopt, cap(1920, 1080)), 1u);
    EXPECT_EQ(CameraChoice::Choose(modes, std::nullopt, cap(1600, 1200)), 3u); // 1280x720 is slow
    EXPECT_EQ(CameraChoice::Choose(modes, std::nullopt, cap(4000, 3000)), 0u);
    // Nothing within the cap: the smallest picture the camera has.
    const std::vector<Mode> large = {{true, "", 2592, 1944, 15}, {true, "", 1920, 1080, 30}};
    EXPECT_EQ(CameraChoice::Choose(large, std::nullopt, cap(640, 480)), 1u);
}

TEST(CameraChoice, ANameCutInsideACharacterLosesOnlyThatCharacter) {
    const std::string gao = "\xE9\xAB\x98"; // 高: three bytes
    const std::string smile = "\xF0\x9F\x98\x80";
    EXPECT_EQ(CameraChoice::DisplayName("USB Camera"), "USB Camera");
    EXPECT_EQ(CameraChoice::DisplayName(gao + gao), gao + gao);
    EXPECT_EQ(CameraChoice::DisplayName(gao + "\xE9\xAB"), gao);
    EXPECT_EQ(CameraChoice::DisplayName(gao + "\xE9"), gao);
    EXPECT_EQ(CameraChoice::DisplayName("HD " + smile.substr(0, 3)), "HD ");
    EXPECT_EQ(CameraChoice::DisplayName("HD " + smile), "HD " + smile);
    EXPECT_EQ(CameraChoice::DisplayName("caf\xC3"), "caf");
    EXPECT_EQ(CameraChoice::DisplayName(""), "");
}
