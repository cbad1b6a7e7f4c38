// The bitmap itself, the plain stretch against a pixel-by-pixel statement of it, and quarter and
// half turns at every pixel format.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "base/Limits.h"
#include "imaging/Bitmap.h"
#include "imaging/PlainStretch.h"
#include "imaging/StretchUtils.h"
#include "tests/support/TestImages.h"

using namespace korvel;

namespace {

const PixelFormat kAllFormats[] = {PixelFormat::pf1bit,  PixelFormat::pf4bit,  PixelFormat::pf8bit, PixelFormat::pf15bit,
                                   PixelFormat::pf16bit, PixelFormat::pf24bit, PixelFormat::pf32bit};

// Colours every format represents exactly.
const Color kExact[] = {0x000000, 0xFFFFFF};
}  // namespace

TEST(Bitmap, EveryFormatStoresAndConvertsExactColours) {
    for (PixelFormat pf : kAllFormats) {
        TBitmap b(9, 3, pf);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 9; ++x) {
                Color c = kExact[(x + y) % 2];
                uint32_t raw = isPaletteFormat(pf) ? uint32_t(nearestPaletteIndex(b.palette(), c))
                               : pf == PixelFormat::pf15bit ? packColor15(c)
                               : pf == PixelFormat::pf16bit ? packColor16(c)
                                                            : c;
                b.setRawPixel(x, y, raw);
            }
        TBitmap c24 = b;
        c24.convertTo24();
        ASSERT_EQ(c24.pixelFormat(), PixelFormat::pf24bit);
        EXPECT_TRUE(c24.palette().empty());
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 9; ++x) EXPECT_EQ(c24.pixel(x, y), kExact[(x + y) % 2]) << bitsPerPixel(pf) << " " << x;
    }
}

TEST(Bitmap, PackedColoursWidenByRepeatingTopBits) {
    EXPECT_EQ(unpackColor15(0x7FFF), 0xFFFFFFu);
    EXPECT_EQ(unpackColor16(0xFFFF), 0xFFFFFFu);
    EXPECT_EQ(unpackColor15(packColor15(0x808080)), 0x848484u);
    EXPECT_EQ(unpackColor16(0x07E0), 0x00FF00u);
    EXPECT_EQ(packColor16(0xFF0000), 0xF800);
}

TEST(Bitmap, SubByteWritesLeaveNeighboursAlone) {
    TBitmap one(10, 1, PixelFormat::pf1bit);
    one.setRawPixel(0, 0, 1);
    one.setRawPixel(9, 0, 1);
    EXPECT_EQ(one.scanLine(0)[0], 0x80);
    EXPECT_EQ(one.scanLine(0)[1], 0x40);
    TBitmap four(3, 1, PixelFormat::pf4bit);
    four.setRawPixel(0, 0, 0xA);
    four.setRawPixel(1, 0, 0x5);
    four.setRawPixel(2, 0, 0xF);
    EXPECT_EQ(four.scanLine(0)[0], 0xA5);
    EXPECT_EQ(four.scanLine(0)[1], 0xF0);
    EXPECT_EQ(four.rawPixel(1, 0), 5u);
}

TEST(Bitmap, SetSizeKeepsOverlapAndZeroesTheRest) {
    TBitmap b(2, 2, PixelFormat::pf24bit);
    b.setRawPixel(1, 1, 0x123456);
    b.setSize(3, 3);
    EXPECT_EQ(b.pixel(1, 1), 0x123456u);
    EXPECT_EQ(b.pixel(2, 2), 0u);
    b.setSize(1, 1);
    EXPECT_EQ(b.width(), 1);
    b.setSize(0, 5);
    EXPECT_TRUE(b.empty());
}

TEST(Bitmap, PixelLimitRefusesBeforeAllocating) {
    EXPECT_THROW(TBitmap(11, 10, PixelFormat::pf24bit, 100), EImageTooLarge);
    EXPECT_NO_THROW(TBitmap(10, 10, PixelFormat::pf24bit, 100));
    EXPECT_THROW(TBitmap(1 << 20, 1 << 20, PixelFormat::pf32bit), EImageTooLarge);
    EXPECT_THROW(checkImageSize(int64_t(1) << 40, 1, 24, kNoCountLimit), EImageTooLarge);
    EXPECT_THROW(paddedRowBytes(int64_t(1) << 62, 32), EImageTooLarge);
}

TEST(Bitmap, ConversionKeepsTransparencyMeaning) {
    TBitmap b(2, 1, PixelFormat::pf8bit);
    b.setRawPixel(0, 0, 5);
    b.setTransparentIndex(5);
    EXPECT_EQ(b.alphaAt(0, 0), 0);
    EXPECT_EQ(b.alphaAt(1, 0), 255);
    b.convertTo24();
    EXPECT_EQ(b.transparency(), Transparency::Color);
    EXPECT_EQ(b.alphaAt(0, 0), 0);
    EXPECT_EQ(b.alphaAt(1, 0), 255);
}

TEST(PlainStretch, DrawHonoursMask) {
    TBitmap src(2, 1, PixelFormat::pf24bit);
    src.setRawPixel(0, 0, 0xFF0000);
    src.setRawPixel(1, 0, 0xFF0000);
    auto mask = std::make_unique<TBitmap>(2, 1, PixelFormat::pf8bit);
    mask->scanLine(0)[0] = 255;  // transparent
    mask->scanLine(0)[1] = 0;    // opaque
    src.setMask(std::move(mask));
    TBitmap canvas(2, 1, PixelFormat::pf24bit);
    canvas.setRawPixel(0, 0, 0x00FF00);
    src.draw(canvas, Rect{0, 0, 2, 1});
    EXPECT_EQ(canvas.pixel(0, 0), 0x00FF00u);
    EXPECT_EQ(canvas.pixel(1, 0), 0xFF0000u);
}

// The plain stretch: destination step k of a span of n pixels takes source pixel
// start + k * length div n; mirrored spans count k backwards; pixels outside either image are
// skipped; equal formats copy raw values, others convert colours.
namespace {

uint32_t encode(const TBitmap& b, Color c) {
    switch (b.pixelFormat()) {
        case PixelFormat::pf15bit: return packColor15(c);
        case PixelFormat::pf16bit: return packColor16(c);
        case PixelFormat::pf24bit:
        case PixelFormat::pf32bit: return c;
        default: return uint32_t(nearestPaletteIndex(b.palette(), c));
    }
}

void referenceCopy(const TBitmap& src, const Rect& sr, TBitmap& dst, const Rect& dr) {
    const int nx = std::abs(dr.width()), ny = std::abs(dr.height());
    if (sr.width() <= 0 || sr.height() <= 0) return;
    const bool same = src.pixelFormat() == dst.pixelFormat() &&
                      (!isPaletteFormat(src.pixelFormat()) || src.palette() == dst.palette());
    for (int j = 0; j < ny; ++j) {
        int dy = dr.height() > 0 ? dr.top + j : dr.top - j;
        int sy = sr.top + int(int64_t(j) * sr.height() / ny);
        if (dy < 0 || dy >= dst.height() || sy < 0 || sy >= src.height()) continue;
        for (int k = 0; k < nx; ++k) {
            int dx = dr.width() > 0 ? dr.left + k : dr.left - k;
            int sx = sr.left + int(int64_t(k) * sr.width() / nx);
            if (dx < 0 || dx >= dst.width() || sx < 0 || sx >= src.width()) continue;
            dst.setRawPixel(dx, dy, same ? src.rawPixel(sx, sy) : encode(dst, src.pixel(sx, sy)));
        }
    }
}

// Noise with a random palette; row padding too, so that a copy or turn that strays into it shows.
TBitmap randomBitmap(std::mt19937& rng, int w, int h, PixelFormat pf) {
    TBitmap b = korvel::testing::randomBitmap(pf, w, h, rng());
    for (int y = 0; y < h; ++y)
        for (size_t i = size_t((int64_t(w) * bitsPerPixel(pf) + 7) / 8); i < b.stride(); ++i)
            b.scanLine(y)[i] = uint8_t(rng());
    return b;
}

bool sameBytes(const TBitmap& a, const TBitmap& b) { return korvel::testing::byteDifference(a, b).empty(); }

Rect randomRect(std::mt19937& rng, int w, int h) {
    auto coord = [&](int n) { return int(rng() % unsigned(n + 6)) - 3; };  // reaches a little outside
    Rect r{coord(w), coord(h), coord(w), coord(h)};
    if (rng() % 3 == 0) r = Rect{0, 0, w, h};
    return r;
}

}  // namespace

// Every pair of formats, random rectangles (mirrored, clipped, partly outside the source).
TEST(PlainStretch, MatchesPixelByPixelStatement) {
    std::mt19937 rng(99);
    for (PixelFormat from : kAllFormats)
        for (PixelFormat to : kAllFormats)
            for (int n = 0; n < 12; ++n) {
                const int sw = 1 + int(rng() % 23), sh = 1 + int(rng() % 17);
                const int dw = 1 + int(rng() % 29), dh = 1 + int(rng() % 19);
                TBitmap src = randomBitmap(rng, sw, sh, from);
                TBitmap dst = randomBitmap(rng, dw, dh, to);
                // Equal palettes make raw copies; keep some pairs of palette images in that case.
                if (from == to && n % 2 == 0) dst.setPalette(src.palette());
                Rect sr = randomRect(rng, sw, sh), dr = randomRect(rng, dw, dh);
                if (n % 4 == 1) dr = Rect{dw - 1, dh - 1, -1, -1};
                TBitmap want = dst;
                referenceCopy(src, sr, want, dr);
                stretchCopy(src, sr, dst, dr);
                EXPECT_TRUE(sameBytes(dst, want)) << bitsPerPixel(from) << " -> " << bitsPerPixel(to) << " src " << sr.left
                                                  << "," << sr.top << "," << sr.right << "," << sr.bottom << " dst "
                                                  << dr.left << "," << dr.top << "," << dr.right << "," << dr.bottom;
                // Without transparency the drawing stretch is the same copy.
                TBitmap drawn = want;
                stretchDraw(src, sr, drawn, dr);
                EXPECT_TRUE(sameBytes(drawn, want));
            }
}

// Copying a bitmap onto itself keeps the generic order (no fast path reads what it wrote).
TEST(PlainStretch, CopyOntoItself) {
    std::mt19937 rng(5);
    TBitmap a = randomBitmap(rng, 9, 7, PixelFormat::pf24bit);
    TBitmap want = a;
    referenceCopy(want, Rect{0, 0, 9, 7}, want, Rect{8, 6, -1, -1});
    stretchCopy(a, Rect{0, 0, 9, 7}, a, Rect{8, 6, -1, -1});
    EXPECT_TRUE(sameBytes(a, want));
}

// Turns: each pixel lands where the turn puts it, the source stays as it was, and spare bits of
// packed rows stay clear whatever the source's padding holds.
namespace {

// Sizes around byte and tile boundaries: 1-bit rows of 1, 7, 9 and 13 pixels, 4-bit rows of
// odd width, and images larger than one 64 x 64 tile.
const int kSizes[][2] = {{1, 1}, {7, 3}, {9, 5}, {13, 2}, {1, 17}, {5, 1}, {65, 3}, {130, 71}};

// Bits of each row past its last pixel.
bool spareBitsClear(const TBitmap& b) {
    const int64_t usedBits = int64_t(b.width()) * (b.pixelFormat() == PixelFormat::pf15bit ? 16 : b.bitsPerPixel());
    for (int y = 0; y < b.height(); ++y) {
        const uint8_t* row = b.scanLine(y);
        for (int64_t bit = usedBits; bit < int64_t(b.stride()) * 8; ++bit)
            if (row[bit / 8] & (0x80 >> (bit % 8))) return false;
    }
    return true;
}

enum class Turn { Right, Half, Left };

// Where source pixel (x, y) of a w x h image lands.
std::pair<int, int> target(Turn t, int x, int y, int w, int h) {
    switch (t) {
        case Turn::Right: return {h - 1 - y, x};
        case Turn::Left: return {y, w - 1 - x};
        case Turn::Half: return {w - 1 - x, h - 1 - y};
    }
    return {0, 0};
}

std::unique_ptr<TBitmap> turn(Turn t, const TBitmap& b) {
    switch (t) {
        case Turn::Right: return Rotate90Right(b);
        case Turn::Left: return Rotate90Left(b);
        case Turn::Half: return Rotate180(b);
    }
    return nullptr;
}

}  // namespace

TEST(Rotate, EveryPixelLandsInPlaceAtEveryFormat) {
    std::mt19937 rng(42);
    for (PixelFormat pf : kAllFormats)
        for (const auto& s : kSizes)
            for (Turn t : {Turn::Right, Turn::Half, Turn::Left}) {
                const TBitmap src = randomBitmap(rng, s[0], s[1], pf);  // row padding holds noise too
                const TBitmap before = src;
                auto r = turn(t, src);
                ASSERT_TRUE(r);
                const bool quarter = t != Turn::Half;
                ASSERT_EQ(r->width(), quarter ? s[1] : s[0]);
                ASSERT_EQ(r->height(), quarter ? s[0] : s[1]);
                EXPECT_EQ(r->pixelFormat(), pf);
                EXPECT_EQ(r->palette(), src.palette());
                bool ok = true;
                for (int y = 0; y < s[1] && ok; ++y)
                    for (int x = 0; x < s[0] && ok; ++x) {
                        auto [tx, ty] = target(t, x, y, s[0], s[1]);
                        ok = r->rawPixel(tx, ty) == src.rawPixel(x, y);
                        EXPECT_TRUE(ok) << bitsPerPixel(pf) << "bpp " << s[0] << "x" << s[1] << " turn " << int(t)
                                        << " pixel " << x << "," << y;
                    }
                EXPECT_TRUE(spareBitsClear(*r)) << bitsPerPixel(pf) << "bpp " << s[0] << "x" << s[1];
                EXPECT_EQ(korvel::testing::byteDifference(src, before), "");
            }
}

TEST(Rotate, EmptySourceIsASizeError) {
    TBitmap empty;
    for (Turn t : {Turn::Right, Turn::Half, Turn::Left}) {
        try {
            turn(t, empty);
            ADD_FAILURE() << "no error";
        } catch (const ERotateError& e) {
            EXPECT_EQ(std::string(e.what()), "Bitmap Size Error");
        }
    }
}

// The mask turns with the pixels; the transparency setting is kept.
TEST(Rotate, MaskAndTransparencyFollow) {
    TBitmap b(3, 2, PixelFormat::pf8bit);
    auto mask = std::make_unique<TBitmap>(3, 2, PixelFormat::pf8bit);
    mask->scanLine(0)[0] = 200;  // top left
    b.setMask(std::move(mask));
    b.setTransparentIndex(5);
    auto r = Rotate90Right(b);
    ASSERT_NE(r->mask(), nullptr);
    EXPECT_EQ(r->mask()->scanLine(0)[1], 200);  // lands top right
    EXPECT_EQ(r->transparency(), Transparency::Index);
    EXPECT_EQ(r->transparentIndex(), 5);
    auto h = Rotate180(b);
    EXPECT_EQ(h->mask()->scanLine(1)[2], 200);
}
