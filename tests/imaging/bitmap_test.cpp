#include <gtest/gtest.h>

#include "imaging/Bitmap.h"
#include "base/Errors.h"
#include "base/Limits.h"
#include "imaging/PlainStretch.h"

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
