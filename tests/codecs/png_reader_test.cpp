// Reading PNG files that the tests build chunk by chunk: every colour type and depth, both
// interlace methods, every filter type, the transparency and background forms, ancillary chunks,
// damaged files and every refusal.
#include <gtest/gtest.h>

#include "png_test_files.h"
#include "tests/support/CodecCases.h"

using namespace korvel;
using namespace pngtest;

namespace {

TGLDPNG load(const Bytes& file, const DecodeLimits& limits = {}) {
    TGLDPNG png;
    png.loadFromMemory(file.data(), file.size(), limits);
    return png;
}

std::string loadError(const Bytes& file) {
    TGLDPNG png;
    return korvel::testing::loadOutcome(png, file);
}

Bytes paletteChunk(int entries) {
    Bytes b;
    for (int i = 0; i < entries; ++i) b.insert(b.end(),
        {uint8_t(i * 37 + 5), uint8_t(255 - i * 11), uint8_t(i * 101)});
    return b;
}
Color paletteColor(int i) { return makeColor(uint8_t(i * 37 + 5), uint8_t(255 - i * 11), uint8_t(i * 101)); }

int channelsOf(uint8_t colorType) { return colorType == 2 ? 3 : colorType == 4 ? 2 : colorType == 6 ? 4 : 1; }

// What the raster must hold for one pixel, worked out from the samples alone.
Color expectedColor(const Samples& s, uint8_t type, uint32_t x, uint32_t y) {
    auto hi = [&](int c) { return uint8_t(s.depth == 16 ? s.at(x, y, c) >> 8 : s.at(x, y, c)); };
    if (type == 3) return s.at(x, y, 0) < (1u << s.depth) ? paletteColor(s.at(x, y, 0)) : 0;
    if (type == 2 || type == 6) return makeColor(hi(0), hi(1), hi(2));
    const uint16_t v = s.at(x, y, 0);
    const uint8_t g = s.depth == 1 ? v * 255 : s.depth == 2 ? v * 85 : s.depth == 4 ? v * 17 : hi(0);
    return makeColor(g, g, g);
}
uint8_t expectedAlpha(const Samples& s, uint8_t type, uint32_t x, uint32_t y) {
    if (type != 4 && type != 6) return 255;
    const uint16_t a = s.at(x, y, type == 4 ? 1 : 3);
    return uint8_t(s.depth == 16 ? a >> 8 : a);
}

// Every colour type and depth, both interlace methods, sizes below, at and above a pass's step.
TEST(PngRead, EveryPixelOfEveryFormat) {
    struct Format {
        const char* name;
        uint8_t colorType;
        int depth;
        PixelFormat raster;
    } formats[] = {{"grey1", 0, 1, PixelFormat::pf1bit},        {"grey2", 0, 2, PixelFormat::pf4bit},
                   {"grey4", 0, 4, PixelFormat::pf4bit},        {"grey8", 0, 8, PixelFormat::pf8bit},
                   {"grey16", 0, 16, PixelFormat::pf8bit},      {"greyAlpha8", 4, 8, PixelFormat::pf8bit},
                   {"greyAlpha16", 4, 16, PixelFormat::pf8bit}, {"rgb8", 2, 8, PixelFormat::pf24bit},
                   {"rgb16", 2, 16, PixelFormat::pf24bit},      {"rgba8", 6, 8, PixelFormat::pf24bit},
                   {"rgba16", 6, 16, PixelFormat::pf24bit},     {"palette1", 3, 1, PixelFormat::pf1bit},
                   {"palette2", 3, 2, PixelFormat::pf4bit},     {"palette4", 3, 4, PixelFormat::pf4bit},
                   {"palette8", 3, 8, PixelFormat::pf8bit}};
    for (const Format& f : formats)
        for (bool interlace : {false, true})
            for (auto [w, h] : {std::pair{1u, 1u}, {13u, 9u}, {33u, 17u}, {2u, 11u}}) {
                SCOPED_TRACE(::testing::Message() << f.name << " " << w << "x" << h << " i" << interlace);
                const Samples s = randomSamples(w, h, f.depth, channelsOf(f.colorType), w * 31 + h);
                std::vector<Bytes> extra;
                if (f.colorType == 3) extra.push_back(chunk("PLTE", paletteChunk(1 << f.depth)));
                const TGLDPNG png = load(simpleFile(s, f.colorType, interlace, extra));
                const TBitmap& img = png.image();
                ASSERT_EQ(img.width(), int(w));
                ASSERT_EQ(img.height(), int(h));
                ASSERT_EQ(img.pixelFormat(), f.raster);
                ASSERT_EQ(img.mask() != nullptr, f.colorType == 4 || f.colorType == 6);
                // Grey rasters carry the ramp of their depth (16 bits: of 8) as the palette.
                if (f.colorType == 0) {
                    const int step = f.depth == 1 ? 255 : f.depth == 2 ? 85 : f.depth == 4 ? 17 : 1;
                    ASSERT_EQ(img.palette().size(), size_t(1) << std::min(f.depth, 8));
                    for (size_t i = 0; i < img.palette().size(); ++i)
                        EXPECT_EQ(img.palette()[i].color(), makeColor(i * step, i * step, i * step));
                }
                int wrong = 0;
                for (uint32_t y = 0; y < h; ++y)
                    for (uint32_t x = 0; x < w; ++x) {
                        if (img.pixel(int(x), int(y)) != expectedColor(s, f.colorType, x, y)) ++wrong;
                        if (img.alphaAt(int(x), int(y)) != expectedAlpha(s, f.colorType, x, y)) ++wrong;
                        // Palette rasters keep the indices (2-bit ones widened to 4-bit values 0..3).
                        if ((f.colorType == 3 || f.colorType == 0) && f.depth <= 8 &&
                            img.rawPixel(int(x), int(y)) != s.at(x, y, 0))
                            ++wrong;
                    }
                EXPECT_EQ(wrong, 0);
            }
}

// Damaged and refused files next to a good one: each row fails with its message, or loads with
// every pixel right.
TEST(PngRead, RefusalsAndDamage) {
    const Samples s = randomSamples(7, 6, 8, 3, 9);
    const Bytes good = simpleFile(s, 2, false);
    const Bytes z = zlibCompress(rawImageData(s, false));
    const Bytes ihdr = chunk("IHDR", ihdrData(7, 6, 8, 2));
    auto withHeader = [&](const Bytes& header) { return fileOf({chunk("IHDR", header), chunk("IDAT", z)}); };
    Bytes badFilter = rawImageData(s, false, [](int) { return 0; });
    badFilter[0] = 5;
    Bytes garbage = z;
    for (size_t i = 2; i < garbage.size(); ++i) garbage[i] ^= 0x5A;
    Bytes withCrcs;  // every CRC wrong
    for (const Bytes& c : {ihdr, chunk("IDAT", z), chunk("IEND", {})}) {
        withCrcs.insert(withCrcs.end(), c.begin(), c.end());
        withCrcs.back() ^= 0xFF;
    }
    std::vector<Bytes> oneByte{ihdr};
    for (uint8_t b : z) {
        oneByte.push_back(chunk("IDAT", {b}));
        oneByte.push_back(chunk("IDAT", {}));  // empty IDATs in between change nothing
    }
    const std::string header = "Read Header(PNG): ", readError = "Read Image (PNG): Read Error";
    struct Row {
        const char* what;
        Bytes file;
        std::string message;
    } rows[] = {
        {"bad signature", toBytes("\x89PNG\r\n\x1a\r________"), "PNG LoadStream: Not PNG Format"},
        {"empty", {}, "PNG LoadStream: Not PNG Format"},
        {"colour type 1", withHeader(ihdrData(7, 6, 8, 1)), header + "Error ColorType"},
        {"colour type 5", withHeader(ihdrData(7, 6, 8, 5)), header + "Error ColorType"},
        {"colour type 7", withHeader(ihdrData(7, 6, 8, 7)), header + "Error ColorType"},
        {"compression 2", withHeader(ihdrData(7, 6, 8, 2, 0, 2)), header + "not support Compression"},
        {"filter method 2", withHeader(ihdrData(7, 6, 8, 2, 0, 0, 2)), header + "not supprt Filter"},
        {"interlace 2", withHeader(ihdrData(7, 6, 8, 2, 2)), header + "not interlace type"},
        {"grey depth 3", withHeader(ihdrData(7, 6, 3, 0)), header + "Error Bitdepth"},
        {"grey alpha depth 4", withHeader(ihdrData(7, 6, 4, 4)), header + "not Use AlphaChannel"},
        {"grey alpha depth 12", withHeader(ihdrData(7, 6, 12, 4)), header + "Error Bitdepth"},
        {"rgb depth 4", withHeader(ihdrData(7, 6, 4, 2)), header + "Error BitDepth"},
        {"rgba depth 1", withHeader(ihdrData(7, 6, 1, 6)), header + "Error BitDepth"},
        {"palette depth 16", withHeader(ihdrData(7, 6, 16, 3)), header + "Error BitDepth"},
        // Once crashed: a grey tRNS or bKGD read before the bad depth 0 was refused (division by zero).
        {"depth 0 with tRNS and bKGD",
         fileOf({chunk("IHDR", ihdrData(5, 4, 0, 0)), chunk("tRNS", {1, 2}), chunk("bKGD", {1, 2}),
         chunk("IDAT", z)}), header + "Error Bitdepth"},
        {"two IHDR", simpleFile(s, 2, false, {ihdr}), header + "appear two IHDR"},
        {"truncated in IDAT", Bytes(good.begin(), good.begin() + 33 + 8 + z.size() / 2), readError},
        {"IDAT ends early, IEND follows",
         fileOf({ihdr, chunk("IDAT", Bytes(z.begin(), z.begin() + z.size() / 2)), chunk("IEND", {})}),
         readError},
        {"filter type 5", fileOf({ihdr, chunk("IDAT", zlibCompress(badFilter))}), readError},
        {"not a zlib stream", fileOf({ihdr, chunk("IDAT", garbage)}), readError},
        {"stream too short", fileOf({ihdr, chunk("IDAT", zlibCompress(Bytes(20, 0)))}), readError},
        {"no IDAT", fileOf({ihdr, chunk("IEND", {})}), readError},
        {"IDAT before IHDR", fileOf({chunk("IDAT", z), ihdr}), readError},
        {"truncated IHDR", fileOf({chunk("IHDR", {0, 0, 0, 7})}), readError},
        {"signature only", signature(), readError},
        {"good", good, "(loaded)"},
        // Only the low three bits of the colour type count: 10 reads as RGB, 2 and 1 are accepted methods.
        {"colour type 10", withHeader(ihdrData(7, 6, 8, 10)), "(loaded)"},
        {"compression 1", withHeader(ihdrData(7, 6, 8, 2, 0, 1)), "(loaded)"},
        {"filter method 1", withHeader(ihdrData(7, 6, 8, 2, 0, 0, 1)), "(loaded)"},
        {"every CRC wrong", fileOf({withCrcs}), "(loaded)"},
        {"no IEND", Bytes(good.begin(), good.end() - 12), "(loaded)"},
        {"IDAT in one-byte chunks", fileOf(oneByte), "(loaded)"},
        {"unknown chunks", fileOf({ihdr, chunk("zzZZ", {1, 2, 3}), chunk("ABCD", {}), chunk("IDAT", z)}),
         "(loaded)"},
        {"trailing bytes after IEND", [&] { Bytes f = good; f.insert(f.end(), 5, 0xEE); return f; }(),
         "(loaded)"},
        {"IHDR after IEND is never read", fileOf({ihdr, chunk("IDAT", z), chunk("IEND", {}), ihdr}),
         "(loaded)"},
        {"later IDAT after another chunk skipped",
         fileOf({ihdr, chunk("IDAT", z), chunk("tEXt", toBytes("a\0b")), chunk("IDAT", {1, 2})}), "(loaded)"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(loadError(r.file), r.message);
        if (r.message != "(loaded)") continue;
        const TGLDPNG png = load(r.file);
        for (uint32_t y = 0; y < 6; ++y)
            for (uint32_t x = 0; x < 7; ++x) ASSERT_EQ(png.image().pixel(int(x), int(y)),
                expectedColor(s, 2, x, y));
    }
}

TEST(PngRead, PaletteEdgeCases) {
    // Indices beyond a short palette read as black; nothing outside the palette is touched.
    Samples s = randomSamples(9, 5, 8, 1, 4);
    TGLDPNG png = load(simpleFile(s, 3, false, {chunk("PLTE", paletteChunk(3))}));
    for (uint32_t y = 0; y < 5; ++y)
        for (uint32_t x = 0; x < 9; ++x)
            EXPECT_EQ(png.image().pixel(int(x), int(y)), s.at(x, y, 0) < 3 ? paletteColor(s.at(x, y, 0)) : 0);
    EXPECT_EQ(png.image().palette().size(), 3u);

    // A palette type without PLTE still loads.
    png = load(simpleFile(randomSamples(6, 3, 2, 1, 5), 3, false));
    EXPECT_TRUE(png.image().palette().empty());
}

TEST(PngRead, TransparencyForms) {
    Samples grey8 = randomSamples(6, 4, 8, 1, 6);
    grey8.v[0] = 0x40;
    Samples grey2 = randomSamples(6, 4, 2, 1, 7);
    Samples grey16 = randomSamples(6, 4, 16, 1, 8);
    Samples rgb8 = randomSamples(6, 4, 8, 3, 9);
    Samples rgb16 = randomSamples(6, 4, 16, 3, 10);
    Samples pal = randomSamples(6, 4, 2, 1, 11);
    const Bytes plte = chunk("PLTE", paletteChunk(4));
    struct Row {
        const char* what;
        Bytes file;
        Transparency kind;
        uint32_t value;  // colour or index
        bool mask;
    } rows[] = {
        {"grey 8", simpleFile(grey8, 0, false, {chunk("tRNS", {0x00, 0x40})}), Transparency::Color, 0x404040,
         false},
        {"grey 2 as its ramp level", simpleFile(grey2, 0, false, {chunk("tRNS", {0, 2})}),
         Transparency::Color, 0xAAAAAA, false},
        {"grey 16 high byte", simpleFile(grey16, 0, true, {chunk("tRNS", {0x40, 0xFF})}),
         Transparency::Color, 0x404040, false},
        {"rgb 8 low bytes", simpleFile(rgb8, 2, false,
         {chunk("tRNS", {0xAA, 0x12, 0xBB, 0x34, 0xCC, 0x56})}), Transparency::Color, 0x123456, false},
        {"rgb 16 high bytes", simpleFile(rgb16, 2, false,
         {chunk("tRNS", {0x12, 0xAA, 0x34, 0xBB, 0x56, 0xCC})}), Transparency::Color, 0x123456, false},
        {"palette single zero", simpleFile(pal, 3, false, {plte, chunk("tRNS", {255, 255, 0})}),
         Transparency::Index, 2, false},
        {"palette tRNS longer than palette",
         simpleFile(pal, 3, false, {plte, chunk("tRNS", {255, 255, 255, 0, 0, 0, 0})}), Transparency::Index,
         3, false},
        {"palette two zeros", simpleFile(pal, 3, false, {plte, chunk("tRNS", {0, 0})}), Transparency::None,
         0, true},
        {"palette partial alpha", simpleFile(pal, 3, true, {plte, chunk("tRNS", {10, 255, 128})}),
         Transparency::None, 0, true},
        {"after IDAT ignored", [&] {
             Bytes f = simpleFile(pal, 3, false, {plte}), t = chunk("tRNS", {0});
             f.insert(f.end() - 12, t.begin(), t.end());
             return f;
         }(), Transparency::None, 0, false},
        {"with alpha channel ignored",
         simpleFile(randomSamples(6, 4, 8, 4, 1), 6, false, {chunk("tRNS", {0, 1, 0, 2, 0, 3})}),
         Transparency::None, 0, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const TGLDPNG png = load(r.file);
        const TBitmap& img = png.image();
        EXPECT_EQ(img.transparency(), r.kind);
        if (r.kind == Transparency::Color) EXPECT_EQ(img.transparentColor(), r.value);
        if (r.kind == Transparency::Index) EXPECT_EQ(img.transparentIndex(), int(r.value));
        EXPECT_EQ(img.mask() != nullptr, r.mask);
    }
    // The mask of a palette alpha table is 255 - alpha of each pixel's entry, interlaced or not.
    for (bool interlace : {false, true}) {
        const TGLDPNG png = load(simpleFile(pal, 3, interlace, {plte, chunk("tRNS", {10, 255, 128})}));
        const uint8_t alpha[4] = {10, 255, 128, 255};
        for (uint32_t y = 0; y < 4; ++y)
            for (uint32_t x = 0; x < 6; ++x) EXPECT_EQ(png.image().alphaAt(int(x), int(y)),
                alpha[pal.at(x, y, 0)]);
    }
    // A grey transparent colour makes exactly the pixels of that level transparent.
    const TGLDPNG png = load(rows[0].file);
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 6; ++x)
            EXPECT_EQ(png.image().alphaAt(int(x), int(y)), grey8.at(x, y, 0) == 0x40 ? 0 : 255);
}

TEST(PngRead, BackgroundForms) {
    struct Row {
        const char* what;
        Bytes file;
        int64_t color;
        bool isIndex;
    } rows[] = {
        {"grey 8", simpleFile(randomSamples(3, 3, 8, 1, 1), 0, false, {chunk("bKGD", {0, 0x80})}), 0x808080,
         false},
        {"grey 16", simpleFile(randomSamples(3, 3, 16, 1, 1), 0, false, {chunk("bKGD", {0x80, 0x01})}),
         0x808080, false},
        {"grey 1", simpleFile(randomSamples(3, 3, 1, 1, 1), 0, false, {chunk("bKGD", {0, 1})}), 0xFFFFFF,
         false},
        {"rgb 8", simpleFile(randomSamples(3, 3, 8, 3, 1), 2, false,
         {chunk("bKGD", {9, 0x11, 9, 0x22, 9, 0x33})}), 0x112233, false},
        {"rgb 16", simpleFile(randomSamples(3, 3, 16, 3, 1), 2, false,
         {chunk("bKGD", {0x11, 9, 0x22, 9, 0x33, 9})}), 0x112233, false},
        {"palette", simpleFile(randomSamples(3, 3, 4, 1, 1), 3, false,
         {chunk("PLTE", paletteChunk(16)), chunk("bKGD", {7})}), 7, true},
        {"none", simpleFile(randomSamples(3, 3, 8, 1, 1), 0, false), -1, false},
    };
    for (const Row& r : rows) {
        const TGLDPNG png = load(r.file);
        EXPECT_EQ(png.backgroundColor, r.color) << r.what;
        EXPECT_EQ(png.backgroundIsIndex, r.isIndex) << r.what;
    }
}

TEST(PngRead, AncillaryChunks) {
    const Samples s = randomSamples(4, 4, 8, 3, 12);
    Bytes chrm;
    for (uint32_t v = 1; v <= 8; ++v) put32(chrm, v * 1000);
    Bytes phys;
    put32(phys, 3780);
    put32(phys, 2835);
    phys.push_back(1);
    TGLDPNG png = load(simpleFile(s, 2, false,
                                  {chunk("gAMA", {0, 1, 0x86, 0xA0}), chunk("cHRM", chrm),
                                   chunk("sBIT", {5, 6, 5}),
                                   chunk("pHYs", phys), chunk("tIME", {0x07, 0xE8, 2, 29, 23, 59, 60}),
                                   chunk("tEXt", toBytes(std::string("Comment\0first", 13))),
                                   chunk("tEXt", toBytes(std::string("Title\0ignored", 13))),
                                   chunk("tEXt", toBytes(std::string("Comment\0second", 14))),
                                   chunk("gIFg", {1, 2, 3, 4}),
                                       chunk("tpNG", toBytes(std::string("GLD3\x07\x01\0\0", 8)))}));
    EXPECT_DOUBLE_EQ(png.gamma, 1.0);
    ASSERT_TRUE(png.chromaticities);
    EXPECT_EQ((*png.chromaticities)[7], 8000u);
    EXPECT_EQ(png.significantBits, (Bytes{5, 6, 5}));
    ASSERT_TRUE(png.physicalSize);
    EXPECT_EQ(png.physicalSize->pixelsPerUnitX, 3780u);
    EXPECT_EQ(png.physicalSize->pixelsPerUnitY, 2835u);
    EXPECT_EQ(png.physicalSize->unit, 1);
    EXPECT_EQ(png.modificationTime.year, 2024);
    EXPECT_EQ(png.modificationTime.second, 60);
    EXPECT_EQ(png.comment, "first\r\n\r\nsecond\r\n");
    ASSERT_TRUE(png.gifgBlock);
    EXPECT_EQ((*png.gifgBlock)[3], 4);
    EXPECT_EQ(png.privateFlags[0], 7);
    EXPECT_EQ(png.privateFlags[1], 1);
    // sBIT 5,6,5 alone keeps the 24-bit raster unless the 16-bit option is on.
    EXPECT_EQ(png.image().pixelFormat(), PixelFormat::pf24bit);

    // Wrong lengths are skipped; absent chunks leave the defaults.
    png = load(simpleFile(s, 2, false,
        {chunk("tIME", {0x07, 0xE8, 2, 29, 23, 59, 60, 0}), chunk("gIFg", {1, 2, 3})}));
    EXPECT_EQ(png.modificationTime.year, 0);
    EXPECT_FALSE(png.gifgBlock);
    EXPECT_DOUBLE_EQ(png.gamma, 0.45455);
    EXPECT_TRUE(png.comment.empty());
    EXPECT_FALSE(png.physicalSize);
}

TEST(PngRead, SixteenBitOptionFollowsSignificantBits) {
    Samples s = randomSamples(5, 3, 8, 3, 13);
    struct Row {
        Bytes sbit;
        bool option;
        PixelFormat raster;
    } rows[] = {{{5, 6, 5}, true, PixelFormat::pf16bit},  {{5, 5, 5}, true, PixelFormat::pf15bit},
                {{5, 6, 5}, false, PixelFormat::pf24bit}, {{8, 8, 8}, true, PixelFormat::pf24bit},
                {{5, 6, 5, 8}, true, PixelFormat::pf16bit}};
    for (const Row& r : rows) {
        for (bool interlace : {false, true}) {
            TGLDPNG png;
            png.read16Bit = r.option;
            const Bytes f = simpleFile(s, 2, interlace, {chunk("sBIT", r.sbit)});
            png.loadFromMemory(f.data(), f.size());
            ASSERT_EQ(png.image().pixelFormat(), r.raster);
            for (uint32_t y = 0; y < 3; ++y)
                for (uint32_t x = 0; x < 5; ++x) {
                    const Color c = expectedColor(s, 2, x, y);
                    const Color want = r.raster == PixelFormat::pf16bit   ? unpackColor16(packColor16(c))
                                       : r.raster == PixelFormat::pf15bit ? unpackColor15(packColor15(c))
                                                                          : c;
                    EXPECT_EQ(png.image().pixel(int(x), int(y)), want);
                }
        }
    }
}

TEST(PngRead, PaletteAlphaFlagTakesThePlteForGreyAlpha) {
    const Samples s = randomSamples(6, 5, 8, 2, 14);
    const Bytes flagged = simpleFile(s, 4, false,
        {chunk("tpNG", toBytes(std::string("GLD3\0\x01\0\0", 8))), chunk("PLTE", paletteChunk(256))});
    const Bytes unflagged = simpleFile(s, 4, false,
        {chunk("tpNG", toBytes(std::string("GLD3\0\0\0\0", 8))), chunk("PLTE", paletteChunk(256))});
    TGLDPNG png = load(flagged);
    EXPECT_EQ(png.image().pixel(2, 3), paletteColor(s.at(2, 3, 0)));
    EXPECT_EQ(png.image().alphaAt(2, 3), s.at(2, 3, 1));
    png = load(unflagged);
    EXPECT_EQ(png.image().pixel(2, 3), expectedColor(s, 4, 2, 3));
    png.readPaletteAlpha = false;
    png.loadFromMemory(flagged.data(), flagged.size());
    EXPECT_EQ(png.image().pixel(2, 3), expectedColor(s, 4, 2, 3));
}

}  // namespace
