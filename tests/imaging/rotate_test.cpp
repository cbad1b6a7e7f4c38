// Quarter and half turns at every pixel format: each pixel lands where the turn puts it, the
// turns undo each other, the source stays as it was, and spare bits of packed rows stay clear.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "imaging/Bitmap.h"
#include "imaging/StretchUtils.h"
#include "tests/support/TestImages.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

const PixelFormat kAllFormats[] = {PixelFormat::pf1bit,  PixelFormat::pf4bit,  PixelFormat::pf8bit, PixelFormat::pf15bit,
                                   PixelFormat::pf16bit, PixelFormat::pf24bit, PixelFormat::pf32bit};

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
                const TBitmap src = randomBitmap(pf, s[0], s[1], rng());
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
                EXPECT_EQ(byteDifference(src, before), "");
            }
}

TEST(Rotate, TurnsUndoEachOther) {
    std::mt19937 rng(7);
    for (PixelFormat pf : kAllFormats)
        for (const auto& s : kSizes) {
            const TBitmap clean = randomBitmap(pf, s[0], s[1], rng());
            EXPECT_EQ(byteDifference(*Rotate180(*Rotate180(clean)), clean), "");
            EXPECT_EQ(byteDifference(*Rotate90Left(*Rotate90Right(clean)), clean), "") << bitsPerPixel(pf) << " " << s[0];
            EXPECT_EQ(byteDifference(*Rotate90Right(*Rotate90Left(clean)), clean), "");
            auto four = Rotate90Right(*Rotate90Right(*Rotate90Right(*Rotate90Right(clean))));
            EXPECT_EQ(byteDifference(*four, clean), "");
            EXPECT_EQ(byteDifference(*Rotate90Right(*Rotate90Right(clean)), *Rotate180(clean)), "");
        }
}

// The padding of a packed source row may hold anything; the result's spare bits stay clear
// and the pixels next to them are right.
TEST(Rotate, PackedRowsIgnoreSourcePadding) {
    for (PixelFormat pf : {PixelFormat::pf1bit, PixelFormat::pf4bit}) {
        TBitmap src(3, 9, pf);
        for (int y = 0; y < 9; ++y) std::memset(src.scanLine(y), 0, src.stride());
        for (int y = 0; y < 9; ++y) src.scanLine(y)[src.stride() - 1] = 0xFF;
        src.setRawPixel(2, 0, 1);
        auto r = Rotate90Left(src);
        EXPECT_EQ(r->rawPixel(0, 0), 1u);
        for (int x = 1; x < 9; ++x) EXPECT_EQ(r->rawPixel(x, 0), 0u);
        EXPECT_TRUE(spareBitsClear(*r));
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
