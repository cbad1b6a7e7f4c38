// Writer then reader: every source pixel format, with and without a mask, interlaced or not, at
// every filter mode and a spread of levels, must come back with the same colours and alpha.
#include <gtest/gtest.h>


#include "codecs/Png.h"
#include "png_test_files.h"
#include "tests/support/TestImages.h"

using namespace korvel;
using korvel::testing::savedBytes;
using namespace pngtest;
using korvel::testing::randomBitmap;

namespace {

TGLDPNG reload(const Bytes& file, bool read16Bit = false) {
    TGLDPNG png;
    png.read16Bit = read16Bit;
    png.loadFromMemory(file.data(), file.size());
    return png;
}

// Pixels whose colour or alpha differ.
int differences(const TBitmap& a, const TBitmap& b) {
    if (a.width() != b.width() || a.height() != b.height()) return -1;
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y) || a.alphaAt(x, y) != b.alphaAt(x, y)) ++n;
    return n;
}

struct Source {
    const char* name;
    PixelFormat pf;
    bool mask;
};
void PrintTo(const Source& s, std::ostream* os) { *os << s.name; }

class RoundTrip : public ::testing::TestWithParam<Source> {};

TEST_P(RoundTrip, EveryFilterModeLevelAndInterlace) {
    const Source src = GetParam();
    for (auto [w, h] : {std::pair{29, 17}, std::pair{1, 1}, std::pair{9, 2}}) {
        const TBitmap image = randomBitmap(src.pf, w, h, uint32_t(w * 7 + h), src.mask);
        for (bool interlace : {false, true})
            for (int filter = 0; filter <= 5; ++filter)
                for (int level : {-1, 0, 1, 9}) {
                    SCOPED_TRACE(::testing::Message() << w << "x" << h << " interlace " << interlace << " filter "
                                                      << filter << " level " << level);
                    TGLDPNG png;
                    png.assign(image);
                    png.interlace = interlace;
                    png.filterMode = filter;
                    png.compressionLevel = level;
                    const TGLDPNG back = reload(savedBytes(png));
                    ASSERT_EQ(differences(back.image(), image), 0);
                    EXPECT_EQ(back.image().mask() != nullptr, src.mask);
                    if (isPaletteFormat(src.pf)) {
                        // Palette images keep their indices (with a mask: through the palette-alpha form).
                        const PixelFormat want = src.mask ? PixelFormat::pf8bit : src.pf;
                        ASSERT_EQ(back.image().pixelFormat(), want);
                        for (int y = 0; y < h; ++y)
                            for (int x = 0; x < w; ++x) ASSERT_EQ(back.image().rawPixel(x, y), image.rawPixel(x, y));
                    } else {
                        EXPECT_EQ(back.image().pixelFormat(), PixelFormat::pf24bit);
                    }
                }
    }
}

INSTANTIATE_TEST_SUITE_P(AllFormats, RoundTrip,
                         ::testing::Values(Source{"pf1bit", PixelFormat::pf1bit, false},
                                           Source{"pf4bit", PixelFormat::pf4bit, false},
                                           Source{"pf8bit", PixelFormat::pf8bit, false},
                                           Source{"pf15bit", PixelFormat::pf15bit, false},
                                           Source{"pf16bit", PixelFormat::pf16bit, false},
                                           Source{"pf24bit", PixelFormat::pf24bit, false},
                                           Source{"pf32bit", PixelFormat::pf32bit, false},
                                           Source{"pf1bitMask", PixelFormat::pf1bit, true},
                                           Source{"pf4bitMask", PixelFormat::pf4bit, true},
                                           Source{"pf8bitMask", PixelFormat::pf8bit, true},
                                           Source{"pf15bitMask", PixelFormat::pf15bit, true},
                                           Source{"pf16bitMask", PixelFormat::pf16bit, true},
                                           Source{"pf24bitMask", PixelFormat::pf24bit, true},
                                           Source{"pf32bitMask", PixelFormat::pf32bit, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PngRoundTrip, FifteenAndSixteenBitComeBackExactWithTheOption) {
    for (PixelFormat pf : {PixelFormat::pf15bit, PixelFormat::pf16bit})
        for (bool mask : {false, true})
            for (bool interlace : {false, true}) {
                const TBitmap image = randomBitmap(pf, 13, 11, 5, mask);
                TGLDPNG png;
                png.assign(image);
                png.interlace = interlace;
                const TGLDPNG back = reload(savedBytes(png), true);
                ASSERT_EQ(back.image().pixelFormat(), pf);
                for (int y = 0; y < 11; ++y)
                    for (int x = 0; x < 13; ++x) ASSERT_EQ(back.image().rawPixel(x, y), image.rawPixel(x, y));
                EXPECT_EQ(differences(back.image(), image), 0);
            }
}

// The greyscale option: the stated weights and the per-depth forms, from the source's colours.
TEST(PngRoundTrip, GreyscaleOption) {
    struct Row {
        PixelFormat pf;
        bool mask;
        uint8_t colorType, depth;
        PixelFormat back;
    } rows[] = {{PixelFormat::pf1bit, false, 0, 1, PixelFormat::pf1bit},  {PixelFormat::pf4bit, false, 0, 4, PixelFormat::pf4bit},
                {PixelFormat::pf8bit, false, 0, 8, PixelFormat::pf8bit},  {PixelFormat::pf24bit, false, 0, 8, PixelFormat::pf8bit},
                {PixelFormat::pf16bit, false, 0, 8, PixelFormat::pf8bit}, {PixelFormat::pf32bit, true, 4, 8, PixelFormat::pf8bit},
                {PixelFormat::pf4bit, true, 4, 8, PixelFormat::pf8bit}};
    for (const Row& r : rows) {
        for (bool interlace : {false, true}) {
            SCOPED_TRACE(::testing::Message() << bitsPerPixel(r.pf) << " bits, mask " << r.mask << ", interlace " << interlace);
            const TBitmap image = randomBitmap(r.pf, 10, 7, 9, r.mask);
            TGLDPNG png;
            png.assign(image);
            png.greyscale = true;
            png.interlace = interlace;
            const Bytes file = savedBytes(png);
            EXPECT_EQ(file[24], r.depth);
            EXPECT_EQ(file[25], r.colorType);
            const TGLDPNG back = reload(file);
            ASSERT_EQ(back.image().pixelFormat(), r.back);
            for (int y = 0; y < 7; ++y)
                for (int x = 0; x < 10; ++x) {
                    const Color c = image.pixel(x, y);
                    const int g = (redOf(c) * 77 + greenOf(c) * 150 + blueOf(c) * 29) / 256;
                    const int level = r.depth == 1 ? (g > 127 ? 255 : 0) : r.depth == 4 ? g / 16 * 17 : g;
                    ASSERT_EQ(back.image().pixel(x, y), makeColor(level, level, level));
                    ASSERT_EQ(back.image().alphaAt(x, y), image.alphaAt(x, y));
                }
        }
    }
}

TEST(PngRoundTrip, TransparencyBackgroundAndFields) {
    struct Row {
        const char* what;
        PixelFormat pf;
        bool greyscale;
        Transparency kind;
    } rows[] = {{"palette index", PixelFormat::pf4bit, false, Transparency::Index},
                {"rgb colour", PixelFormat::pf24bit, false, Transparency::Color},
                {"grey colour", PixelFormat::pf24bit, true, Transparency::Color}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        TBitmap image = randomBitmap(r.pf, 8, 8, 3, false);
        if (r.kind == Transparency::Index) image.setTransparentIndex(5);
        else image.setTransparentColor(image.pixel(3, 4));
        TGLDPNG png;
        png.assign(image);
        png.greyscale = r.greyscale;
        png.backgroundColor = 0x204060;
        png.comment = "made by a test";
        png.physicalSize = PngPhysicalSize{2, 72, 144};
        png.automaticTime = false;
        png.modificationTime = PngTime{2001, 2, 3, 4, 5, 6};
        png.gamma = 1.0;
        png.chromaticities = std::array<uint32_t, 8>{1, 2, 3, 4, 5, 6, 7, 8};
        png.gifgBlock = std::array<uint8_t, 4>{9, 8, 7, 6};
        const TGLDPNG back = reload(savedBytes(png));
        EXPECT_EQ(back.image().transparency(), r.kind);
        // Pixels of the transparent colour or index, and only those, are transparent again.
        int wrong = 0;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const bool transparent = r.kind == Transparency::Index ? image.rawPixel(x, y) == 5
                                                                       : image.pixel(x, y) == image.pixel(3, 4);
                if (back.image().alphaAt(x, y) != (transparent ? 0 : 255) && !r.greyscale) ++wrong;
            }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(back.image().alphaAt(3, 4) == 0, r.kind == Transparency::Color || image.rawPixel(3, 4) == 5);
        if (r.pf == PixelFormat::pf24bit && !r.greyscale) EXPECT_EQ(back.backgroundColor, 0x204060);
        if (r.kind == Transparency::Index) EXPECT_TRUE(back.backgroundIsIndex);
        EXPECT_EQ(back.comment, "made by a test\r\n");
        ASSERT_TRUE(back.physicalSize);
        EXPECT_EQ(back.physicalSize->unit, 1);
        EXPECT_EQ(back.physicalSize->pixelsPerUnitX, 2835u);  // 72 per inch
        EXPECT_EQ(back.physicalSize->pixelsPerUnitY, 5669u);
        EXPECT_EQ(back.modificationTime.year, 2001);
        EXPECT_EQ(back.modificationTime.second, 6);
        EXPECT_DOUBLE_EQ(back.gamma, 1.0);
        EXPECT_EQ(back.chromaticities, png.chromaticities);
        EXPECT_EQ(back.gifgBlock, png.gifgBlock);
    }
}

}  // namespace
