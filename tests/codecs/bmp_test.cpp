// Bitmap files and icons built field by field: every header, depth, bit-field layout and
// run-length escape; icon entries chosen by size and depth, their AND masks, alpha and PNG images.
#include <gtest/gtest.h>

#include "codecs/Icon.h"
#include "tests/codecs/BmpBuilders.h"
#include "tests/codecs/png_test_files.h"
#include "tests/support/CodecCases.h"

using namespace korvel;
using namespace korvel::bmptest;
using enum korvel::PixelFormat;
using namespace korvel::testing;

namespace {

TBitmap decode(const Bytes& file, bool fileHeader = true) {
    TBitmap b;
    if (fileHeader) readBmp(file.data(), file.size(), b);
    else readDib(file.data() + 14, file.size() - 14, b, false);
    return b;
}

// Colours of the raster, row by row from the top.
std::vector<uint32_t> colours(const TBitmap& b) {
    std::vector<uint32_t> c;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) c.push_back(b.pixel(x, y));
    return c;
}

// One icon image: info header with the doubled height, colour table, colour rows and AND
// mask rows, both bottom-up.
Bytes iconDib(int width, int height, uint16_t bpp, const Bytes& table, const std::vector<Bytes>& colourRows,
              const std::vector<Bytes>& maskRows) {
    Info info{.width = width, .height = 2 * height, .bpp = bpp, .clrUsed = uint32_t(table.size() / 4)};
    return cat({infoHeader(info), table, rows(colourRows), rows(maskRows)});
}

// A width x height image of one colour at the given depth, nothing masked.
Bytes solidDib(int width, int height, uint16_t bpp, Color colour) {
    const Bytes bgr = {blueOf(colour), greenOf(colour), redOf(colour), 0};
    Bytes table, row;
    if (bpp <= 8) {
        table = palette({0, colour});
        row.assign((width * bpp + 7) / 8, bpp == 1 ? 0xFF : bpp == 4 ? 0x11 : 1);
    }
    for (int x = 0; bpp > 8 && x < width; ++x) row.insert(row.end(), bgr.begin(), bgr.begin() + bpp / 8);
    return iconDib(width, height, bpp, table, std::vector<Bytes>(height, row),
                   std::vector<Bytes>(height, Bytes((width + 7) / 8, 0)));
}

std::vector<Color> square(int size, Color c) { return std::vector<Color>(size * size, c); }

const Info kRle3x2{.width = 3, .height = 2, .bpp = 8, .compression = 1, .clrUsed = 16};

}  // namespace

TEST(BmpReader, RoundTripsEveryFormatPixelExact) {
    for (PixelFormat pf : kPixelFormats)
        for (int width : {1, 3, 7, 9, 33}) {
            SCOPED_TRACE(std::to_string(bitsPerPixel(pf)) + " bits, width " + std::to_string(width));
            TBitmap src = randomBitmap(pf, width, 5, uint32_t(width));
            // Palettes smaller than the format allows must come back with their own size.
            if (isPaletteFormat(pf) && width == 3) {
                src.setPalette({src.palette().begin(), src.palette().end() - 1});
                for (int y = 0; y < 5; ++y)
                    for (int x = 0; x < width; ++x)
                        src.setRawPixel(x, y, src.rawPixel(x, y) % src.palette().size());
            }
            const TBitmap back = decode(savedBytes(src));
            EXPECT_EQ(byteDifference(back, src), "");
            EXPECT_EQ(back.mask(), nullptr);
        }
}

struct VariantCase {
    const char* name;
    Info info;
    Bytes table;                  // masks and colour table
    std::vector<Bytes> fileRows;  // bottom row first unless the height is negative
    PixelFormat format;
    std::vector<Color> expected;  // top row first
    std::vector<int> mask = {};   // empty: no mask
    int64_t offBits = -1;         // set: the last row's padding dropped (it often is) and bfOffBits set
    bool fileHeader = true;
};

TEST(BmpReader, DecodesHandBuiltVariants) {
    const Color a = 0x102030, b = 0xA0B0C0, c = 0x405060, d = 0xFFEE00;
    const Bytes bgr24 = {0x30, 0x20, 0x10}, bgr24b = {0x60, 0x50, 0x40};
    const Bytes ramp = palette({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
    const VariantCase cases[] = {
        {"1-bit bottom-up, custom colours", {.width = 3, .height = 2, .bpp = 1}, palette({a, b}),
         {{0xA0}, {0x60}}, pf1bit, {a, b, b, b, a, b}},
        {"2-bit widened to 4 bits", {.width = 5, .height = 1, .bpp = 2}, palette({a, b, c, d}),
         {{0x1B, 0x40}}, pf4bit, {a, b, c, d, b}},
        // clrUsed 0 means 16 entries; negative height means the first row is the top one.
        {"4-bit top-down", {.width = 3, .height = -2, .bpp = 4},
         palette({0, a, b, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, c, d}), {{0x12, 0xF0}, {0x0E, 0x10}}, pf4bit,
         {a, b, d, 0, c, a}},
        {"8-bit index beyond the colour table reads black", {.width = 3, .height = 1, .bpp = 8,
         .clrUsed = 3}, palette({a, b, c}), {{2, 200, 3}}, pf8bit, {c, 0, 0}},
        {"24-bit bottom-up", {.width = 2, .height = 2, .bpp = 24}, {},
         {{0x30, 0x20, 0x10, 1, 2, 3}, {0xC0, 0xB0, 0xA0, 0, 0xEE, 0xFF}}, pf24bit, {b, d, a, 0x030201}},
        {"bfOffBits zero", {.width = 1, .height = 2, .bpp = 24}, {}, {bgr24, bgr24b}, pf24bit, {c, a}, {}, 0},
        {"bfOffBits beyond the file", {.width = 1, .height = 2, .bpp = 24}, {}, {bgr24, bgr24b},
         pf24bit, {c, a}, {}, 0x7FFFFFF0},
        // 256 entries declared, two stored; bfOffBits marks where the pixels really start.
        {"bfOffBits cuts a short colour table", {.width = 2, .height = 1, .bpp = 8}, palette({a, b}),
         {{1, 0}}, pf8bit, {b, a}},
        {"16-bit BI_RGB is 5-5-5", {.width = 2, .height = 1, .bpp = 16}, {}, {{0x00, 0x7C, 0x1F, 0x00}},
         pf15bit, {0xFF0000, 0x0000FF}},
        {"16-bit bit fields 5-6-5", {.width = 2, .height = 1, .bpp = 16, .compression = 3},
         masks({0xF800, 0x07E0, 0x001F}), {{0x00, 0xF8, 0xE0, 0x07}}, pf16bit, {0xFF0000, 0x00FF00}},
        {"16-bit bit fields 5-5-5", {.width = 2, .height = 1, .bpp = 16, .compression = 3},
         masks({0x7C00, 0x03E0, 0x001F}), {{0xE0, 0x03, 0x1F, 0x00}}, pf15bit, {0x00FF00, 0x0000FF}},
        {"16-bit 6-5-5 masks convert to 24 bits", {.width = 2, .height = 1, .bpp = 16, .compression = 3},
         masks({0xFC00, 0x03E0, 0x001F}), {{0x00, 0xFC, 0x00, 0x02}}, pf24bit, {0xFF0000, 0x008400}},
        {"16-bit 4-4-4-4 with alpha in a V4 header", {.headerSize = 108, .width = 2, .height = 1,
         .bpp = 16, .compression = 3, .masks = {0x0F00, 0x00F0, 0x000F, 0xF000}}, {},
         {{0x00, 0xF8, 0x0F, 0x70}}, pf32bit, {0x880000, 0x0000FF}, {0, 136}},
        {"16-bit bit fields left empty read as 5-5-5", {.width = 1, .height = 1, .bpp = 16,
         .compression = 3}, masks({0, 0, 0}), {{0x00, 0x7C}}, pf15bit, {0xFF0000}},
        {"32-bit bit fields, standard masks", {.width = 1, .height = 1, .bpp = 32, .compression = 3},
         masks({0xFF0000, 0xFF00, 0xFF}), {{0x33, 0x22, 0x11, 0x00}}, pf32bit, {0x112233}},
        // Red 0x3C0 -> 0xF0, blue 0x3FF -> 0xFF.
        {"32-bit 10-10-10 bit fields", {.width = 1, .height = 1, .bpp = 32, .compression = 3},
         masks({0x3FF00000, 0x000FFC00, 0x000003FF}), {{0xFF, 0x03, 0x00, 0x3C}}, pf32bit, {0xF000FF}},
        {"32-bit BI_RGB with alpha in a V5 header",
         {.headerSize = 124, .width = 2, .height = 1, .bpp = 32, .masks = {0, 0, 0, 0xFF000000}}, {},
         {{0x30, 0x20, 0x10, 0x80, 0xC0, 0xB0, 0xA0, 0xFF}}, pf32bit, {a, b}, {127, 0}},
        {"32-bit V5 bit fields with all alpha zero stays opaque", {.headerSize = 124, .width = 1,
         .height = 1, .bpp = 32, .compression = 3, .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000}}, {},
         {{0x30, 0x20, 0x10, 0x00}}, pf32bit, {a}},
        {"OS/2 core header, 1 bit, RGBTRIPLE colour table", {.headerSize = 12, .width = 3, .height = 1,
         .bpp = 1}, palette({c, d}, 3), {{0x40}}, pf1bit, {c, d, c}},
        {"OS/2 2.x 64-byte header, 4 bits", {.headerSize = 64, .width = 2, .height = 1, .bpp = 4,
         .clrUsed = 2}, palette({a, b}), {{0x10}}, pf4bit, {b, a}},
        {"OS/2 2.x 16-byte header, 24 bits", {.headerSize = 16, .width = 1, .height = 1, .bpp = 24}, {},
         {{0xC0, 0xB0, 0xA0}}, pf24bit, {b}},
        {"a DIB without file header", {.width = 2, .height = 1, .bpp = 4, .clrUsed = 2}, palette({a, b}),
         {{0x01}}, pf4bit, {a, b}, {}, -1, false},
        // Run-length streams, unpadded, the bottom line first. Runs and deltas outside the image are
        // dropped; a missing end leaves zeros. Colour i of the table is i.
        {"RLE8 every escape", {.width = 6, .height = 4, .bpp = 8, .compression = 1, .clrUsed = 16}, ramp,
         {{3, 5, 0, 3, 1, 2, 3, 0, 0, 0,  // line 0: run, odd absolute run with its pad byte, end of line
           8, 7, 0, 0,                    // line 1: run of 8 cut at the row end
           0, 2, 2, 1,                    // delta: 2 right, 1 up (line 2 stays 0)
           2, 4, 0, 1,                    // line 3: run at x = 2, end of bitmap
           9, 9}},                        // after the end: ignored
         pf8bit, {0, 0, 4, 4, 0, 0, 0, 0, 0, 0, 0, 0, 7, 7, 7, 7, 7, 7, 5, 5, 5, 1, 2, 3}},
        {"RLE4 every escape", {.width = 6, .height = 3, .bpp = 4, .compression = 2, .clrUsed = 16}, ramp,
         {{5, 0x12, 0, 0,                    // line 0: alternating nibbles
           0, 3, 0xAB, 0xC0, 2, 0x3F, 0, 0,  // line 1: absolute run of 3 (2 bytes, no pad), run of 2
           0, 5, 0x12, 0x34, 0x50, 0,        // line 2: absolute run of 5 (3 bytes + pad)
           0, 2, 1, 0,                       // delta 1 right, still line 2
           0, 1}},
         pf4bit, {1, 2, 3, 4, 5, 0, 0xA, 0xB, 0xC, 3, 0xF, 0, 1, 2, 1, 2, 1, 0}},
        {"delta past the top", kRle3x2, ramp, {{1, 3, 0, 2, 0, 250, 5, 5, 0, 1}}, pf8bit, {0, 0, 0, 3, 0, 0}},
        {"absolute run past the row end", kRle3x2, ramp, {{0, 5, 1, 2, 3, 4, 5, 0, 0, 0, 1, 6}},
         pf8bit, {6, 0, 0, 1, 2, 3}},
        {"no end of bitmap", kRle3x2, ramp, {{3, 9}}, pf8bit, {0, 0, 0, 9, 9, 9}},
        {"absolute run cut by the end of data", kRle3x2, ramp, {{1, 4, 0, 9, 1, 2}}, pf8bit,
         {0, 0, 0, 4, 0, 0}},
        {"lone byte at the end", kRle3x2, ramp, {{2, 8, 7}}, pf8bit, {0, 0, 0, 8, 8, 0}},
    };
    for (const VariantCase& t : cases) {
        SCOPED_TRACE(t.name);
        const bool rle = t.info.compression == 1 || t.info.compression == 2;
        Bytes file = bmpFile(cat({infoHeader(t.info), t.table}), rle ? t.fileRows[0] : rows(t.fileRows));
        if (t.offBits >= 0) {
            file.pop_back();
            patch32(file, kOffBitsAt, uint32_t(t.offBits));
        }
        TBitmap b;
        ASSERT_NO_THROW(b = decode(file, t.fileHeader));
        EXPECT_EQ(std::pair(b.width(), b.height()), std::pair(t.info.width, std::abs(t.info.height)));
        EXPECT_EQ(b.pixelFormat(), t.format);
        EXPECT_EQ(colours(b), t.expected);
        EXPECT_EQ(maskValues(b), t.mask);
        // The file's own colour table, as long as it is (OS/2 entries are three bytes).
        const size_t entrySize = t.info.headerSize == 12 ? 3 : 4;
        EXPECT_EQ(b.palette().size(), isPaletteFormat(t.format) ? t.table.size() / entrySize : 0);
    }
}

// Which entry is shown (largest, then deepest), its colours top row first, and the mask (empty:
// none) with the alpha it gives.
TEST(Icon, ChosenEntryMaskAndAlpha) {
    const Bytes rgba = {0x10, 0x20, 0x30, 0x00, 0x40, 0x50, 0x60, 0xC0},
        rgbx = {0x10, 0x20, 0x30, 0, 0x40, 0x50, 0x60, 0};
    // A PNG entry brings its alpha as the mask.
    const TBitmap masked = randomBitmap(pf24bit, 3, 2, 8, true);
    const Bytes png = pngBytes(flatImage(3, 2, 0xABCDEF));
    // Directory size 0 means 256: a PNG too short to say its size still ranks as 256 x 256.
    const Bytes brokenPng = pngtest::fileOf({pngtest::chunk("IHDR", pngtest::ihdrData(256, 256, 8, 6))});
    struct Row {
        const char* name;
        Bytes file;
        PixelFormat format;
        std::vector<Color> colours;
        std::vector<int> mask = {};
    } rows[] = {
        {"largest wins over deeper", iconFile({{16, 16, 32, solidDib(16, 16, 32, 0x111111)},
         {32, 32, 4, solidDib(32, 32, 4, 0x222222)}}), pf4bit, square(32, 0x222222)},
        {"deepest of the largest", iconFile({{32, 32, 4, solidDib(32, 32, 4, 0x222222)},
         {32, 32, 24, solidDib(32, 32, 24, 0x333333)}, {32, 32, 8, solidDib(32, 32, 8, 0x444444)},
         {16, 16, 32, solidDib(16, 16, 32, 0x555555)}}), pf24bit, square(32, 0x333333)},
        {"the image's header wins over the directory", iconFile({{48, 48, 32, solidDib(8, 8, 32, 0x111111)},
         {16, 16, 1, solidDib(24, 24, 1, 0x666666)}}), pf1bit, square(24, 0x666666)},
        {"equal entries: the first", iconFile({{8, 8, 8, solidDib(8, 8, 8, 0x777777)},
         {8, 8, 8, solidDib(8, 8, 8, 0x888888)}}), pf8bit, square(8, 0x777777)},
        {"a larger bitmap wins over a smaller PNG",
         iconFile({{0, 0, 32, png}, {4, 4, 24, solidDib(4, 4, 24, 0x123456)}}), pf24bit, square(4, 0x123456)},
        {"a broken PNG falls back to the next image", iconFile({{0, 0, 32, brokenPng},
         {16, 16, 8, solidDib(16, 16, 8, 0x0000FF)}}), pf8bit, square(16, 0x0000FF)},
        // Mask rows bottom-up: the bottom row masks x = 0, the top row x = 1 and 2.
        {"AND mask at 4 bits", iconFile({{3, 2, 4, iconDib(3, 2, 4, palette({0, 0xFF0000, 0x00FF00}),
         {{0x12, 0x10}, {0x21, 0x20}}, {{0x80}, {0x60}})}}), pf4bit,
         {0x00FF00, 0xFF0000, 0x00FF00, 0xFF0000, 0x00FF00, 0xFF0000}, {0, 255, 255, 255, 0, 0}},
        {"alpha channel overrides the AND mask",
         iconFile({{2, 1, 32, iconDib(2, 1, 32, {}, {rgba}, {{0x40}})}}), pf32bit,
         {0x302010, 0x605040}, {255, 63}},
        {"without alpha the AND mask rules", iconFile({{2, 1, 32, iconDib(2, 1, 32, {}, {rgbx}, {{0x40}})}}),
         pf32bit, {0x302010, 0x605040}, {0, 255}},
        {"missing AND mask rows leave it opaque", iconFile({{2, 2, 24, iconDib(2, 2, 24, {},
         {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}}, {{0xC0}})}}), pf24bit,
         {0x090807, 0x0C0B0A, 0x030201, 0x060504}},
        {"cursor", iconFile({{4, 4, 8, solidDib(4, 4, 8, 0xABCDEF)}}, 2), pf8bit, square(4, 0xABCDEF)},
        {"PNG", iconFile({{0, 0, 32, pngBytes(masked)}}), pf24bit, colours(masked), maskValues(masked)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const TIcon icon = loaded<TIcon>(r.file);
        const TBitmap& b = icon.bitmap();
        EXPECT_EQ(std::pair(icon.width(), icon.height()), std::pair(b.width(), b.height()));
        EXPECT_EQ(b.pixelFormat(), r.format);
        EXPECT_EQ(colours(b), r.colours);
        EXPECT_EQ(maskValues(b), r.mask);
        EXPECT_EQ(b.transparency(), Transparency::None);
    }
}
