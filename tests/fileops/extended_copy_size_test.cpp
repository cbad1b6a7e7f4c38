// The extended copy's size and rotation steps: the size arithmetic (truncation, minimum 1,
// the longer side fitted), which resampler each mode uses, and the turn of the output.
#include <gtest/gtest.h>

#include <memory>

#include "fileops/ExtendedCopy.h"
#include "imaging/Bitmap.h"
#include "formats/Picture.h"
#include "imaging/PlainStretch.h"
#include "imaging/StretchUtils.h"
#include "tests/support/TestImages.h"

using namespace korvel;

namespace {

// A picture holding a 24-bit bitmap whose pixel (x, y) has blue x, green y and red 7.
std::unique_ptr<TBitmap> gradient(int w, int h) {
    auto b = std::make_unique<TBitmap>(w, h, PixelFormat::pf24bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b->setRawPixel(x, y, makeColor(7, uint8_t(y), uint8_t(x)));
    return b;
}

void holdGradient(TPicture& picture, int w, int h) { picture.setGraphic(gradient(w, h)); }

}  // namespace

TEST(ExtendedCopySize, ScaledAndFittedSizes) {
    struct Row {
        bool fit;
        int w, h, n, wantW, wantH;
    };
    const Row rows[] = {
        {true, 1000, 500, 80, 80, 40},   // landscape: the width becomes 80
        {true, 500, 1000, 80, 40, 80},   // portrait: the height becomes 80
        {true, 300, 300, 80, 80, 80},    // square
        {true, 1000, 3, 80, 80, 1},      // 3*80 div 1000 = 0, at least 1
        {true, 333, 1000, 100, 33, 100}, // truncated, not rounded (33.3)
        {true, 200, 299, 100, 66, 100},  // 66.9 truncates to 66
        {true, 640, 480, 0, 1, 1},       // a length below 1 counts as 1
        {true, 4, 2, 100000, 100000, 50000},
        {false, 3, 3, 25, 1, 1},         // 0.75 truncates to 0, then at least 1
        {false, 1000, 500, 10, 100, 50},
        {false, 199, 99, 50, 99, 49},
        {false, 7, 9, 200, 14, 18},
        {false, 640, 480, 0, 1, 1},
        {false, 100000, 50000, 200, 200000, 100000},  // no 32-bit overflow in W*p
    };
    for (const Row& r : rows) {
        Size s = r.fit ? fittedSize(r.w, r.h, r.n) : scaledSize(r.w, r.h, r.n);
        EXPECT_EQ(s.width, r.wantW) << (r.fit ? "fit " : "scale ") << r.w << "x" << r.h << " " << r.n;
        EXPECT_EQ(s.height, r.wantH) << (r.fit ? "fit " : "scale ") << r.w << "x" << r.h << " " << r.n;
    }
}

// A degenerate size never divides by zero.
TEST(ExtendedCopySize, ZeroSidesDoNotCrash) {
    for (auto [w, h] : {std::pair{0, 0}, std::pair{0, 5}, std::pair{5, 0}}) {
        Size s = fittedSize(w, h, 80);
        EXPECT_GE(s.width, 1);
        EXPECT_GE(s.height, 1);
    }
}

// Each mode ends in the size it states and uses the resampler it states.
TEST(ExtendedCopySize, ResizeModes) {
    struct Row {
        SizeMode mode;
        int percent, width, height;
        bool keepAspect, quality;
        int wantW, wantH;
        bool wantQuality;  // StretchBitmap's result, else the plain stretch
    };
    const Row rows[] = {
        {SizeMode::Scale, 50, 0, 0, true, true, 20, 15, true},
        {SizeMode::Scale, 50, 0, 0, true, false, 20, 15, false},
        {SizeMode::Scale, 250, 0, 0, true, true, 100, 75, true},
        {SizeMode::Given, 0, 16, 0, true, true, 16, 12, true},
        {SizeMode::Given, 0, 16, 0, true, false, 16, 12, false},
        // Without the aspect ratio the quality switch still picks the resampler.
        {SizeMode::Given, 0, 30, 7, false, true, 30, 7, true},
        {SizeMode::Given, 0, 30, 7, false, false, 30, 7, false},
        {SizeMode::Given, 0, 17, 45, false, true, 17, 45, true},
        {SizeMode::Given, 0, 0, -3, false, false, 1, 1, false},
    };
    for (const Row& r : rows) {
        ExtendedCopyOptions o;
        o.sizeMode = r.mode;
        o.percent = r.percent;
        o.width = r.width;
        o.height = r.height;
        o.keepAspect = r.keepAspect;
        o.qualityResample = r.quality;
        TPicture picture;
        holdGradient(picture, 40, 30);
        TBitmap output;
        PrepareOutputFormat(*picture.graphic(), "a.bmp", output);
        ResizeIntoOutput(picture, o, output);
        EXPECT_EQ(picture.graphic(), nullptr);  // the decoded graphic is released
        ASSERT_EQ(output.width(), r.wantW);
        ASSERT_EQ(output.height(), r.wantH);

        std::unique_ptr<TBitmap> src = gradient(40, 30);
        TBitmap want;
        if (r.wantQuality) {
            want = *src;
            StretchBitmap(want, r.wantW, r.wantH);
        } else {
            want = TBitmap(r.wantW, r.wantH, PixelFormat::pf24bit);
            stretchCopy(*src, Rect{0, 0, 40, 30}, want, Rect{0, 0, r.wantW, r.wantH});
        }
        EXPECT_EQ(output.pixelFormat(), want.pixelFormat());
        EXPECT_EQ(korvel::testing::pixelDifference(output, want), "") << "mode " << int(r.mode) << " " << r.wantW << "x"
                                                                      << r.wantH;
    }
}

// A 3 x 3 image at 25 % becomes one pixel; the original size copies the pixels unchanged.
TEST(ExtendedCopySize, SmallestAndOriginal) {
    ExtendedCopyOptions o;
    o.sizeMode = SizeMode::Scale;
    o.percent = 25;
    TPicture picture;
    holdGradient(picture, 3, 3);
    TBitmap output;
    PrepareOutputFormat(*picture.graphic(), "a.bmp", output);
    ResizeIntoOutput(picture, o, output);
    EXPECT_EQ(output.width(), 1);
    EXPECT_EQ(output.height(), 1);
    // The mean of the 3 x 3 block: blue and green average 1, red stays 7.
    EXPECT_EQ(output.pixel(0, 0), makeColor(7, 1, 1));

    o.sizeMode = SizeMode::Original;
    holdGradient(picture, 5, 4);
    PrepareOutputFormat(*picture.graphic(), "a.bmp", output);
    ResizeIntoOutput(picture, o, output);
    EXPECT_EQ(korvel::testing::pixelDifference(output, *gradient(5, 4)), "");
    EXPECT_EQ(output.pixelFormat(), PixelFormat::pf24bit);
}

TEST(ExtendedCopySize, RotateOutputTurnsClockwise) {
    const struct {
        int turn, wantW, wantH;
        int x, y;  // where the top-left source pixel lands
    } rows[] = {{0, 4, 2, 0, 0}, {1, 2, 4, 1, 0}, {2, 4, 2, 3, 1}, {3, 2, 4, 0, 3}};
    for (const auto& r : rows) {
        TBitmap out = *gradient(4, 2);
        out.setRawPixel(0, 0, 0xABCDEF);
        RotateOutput(r.turn, out);
        ASSERT_EQ(out.width(), r.wantW) << r.turn;
        ASSERT_EQ(out.height(), r.wantH);
        EXPECT_EQ(out.pixel(r.x, r.y), 0xABCDEFu) << "turn " << r.turn;
    }
}
