// Damaged bitmap and icon files: every mutant of a good file either decodes into a raster
// whose every pixel can be read, or fails with a core error. Run under the sanitizers.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "imaging/Bmp.h"
#include "codecs/Icon.h"
#include "codecs/Png.h"
#include "base/Errors.h"
#include "base/Limits.h"
#include "tests/codecs/BmpBuilders.h"
#include "tests/support/Mutation.h"

using namespace korvel;
using namespace korvel::bmptest;

namespace {

constexpr int kMutants = 3000;

// A low pixel limit keeps mutants with enlarged sizes cheap.
constexpr DecodeLimits kCheap{.maxPixels = 1 << 20};

uint64_t touchEveryPixel(const TBitmap& b) {
    uint64_t sum = 0;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) sum += b.pixel(x, y) + b.alphaAt(x, y);
    return sum;
}

Bytes pattern(size_t n, uint8_t seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = uint8_t(seed + i * 37);
    return b;
}

Bytes palettePattern(size_t entries) { return pattern(entries * 4, 11); }

std::vector<std::pair<const char*, Bytes>> goodBitmaps() {
    std::vector<std::pair<const char*, Bytes>> files;
    files.push_back({"1-bit", bmpFile(cat({infoHeader({.width = 13, .height = 5, .bpp = 1}), palettePattern(2)}), pattern(20, 1))});
    files.push_back({"2-bit", bmpFile(cat({infoHeader({.width = 7, .height = 3, .bpp = 2}), palettePattern(4)}), pattern(12, 12))});
    files.push_back({"4-bit", bmpFile(cat({infoHeader({.width = 9, .height = 4, .bpp = 4}), palettePattern(16)}), pattern(32, 2))});
    files.push_back({"8-bit short table", bmpFile(cat({infoHeader({.width = 7, .height = 6, .bpp = 8, .clrUsed = 20}),
                                                       palettePattern(20)}),
                                                  pattern(48, 3))});
    files.push_back({"RLE8", bmpFile(cat({infoHeader({.width = 8, .height = 5, .bpp = 8, .compression = 1, .clrUsed = 4}),
                                          palettePattern(4)}),
                                     {3, 1, 0, 4, 1, 2, 3, 0, 0, 0, 0, 2, 1, 1, 2, 3, 0, 0, 9, 2, 0, 0, 0, 3, 3, 2, 1, 0, 0, 1})});
    files.push_back({"RLE4", bmpFile(cat({infoHeader({.width = 9, .height = 4, .bpp = 4, .compression = 2}), palettePattern(16)}),
                                     {5, 0x12, 0, 5, 0x34, 0x56, 0x70, 0, 0, 0, 0, 2, 2, 1, 3, 0xAB, 0, 0, 0, 3, 0xCD, 0xE0, 0, 1})});
    files.push_back({"16-bit 5-6-5", bmpFile(cat({infoHeader({.width = 5, .height = 3, .bpp = 16, .compression = 3}),
                                                  masks({0xF800, 0x07E0, 0x001F})}),
                                             pattern(36, 4))});
    files.push_back({"16-bit odd masks", bmpFile(cat({infoHeader({.width = 3, .height = 3, .bpp = 16, .compression = 3}),
                                                      masks({0xF000, 0x0F00, 0x00F0})}),
                                                 pattern(24, 5))});
    files.push_back({"24-bit top-down", bmpFile(infoHeader({.width = 5, .height = -3, .bpp = 24}), pattern(48, 6))});
    files.push_back({"32-bit V5 alpha", bmpFile(infoHeader({.headerSize = 124, .width = 4, .height = 3, .bpp = 32, .compression = 3,
                                                            .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000}}),
                                                pattern(48, 7))});
    files.push_back({"OS/2 core", bmpFile(cat({infoHeader({.headerSize = 12, .width = 6, .height = 2, .bpp = 8}),
                                               pattern(256 * 3, 8)}),
                                          pattern(16, 9))});
    return files;
}

// A 10 x 10 PNG with alpha, from the PNG writer.
Bytes smallPng() {
    TBitmap source(10, 10, PixelFormat::pf24bit);
    auto mask = std::make_unique<TBitmap>(10, 10, PixelFormat::pf8bit);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            source.setRawPixel(x, y, uint32_t(x * 0x1F0D03 + y * 0x070911));
            mask->scanLine(y)[x] = uint8_t(x * 25);
        }
    source.setMask(std::move(mask));
    TGLDPNG writer;
    writer.assign(source);
    std::ostringstream out;
    writer.saveToStream(out);
    const std::string s = out.str();
    return Bytes(s.begin(), s.end());
}

Bytes goodIcon() {
    Info i32{.width = 4, .height = 8, .bpp = 32};
    Info i4{.width = 8, .height = 16, .bpp = 4, .clrUsed = 16};
    Info i8{.width = 6, .height = 6, .bpp = 8, .clrUsed = 3};
    return iconFile({{4, 4, 32, cat({infoHeader(i32), pattern(64, 1), pattern(16, 2)})},
                     {8, 8, 4, cat({infoHeader(i4), palettePattern(16), pattern(32, 3), pattern(32, 4)})},
                     {6, 3, 8, cat({infoHeader(i8), palettePattern(3), pattern(24, 5), pattern(12, 6)})},
                     {0, 0, 32, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 1,
                                 0, 0, 0, 1, 8, 6, 0, 0, 0}},
                     {10, 10, 32, smallPng()}});
}

}  // namespace

TEST(BmpMutation, EveryDamagedBitmapDecodesOrFailsCleanly) {
    for (const auto& [name, good] : goodBitmaps()) {
        SCOPED_TRACE(name);
        TBitmap ok;
        ASSERT_NO_THROW(readBmp(good.data(), good.size(), ok));  // the seed itself is valid
        int decoded = 0, refused = 0;
        korvel::testing::forEachMutation(good, kMutants, [&](const Bytes& m) {
            TBitmap b;
            try {
                readBmp(m.data(), m.size(), b, kCheap.maxPixels);
                touchEveryPixel(b);
                ++decoded;
            } catch (const korvel::Exception&) {
                ++refused;
            }
        }, 80);
        // Both outcomes occur; a decoder that refuses everything would not be tested here.
        EXPECT_GT(decoded, 0);
        EXPECT_GT(refused, 0);
    }
}

TEST(BmpMutation, EveryDamagedIconDecodesOrFailsCleanly) {
    const Bytes good = goodIcon();
    {
        TIcon icon;
        ASSERT_NO_THROW(icon.loadFromMemory(good.data(), good.size()));
        ASSERT_EQ(icon.width(), 10);  // the PNG entry
    }
    int decoded = 0, refused = 0;
    korvel::testing::forEachMutation(good, kMutants, [&](const Bytes& m) {
        TIcon icon;
        try {
            icon.loadFromMemory(m.data(), m.size(), kCheap);
            touchEveryPixel(icon.bitmap());
            ++decoded;
        } catch (const korvel::Exception&) {
            ++refused;
        }
    }, 200);
    EXPECT_GT(decoded, 0);
    EXPECT_GT(refused, 0);
}
