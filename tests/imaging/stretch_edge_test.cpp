// StretchBitmap's edge cases: sizes that pick each path, values worked out by hand, errors,
// progress calls, and what happens to palette, mask and transparency.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/Bitmap.h"
#include "base/Errors.h"
#include "base/Limits.h"
#include "imaging/StretchUtils.h"

using namespace korvel;

namespace {

const PixelFormat kAllFormats[] = {PixelFormat::pf1bit,  PixelFormat::pf4bit,  PixelFormat::pf8bit, PixelFormat::pf15bit,
                                   PixelFormat::pf16bit, PixelFormat::pf24bit, PixelFormat::pf32bit};

// A grey row (or column when vertical) of the given values; every channel the same.
TBitmap greyLine(const std::vector<int>& values, int across, bool vertical) {
    const int n = int(values.size());
    TBitmap b(vertical ? across : n, vertical ? n : across, PixelFormat::pf24bit);
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            uint8_t v = uint8_t(values[size_t(vertical ? y : x)]);
            b.setRawPixel(x, y, makeColor(v, v, v));
        }
    return b;
}

std::vector<int> lineOf(const TBitmap& b, bool vertical, int at = 0) {
    std::vector<int> out;
    const int n = vertical ? b.height() : b.width();
    for (int i = 0; i < n; ++i) {
        Color c = vertical ? b.pixel(at, i) : b.pixel(i, at);
        EXPECT_TRUE(redOf(c) == greenOf(c) && greenOf(c) == blueOf(c)) << "channels differ at " << i;
        out.push_back(blueOf(c));
    }
    return out;
}

std::vector<int> gProgress;
void recordProgress(int percent) { gProgress.push_back(percent); }

}  // namespace

// Values worked out from the formulas by hand, along both axes.
TEST(StretchEdges, HandWorkedLines) {
    struct Row {
        std::vector<int> in;
        int n;
        std::vector<int> want;
    };
    const Row rows[] = {
        {{10, 20, 30, 40}, 2, {15, 35}},  // whole factor: block means
        {{10, 20, 30, 40}, 1, {25}},      // width 1 output still goes through the area pass
        // 3 -> 2: scale 98304, half 49152; the middle pixel counts half to each side:
        // (0*65536 + 100*32768 + 49152) div 98304 = 33, (100*32768 + 200*65536 + 49152) div 98304 = 167
        {{0, 100, 200}, 2, {33, 167}},
        // (255*65536 + 255*32768 + 49152) div 98304 = 255, (255*32768 + 0 + 49152) div 98304 = 85
        {{255, 255, 0}, 2, {255, 85}},
        // 2 -> 3: only linear stretches: 0, trunc(50+0.5), 100
        {{0, 100}, 3, {0, 50, 100}},
        // 2 -> 4: pos 0, 1/3, 2/3, 1
        {{0, 90}, 4, {0, 30, 60, 90}},
    };
    for (bool vertical : {false, true})
        for (const Row& r : rows) {
            TBitmap b = greyLine(r.in, 2, vertical);
            StretchBitmap(b, vertical ? 2 : r.n, vertical ? r.n : 2);
            ASSERT_EQ(b.pixelFormat(), PixelFormat::pf24bit);
            EXPECT_EQ(lineOf(b, vertical, 0), r.want) << (vertical ? "vertical " : "horizontal ") << r.n;
            EXPECT_EQ(lineOf(b, vertical, 1), r.want);
        }
}

// An image of 2 x 2 or more stretched to its own size keeps its colours and becomes 24-bit.
TEST(StretchEdges, SameSizeOnlyConvertsEveryFormat) {
    for (PixelFormat pf : kAllFormats) {
        TBitmap b(5, 3, pf);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) b.setRawPixel(x, y, uint32_t((x * 3 + y) % 2 ? 0 : 0x00FFFFFF));
        std::vector<Color> before;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) before.push_back(b.pixel(x, y));
        StretchBitmap(b, 5, 3);
        ASSERT_EQ(b.pixelFormat(), PixelFormat::pf24bit) << bitsPerPixel(pf);
        EXPECT_TRUE(b.palette().empty());
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) EXPECT_EQ(b.pixel(x, y), before[size_t(y * 5 + x)]) << bitsPerPixel(pf);
    }
}

// One pixel wide or high: the bilinear resampler, with pixel centres aligned.
TEST(StretchEdges, OnePixelWideOrHighUsesBilinear) {
    struct Row {
        std::vector<int> in;
        int n;
        std::vector<int> want;
    };
    const Row rows[] = {
        // ys = 0.5: sy = -0.25, 0.25, 0.75, 1.25 -> 0, 25, 75, 100 (edges clamp to the end pixels)
        {{0, 100}, 4, {0, 25, 75, 100}},
        // reduction 4 -> 2: sy = 0.5, 2.5
        {{10, 20, 30, 40}, 2, {15, 35}},
        // 3 -> 2: sy = 0.25, 1.75: 0 + 0.25*100 = 25, 100 + 0.75*100 = 175
        {{0, 100, 200}, 2, {25, 175}},
        // 2 -> 1: sy = 0.5 gives 1.5 and 2.5, rounded half to even
        {{1, 2}, 1, {2}},
        {{2, 3}, 1, {2}},
        {{7, 9, 11}, 3, {7, 9, 11}},  // same size is the identity
    };
    for (bool vertical : {false, true})
        for (const Row& r : rows) {
            TBitmap b = greyLine(r.in, 1, vertical);
            StretchBitmap(b, vertical ? 1 : r.n, vertical ? r.n : 1);
            EXPECT_EQ(lineOf(b, vertical), r.want) << (vertical ? "vertical " : "horizontal ") << r.n;
        }
    // Across a one-pixel axis that grows, every new pixel repeats the line.
    TBitmap b = greyLine({0, 100}, 1, false);
    StretchBitmap(b, 4, 3);
    for (int y = 0; y < 3; ++y) EXPECT_EQ(lineOf(b, false, y), (std::vector<int>{0, 25, 75, 100}));
}

TEST(StretchEdges, OnePixelToFiveByThreeIsUniform) {
    for (PixelFormat pf : kAllFormats) {
        TBitmap b(1, 1, pf);
        b.setRawPixel(0, 0, isPaletteFormat(pf) ? 1 : pf == PixelFormat::pf15bit ? 0x7FFF : pf == PixelFormat::pf16bit ? 0xFFFF : 0xFFFFFF);
        StretchBitmap(b, 5, 3);
        ASSERT_EQ(b.width(), 5);
        ASSERT_EQ(b.height(), 3);
        ASSERT_EQ(b.pixelFormat(), PixelFormat::pf24bit);
        const Color want = b.pixel(0, 0);
        EXPECT_NE(want, 0u) << bitsPerPixel(pf);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) EXPECT_EQ(b.pixel(x, y), want);
    }
}

// Enlarging keeps the corner pixels and the first and last pixel of every row and column.
TEST(StretchEdges, EnlargingKeepsTheOuterPixels) {
    const int sizes[][4] = {{4, 3, 9, 7}, {6, 6, 31, 13}, {2, 5, 3, 40}, {17, 2, 50, 5}};
    for (const auto& s : sizes) {
        TBitmap b(s[0], s[1], PixelFormat::pf24bit);
        uint32_t seed = 12345;
        for (int y = 0; y < s[1]; ++y)
            for (int x = 0; x < s[0]; ++x) b.setRawPixel(x, y, (seed = seed * 1103515245u + 12345u) >> 8);
        TBitmap src = b;
        StretchBitmap(b, s[2], s[3]);
        EXPECT_EQ(b.pixel(0, 0), src.pixel(0, 0));
        EXPECT_EQ(b.pixel(s[2] - 1, 0), src.pixel(s[0] - 1, 0));
        EXPECT_EQ(b.pixel(0, s[3] - 1), src.pixel(0, s[1] - 1));
        EXPECT_EQ(b.pixel(s[2] - 1, s[3] - 1), src.pixel(s[0] - 1, s[1] - 1));
        // Only the width changed: each row keeps its end pixels.
        TBitmap wide = src;
        StretchBitmap(wide, s[2], s[1]);
        for (int y = 0; y < s[1]; ++y) {
            EXPECT_EQ(wide.pixel(0, y), src.pixel(0, y));
            EXPECT_EQ(wide.pixel(s[2] - 1, y), src.pixel(s[0] - 1, y));
        }
    }
}

// A hard black/white step makes the cubic taps overshoot on both sides; the clamp keeps the
// enlarged step monotonic (an unclamped negative sum would wrap to a bright pixel).
TEST(StretchEdges, CubicOvershootIsClamped) {
    for (bool vertical : {false, true}) {
        TBitmap b = greyLine({0, 0, 0, 255, 255, 255}, 3, vertical);
        StretchBitmap(b, vertical ? 3 : 41, vertical ? 41 : 3);
        std::vector<int> line = lineOf(b, vertical, 1);
        for (size_t i = 1; i < line.size(); ++i) EXPECT_LE(line[i - 1], line[i]) << "at " << i;
        EXPECT_EQ(line.front(), 0);
        EXPECT_EQ(line.back(), 255);
        // Both clamps are reached inside the cubic range (source intervals 1..3).
        EXPECT_EQ(line[10], 0);
        EXPECT_EQ(line[30], 255);
    }
}

TEST(StretchEdges, BadSizesAndEmptyImages) {
    TBitmap b(3, 3, PixelFormat::pf8bit);
    for (auto size : {std::pair{0, 3}, std::pair{3, 0}, std::pair{-1, 5}, std::pair{4, -7}}) {
        try {
            StretchBitmap(b, size.first, size.second);
            ADD_FAILURE() << "no error for " << size.first << "x" << size.second;
        } catch (const Exception& e) {
            EXPECT_NE(std::string(e.what()).find("at least 1"), std::string::npos) << e.what();
        }
        EXPECT_EQ(b.width(), 3);
        EXPECT_EQ(b.pixelFormat(), PixelFormat::pf8bit);  // a refused call changes nothing
    }
    TBitmap empty;
    StretchBitmap(empty, 10, 10);
    EXPECT_TRUE(empty.empty());
}

// A result over the pixel limit is refused before any work and leaves the image as it was.
TEST(StretchEdges, ResultOverThePixelLimit) {
    static_assert(kDefaultPixelLimit < (uint64_t(1) << 29));
    TBitmap b(50, 50, PixelFormat::pf8bit);
    EXPECT_THROW(StretchBitmap(b, 1 << 15, 1 << 14), EImageTooLarge);
    EXPECT_THROW(StretchBitmap(b, 1 << 20, 1 << 9), EImageTooLarge);
    TBitmap line(1, 50, PixelFormat::pf24bit);
    EXPECT_THROW(StretchBitmap(line, 1 << 15, 1 << 14), EImageTooLarge);
    EXPECT_EQ(b.width(), 50);
    EXPECT_EQ(b.pixelFormat(), PixelFormat::pf8bit);
}

TEST(StretchEdges, ProgressCalls) {
    struct Row {
        int w, h, nw, nh;
        std::vector<int> want;
    };
    const Row rows[] = {
        {8, 8, 4, 4, {0, 50}}, {8, 8, 16, 8, {0}}, {8, 8, 8, 3, {50}}, {8, 8, 8, 8, {}}, {1, 8, 4, 4, {}},
    };
    for (const Row& r : rows) {
        gProgress.clear();
        TBitmap b(r.w, r.h, PixelFormat::pf24bit);
        StretchBitmap(b, r.nw, r.nh, recordProgress);
        EXPECT_EQ(gProgress, r.want) << r.w << "x" << r.h << " -> " << r.nw << "x" << r.nh;
    }
}

// The mask follows the pixels through the same arithmetic; a transparent index becomes its colour.
TEST(StretchEdges, MaskAndTransparencyFollow) {
    TBitmap b(4, 2, PixelFormat::pf8bit);
    auto mask = std::make_unique<TBitmap>(4, 2, PixelFormat::pf8bit);
    const uint8_t m[4] = {10, 20, 30, 40};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) mask->scanLine(y)[x] = m[x];
    b.setMask(std::move(mask));
    b.setTransparentIndex(3);
    const Color indexColour = b.palette()[3].color();
    StretchBitmap(b, 2, 2);
    ASSERT_NE(b.mask(), nullptr);
    EXPECT_EQ(b.mask()->width(), 2);
    EXPECT_EQ(b.mask()->scanLine(0)[0], 15);
    EXPECT_EQ(b.mask()->scanLine(1)[1], 35);
    EXPECT_EQ(b.transparency(), Transparency::Color);
    EXPECT_EQ(b.transparentColor(), indexColour);
}
