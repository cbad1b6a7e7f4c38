#include <gtest/gtest.h>

#include "codecs/Icon.h"
#include "tests/codecs/BmpBuilders.h"
#include "tests/codecs/png_test_files.h"
#include "tests/support/CodecCases.h"

using namespace korvel;
using namespace korvel::bmptest;

namespace {

// One icon image: info header with the doubled height, colour table, colour rows and AND
// mask rows, both bottom-up.
Bytes iconDib(int width, int height, uint16_t bpp, const Bytes& table, const std::vector<Bytes>& colourRows,
              const std::vector<Bytes>& maskRows) {
    Info info{.width = width, .height = 2 * height, .bpp = bpp, .clrUsed = uint32_t(table.size() / 4)};
    return cat({infoHeader(info), table, rows(colourRows), rows(maskRows)});
}

// A width x height image of one colour at the given depth, nothing masked.
Bytes solidDib(int width, int height, uint16_t bpp, Color colour) {
    Bytes table;
    Bytes row;
    switch (bpp) {
        case 1: table = palette({0, colour}), row.assign((width + 7) / 8, 0xFF); break;
        case 4: table = palette({0, colour}), row.assign((width + 1) / 2, 0x11); break;
        case 8: table = palette({0, colour}), row.assign(width, 1); break;
        default:
            for (int x = 0; x < width; ++x) {
                row.insert(row.end(), {blueOf(colour), greenOf(colour), redOf(colour)});
                if (bpp == 32) row.push_back(0);
            }
    }
    Bytes pixels, mask;
    for (int y = 0; y < height; ++y) pixels = cat({pixels, rows({row})});
    for (int y = 0; y < height; ++y) mask = cat({mask, rows({Bytes((width + 7) / 8, 0)})});
    const Info info{.width = width, .height = 2 * height, .bpp = bpp, .clrUsed = bpp <= 8 ? 2u : 0u};
    return cat({infoHeader(info), table, pixels, mask});
}

TIcon load(const Bytes& file) {
    TIcon icon;
    icon.loadFromMemory(file.data(), file.size());
    return icon;
}

}  // namespace

TEST(Icon, ShowsTheLargestThenDeepestEntry) {
    struct Case {
        const char* name;
        std::vector<IconImage> images;
        Color expected;
        int size;
    };
    const Case cases[] = {
        {"largest wins over deeper",
         {{16, 16, 32, solidDib(16, 16, 32, 0x111111)}, {32, 32, 4, solidDib(32, 32, 4, 0x222222)}},
         0x222222, 32},
        {"deepest of the largest",
         {{32, 32, 4, solidDib(32, 32, 4, 0x222222)}, {32, 32, 24, solidDib(32, 32, 24, 0x333333)},
         {32, 32, 8, solidDib(32, 32, 8, 0x444444)}, {16, 16, 32, solidDib(16, 16, 32, 0x555555)}}, 0x333333,
         32},
        {"the image's header wins over the directory",
         {{48, 48, 32, solidDib(8, 8, 32, 0x111111)}, {16, 16, 1, solidDib(24, 24, 1, 0x666666)}}, 0x666666,
         24},
        {"equal entries: the first",
         {{8, 8, 8, solidDib(8, 8, 8, 0x777777)}, {8, 8, 8, solidDib(8, 8, 8, 0x888888)}}, 0x777777, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TIcon icon = load(iconFile(c.images));
        ASSERT_EQ(icon.width(), c.size);
        ASSERT_EQ(icon.height(), c.size);
        EXPECT_EQ(icon.bitmap().pixel(0, 0), c.expected);
        EXPECT_EQ(icon.bitmap().pixel(c.size - 1, c.size - 1), c.expected);
        EXPECT_EQ(icon.bitmap().mask(), nullptr);  // nothing masked
    }
}

// Colours top row first, and the mask (empty: none) with the alpha it gives.
TEST(Icon, MaskAndAlpha) {
    const Bytes rgba = {0x10, 0x20, 0x30, 0x00, 0x40, 0x50, 0x60, 0xC0},
        rgbx = {0x10, 0x20, 0x30, 0, 0x40, 0x50, 0x60, 0};
    struct Row {
        const char* name;
        Bytes file;
        PixelFormat format;
        std::vector<Color> colours;
        std::vector<int> mask;
    } rows[] = {
        // Mask rows bottom-up: the bottom row masks x = 0, the top row x = 1 and 2.
        {"AND mask at 4 bits",
         iconFile({{3, 2, 4, iconDib(3, 2, 4, palette({0, 0xFF0000, 0x00FF00}), {{0x12, 0x10}, {0x21, 0x20}},
         {{0x80}, {0x60}})}}), PixelFormat::pf4bit,
         {0x00FF00, 0xFF0000, 0x00FF00, 0xFF0000, 0x00FF00, 0xFF0000}, {0, 255, 255, 255, 0, 0}},
        {"alpha channel overrides the AND mask",
         iconFile({{2, 1, 32, iconDib(2, 1, 32, {}, {rgba}, {{0x40}})}}), PixelFormat::pf32bit,
         {0x302010, 0x605040}, {255, 63}},
        {"without alpha the AND mask rules", iconFile({{2, 1, 32, iconDib(2, 1, 32, {}, {rgbx}, {{0x40}})}}),
         PixelFormat::pf32bit, {0x302010, 0x605040}, {0, 255}},
        {"missing AND mask rows leave it opaque",
         iconFile({{2, 2, 24, iconDib(2, 2, 24, {}, {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}},
         {{0xC0}})}}), PixelFormat::pf24bit, {0x090807, 0x0C0B0A, 0x030201, 0x060504}, {}},
        {"cursor", iconFile({{4, 4, 8, solidDib(4, 4, 8, 0xABCDEF)}}, 2), PixelFormat::pf8bit,
         std::vector<Color>(16, 0xABCDEF), {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const TIcon icon = load(r.file);
        const TBitmap& b = icon.bitmap();
        EXPECT_EQ(b.pixelFormat(), r.format);
        std::vector<Color> colours;
        for (int y = 0; y < b.height(); ++y)
            for (int x = 0; x < b.width(); ++x) {
                colours.push_back(b.pixel(x, y));
                const int mask = r.mask.empty() ? 0 : r.mask[size_t(y * b.width() + x)];
                EXPECT_EQ(b.alphaAt(x, y), 255 - mask) << x << "," << y;
            }
        EXPECT_EQ(colours, r.colours);
        EXPECT_EQ(maskValues(b), r.mask);
    }
}

TEST(Icon, PngEntriesDecodeWithTheirAlpha) {
    const TBitmap source = korvel::testing::randomBitmap(PixelFormat::pf24bit, 3, 2, 8, true);
    const Bytes png = korvel::testing::pngBytes(source);
    // The PNG is the largest entry; the directory's 0 x 0 (256) is corrected by its IHDR.
    TIcon icon = load(iconFile({{0, 0, 32, png}, {2, 2, 24, solidDib(2, 2, 24, 0x123456)}}));
    ASSERT_EQ(icon.width(), 3);
    ASSERT_EQ(icon.height(), 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(icon.bitmap().pixel(x, y), source.pixel(x, y)) << x << "," << y;
            EXPECT_EQ(icon.bitmap().alphaAt(x, y), source.alphaAt(x, y)) << x << "," << y;
        }
    // A larger bitmap entry still wins over a smaller PNG.
    EXPECT_EQ(load(iconFile({{0, 0, 32, png}, {4, 4, 24, solidDib(4, 4, 24, 0x123456)}})).width(), 4);
}

TEST(Icon, BrokenPngEntryFallsBackToTheNextImage) {
    // Directory size 0 means 256: a PNG too short to say its size still ranks as 256 x 256.
    const Bytes brokenPng = pngtest::fileOf({pngtest::chunk("IHDR", pngtest::ihdrData(256, 256, 8, 6))});
    TIcon icon = load(iconFile({{0, 0, 32, brokenPng}, {16, 16, 8, solidDib(16, 16, 8, 0x0000FF)}}));
    EXPECT_EQ(icon.width(), 16);
    EXPECT_EQ(icon.bitmap().pixel(3, 3), 0x0000FFu);
}
