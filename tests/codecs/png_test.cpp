// The reader on files the tests build chunk by chunk, the writer's chunks and rows, and what the
// reader gets back from the writer's files.
#include <gtest/gtest.h>

#include <sstream>

#include "base/SafeWrite.h"
#include "fileops/ExtendedCopy.h"
#include "png_test_files.h"
#include "tests/support/CodecCases.h"
#include "tests/support/TempTree.h"

using namespace korvel;
using namespace korvel::testing;
using namespace pngtest;
using Bytes = std::vector<uint8_t>;

namespace {

TGLDPNG load(const Bytes& file, bool read16Bit = false) {
    return loaded<TGLDPNG>(file, [&](TGLDPNG& p) { p.read16Bit = read16Bit; });
}

Bytes paletteChunk(int entries) {
    Bytes b;
    for (int i = 0; i < entries; ++i)
        b.insert(b.end(), {uint8_t(i * 37 + 5), uint8_t(255 - i * 11), uint8_t(i * 101)});
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
                // Grey rasters carry the whole ramp of their depth (16 bits: of 8) as the palette; the
                // pixels below show its levels.
                if (f.colorType == 0) {
                    ASSERT_EQ(img.palette().size(), size_t(1) << std::min(f.depth, 8));
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
        {"colour type 1", withHeader(ihdrData(7, 6, 8, 1)), header + "Error ColorType"},
        {"compression 2", withHeader(ihdrData(7, 6, 8, 2, 0, 2)), header + "not support Compression"},
        {"filter method 2", withHeader(ihdrData(7, 6, 8, 2, 0, 0, 2)), header + "not supprt Filter"},
        {"interlace 2", withHeader(ihdrData(7, 6, 8, 2, 2)), header + "not interlace type"},
        {"grey depth 3", withHeader(ihdrData(7, 6, 3, 0)), header + "Error Bitdepth"},
        {"grey alpha depth 4", withHeader(ihdrData(7, 6, 4, 4)), header + "not Use AlphaChannel"},
        {"grey alpha depth 12", withHeader(ihdrData(7, 6, 12, 4)), header + "Error Bitdepth"},
        {"rgb depth 4", withHeader(ihdrData(7, 6, 4, 2)), header + "Error BitDepth"},
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
        {"good", good, "(loaded)"},
        // Only the low three bits of the colour type count: 10 reads as RGB, 2 and 1 are accepted methods.
        {"colour type 10", withHeader(ihdrData(7, 6, 8, 10)), "(loaded)"},
        {"compression 1", withHeader(ihdrData(7, 6, 8, 2, 0, 1)), "(loaded)"},
        {"filter method 1", withHeader(ihdrData(7, 6, 8, 2, 0, 0, 1)), "(loaded)"},
        {"every CRC wrong",
         fileOf({chunk("IHDR", ihdrData(7, 6, 8, 2), true), chunk("IDAT", z, true), chunk("IEND", {}, true)}),
         "(loaded)"},
        {"no IEND", Bytes(good.begin(), good.end() - 12), "(loaded)"},
        {"IDAT in one-byte chunks", fileOf(oneByte), "(loaded)"},
        {"unknown chunks", fileOf({ihdr, chunk("zzZZ", {1, 2, 3}), chunk("ABCD", {}), chunk("IDAT", z)}),
         "(loaded)"},
        {"IHDR after IEND is never read", fileOf({ihdr, chunk("IDAT", z), chunk("IEND", {}), ihdr}),
         "(loaded)"},
        {"later IDAT after another chunk skipped",
         fileOf({ihdr, chunk("IDAT", z), chunk("tEXt", toBytes("a\0b")), chunk("IDAT", {1, 2})}), "(loaded)"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        TGLDPNG png;
        const std::string got = loadOutcome(png, r.file);
        EXPECT_EQ(got, r.message);
        if (got != "(loaded)") continue;
        for (uint32_t y = 0; y < 6; ++y)
            for (uint32_t x = 0; x < 7; ++x)
                ASSERT_EQ(png.image().pixel(int(x), int(y)), expectedColor(s, 2, x, y));
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

// Each form of tRNS and of bKGD; a row without bKGD has the background -1.
TEST(PngRead, TransparencyAndBackgroundForms) {
    const Samples pal = randomSamples(6, 4, 2, 1, 11);
    const Bytes plte = chunk("PLTE", paletteChunk(4));
    auto file = [](int depth, int channels, uint8_t type, const Bytes& trns, const Bytes& bkgd) {
        return simpleFile(randomSamples(6, 4, depth, channels, 7), type, depth == 16,
                          {chunk("tRNS", trns), chunk("bKGD", bkgd)});
    };
    struct Row {
        const char* what;
        Bytes file;
        Transparency kind;
        uint32_t value;  // colour or index
        bool mask;
        int64_t background = -1;
        bool backgroundIsIndex = false;
    } rows[] = {
        {"grey 8", file(8, 1, 0, {0x00, 0x40}, {0, 0x80}), Transparency::Color, 0x404040, false, 0x808080},
        {"grey 2 as its ramp level", file(2, 1, 0, {0, 2}, {0, 1}), Transparency::Color, 0xAAAAAA, false,
         0x555555},
        {"grey 16 high byte", file(16, 1, 0, {0x40, 0xFF}, {0x80, 0x01}), Transparency::Color, 0x404040,
         false, 0x808080},
        {"rgb 8 low bytes", file(8, 3, 2, {0xAA, 0x12, 0xBB, 0x34, 0xCC, 0x56}, {9, 0x11, 9, 0x22, 9, 0x33}),
         Transparency::Color, 0x123456, false, 0x112233},
        {"rgb 16", file(16, 3, 2, {0x12, 0xAA, 0x34, 0xBB, 0x56, 0xCC}, {0x11, 9, 0x22, 9, 0x33, 9}),
         Transparency::Color, 0x123456, false, 0x112233},
        {"palette single zero",
         simpleFile(pal, 3, false, {plte, chunk("tRNS", {255, 255, 0}), chunk("bKGD", {3})}),
         Transparency::Index, 2, false, 3, true},
        {"palette tRNS longer than palette",
         simpleFile(pal, 3, false, {plte, chunk("tRNS", {255, 255, 255, 0, 0, 0, 0})}), Transparency::Index,
         3, false},
        {"palette two zeros", simpleFile(pal, 3, false, {plte, chunk("tRNS", {0, 0})}), Transparency::None,
         0, true},
        {"after IDAT ignored", [&] {
             Bytes f = simpleFile(pal, 3, false, {plte}), t = chunk("tRNS", {0});
             f.insert(f.end() - 12, t.begin(), t.end());
             return f;
         }(), Transparency::None, 0, false},
        {"with alpha channel ignored", simpleFile(randomSamples(6, 4, 8, 4, 1), 6, false,
         {chunk("tRNS", {0, 1, 0, 2, 0, 3})}), Transparency::None, 0, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const TGLDPNG png = load(r.file);
        const TBitmap& img = png.image();
        EXPECT_EQ(img.transparency(), r.kind);
        EXPECT_EQ(r.kind == Transparency::Color ? img.transparentColor() : r.value, r.value);
        EXPECT_EQ(r.kind == Transparency::Index ? uint32_t(img.transparentIndex()) : r.value, r.value);
        EXPECT_EQ(img.mask() != nullptr, r.mask);
        EXPECT_EQ(png.backgroundColor, r.background);
        EXPECT_EQ(png.backgroundIsIndex, r.backgroundIsIndex);
    }
    // The mask of a palette alpha table is 255 - alpha of each pixel's entry, interlaced or not.
    for (bool interlace : {false, true}) {
        const TGLDPNG png = load(simpleFile(pal, 3, interlace, {plte, chunk("tRNS", {10, 255, 128})}));
        const uint8_t alpha[4] = {10, 255, 128, 255};
        for (uint32_t y = 0; y < 4; ++y)
            for (uint32_t x = 0; x < 6; ++x)
                EXPECT_EQ(png.image().alphaAt(int(x), int(y)), alpha[pal.at(x, y, 0)]);
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
        {chunk("gAMA", {0, 1, 0x86, 0xA0}), chunk("cHRM", chrm), chunk("sBIT", {5, 6, 5}),
         chunk("pHYs", phys), chunk("tIME", {0x07, 0xE8, 2, 29, 23, 59, 60}),
         chunk("tEXt", toBytes(std::string("Comment\0first", 13))),
         chunk("tEXt", toBytes(std::string("Title\0ignored", 13))),
         chunk("tEXt", toBytes(std::string("Comment\0second", 14))), chunk("gIFg", {1, 2, 3, 4}),
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

    // Wrong lengths are skipped. The 16-bit option narrows the raster only for sBIT 5,5,5 or 5,6,5
    // (the round trips show both), not for 8,8,8.
    const Bytes odd = simpleFile(s, 2, false, {chunk("tIME", {0x07, 0xE8, 2, 29, 23, 59, 60, 0}),
                                                chunk("gIFg", {1, 2, 3}), chunk("sBIT", {8, 8, 8})});
    png = load(odd, true);
    EXPECT_EQ(png.modificationTime.year, 0);
    EXPECT_FALSE(png.gifgBlock);
    EXPECT_EQ(png.image().pixelFormat(), PixelFormat::pf24bit);
}

TEST(PngRead, PaletteAlphaFlagTakesThePlteForGreyAlpha) {
    const Samples s = randomSamples(6, 5, 8, 2, 14);
    auto file = [&](char flag) {
        const char tpng[8] = {'G', 'L', 'D', '3', 0, flag, 0, 0};
        return simpleFile(s, 4, false, {chunk("tpNG", toBytes({tpng, 8})), chunk("PLTE", paletteChunk(256))});
    };
    TGLDPNG png = load(file(1));
    EXPECT_EQ(png.image().pixel(2, 3), paletteColor(s.at(2, 3, 0)));
    EXPECT_EQ(png.image().alphaAt(2, 3), s.at(2, 3, 1));
    EXPECT_EQ(load(file(0)).image().pixel(2, 3), expectedColor(s, 4, 2, 3));
    png = loaded<TGLDPNG>(file(1), [](TGLDPNG& p) { p.readPaletteAlpha = false; });
    EXPECT_EQ(png.image().pixel(2, 3), expectedColor(s, 4, 2, 3));
}

std::vector<std::string> chunkTypes(const Bytes& file) {
    std::vector<std::string> types;
    for (const ChunkView& c : listChunks(file))
        if (types.empty() || types.back() != c.type || c.type != "IDAT") types.push_back(c.type);
    return types;
}

const ChunkView* find(const std::vector<ChunkView>& chunks, const std::string& type) {
    for (const ChunkView& c : chunks)
        if (c.type == type) return &c;
    return nullptr;
}

// The filter type byte of every row, passes in order.
std::vector<int> rowFilters(const Bytes& file) {
    const auto chunks = listChunks(file);
    const Bytes& ihdr = find(chunks, "IHDR")->data;
    const uint32_t w = get32(&ihdr[0]), h = get32(&ihdr[4]);
    const int depth = ihdr[8], ct = ihdr[9];
    const int bits = depth * (ct == 2 ? 3 : ct == 4 ? 2 : ct == 6 ? 4 : 1);
    const Bytes raw = zlibInflate(idatStream(file));
    std::vector<int> types;
    size_t pos = 0;
    forEachRow(w, h, ihdr[12], [&](uint32_t x0, uint32_t dx, uint32_t, bool) {
        types.push_back(raw.at(pos));
        pos += ((w - x0 + dx - 1) / dx * bits + 7) / 8 + 1;
    });
    EXPECT_EQ(pos, raw.size());
    return types;
}

// The default chunks, and every optional one in its place.
TEST(PngWrite, ChunkOrderAndContents) {
    const Bytes plain = pngBytes(rampImage(40, 30));
    using Types = std::vector<std::string>;
    EXPECT_EQ(chunkTypes(plain), (Types{"IHDR", "tIME", "tEXt", "tpNG", "gAMA", "IDAT", "IEND"}));
    EXPECT_EQ(find(listChunks(plain), "IHDR")->data, ihdrData(40, 30, 8, 2));
    // Default filter mode: None on every row.
    for (int t : rowFilters(plain)) EXPECT_EQ(t, 0);

    TBitmap image = randomBitmap(PixelFormat::pf8bit, 40, 30, 3);  // noise: several IDATs
    image.setTransparentIndex(3);
    const Bytes full = pngBytes(image, [](TGLDPNG& p) {
        p.comment = "hello";
        p.backgroundColor = 7;
        p.backgroundIsIndex = true;
        p.physicalSize = PngPhysicalSize{2, 72, 144};  // per inch, written per metre
        p.chromaticities = std::array<uint32_t, 8>{1, 2, 3, 4, 5, 6, 7, 8};
        p.gifgBlock = std::array<uint8_t, 4>{1, 2, 3, 4};
        p.significantBits = {5, 5, 5};
        p.setIdatSize(256);
    });
    EXPECT_EQ(chunkTypes(full), (Types{"IHDR", "tIME", "tEXt", "tEXt", "tpNG", "gIFg", "gAMA", "cHRM", "sBIT",
                                       "PLTE", "bKGD", "tRNS", "pHYs", "IDAT", "IEND"}));
    const auto chunks = listChunks(full);
    EXPECT_EQ(chunks[2].data, toBytes(std::string("Comment\0hello", 13)));
    EXPECT_EQ(find(chunks, "tRNS")->data, (Bytes{255, 255, 255, 0}));
    EXPECT_EQ(find(chunks, "bKGD")->data, (Bytes{7}));
    EXPECT_EQ(find(chunks, "PLTE")->data.size(), 3 * image.palette().size());
    std::vector<size_t> idats;  // every IDAT but the last carries exactly the IDAT size
    for (const ChunkView& c : chunks)
        if (c.type == "IDAT") idats.push_back(c.data.size());
    ASSERT_GT(idats.size(), 3u);
    EXPECT_EQ(std::count(idats.begin(), idats.end() - 1, 256u), std::ptrdiff_t(idats.size() - 1));
    EXPECT_LE(idats.back(), 256u);
    const TGLDPNG back = load(full);
    ASSERT_TRUE(back.physicalSize);
    EXPECT_EQ(back.physicalSize->unit, 1);
    EXPECT_EQ(back.physicalSize->pixelsPerUnitX, 2835u);
    EXPECT_EQ(back.physicalSize->pixelsPerUnitY, 5669u);
    EXPECT_EQ(back.chromaticities, (std::array<uint32_t, 8>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(back.gifgBlock, (std::array<uint8_t, 4>{1, 2, 3, 4}));
}

// Transparent colour 0x123456 is grey (0x12 * 77 + 0x34 * 150 + 0x56 * 29) / 256 = 0x2D, background
// 0x804020 grey 0x4F; in 1-bit grey, levels above 127 become 1.
TEST(PngWrite, TransparencyAndBackgroundForms) {
    struct Row {
        const char* what;
        PixelFormat pf;
        bool greyscale, mask;
        Color transparent;
        Bytes trns, bkgd;
    } rows[] = {
        {"rgb", PixelFormat::pf24bit, false, false, 0x123456, {0, 0x12, 0, 0x34, 0, 0x56},
         {0, 0x80, 0, 0x40, 0, 0x20}},
        {"grey 8", PixelFormat::pf24bit, true, false, 0x123456, {0, 0x2D}, {0, 0x4F}},
        {"rgba: no tRNS", PixelFormat::pf24bit, false, true, 0x123456, {}, {0, 0x80, 0, 0x40, 0, 0x20}},
        {"grey 1", PixelFormat::pf1bit, true, false, 0xFFFFFF, {0, 1}, {0, 0}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        TBitmap image = flatImage(6, 6, 0xFFFFFF, r.pf);
        if (r.mask) image.setMask(std::make_unique<TBitmap>(6, 6, PixelFormat::pf8bit));
        image.setTransparentColor(r.transparent);
        const auto chunks = listChunks(pngBytes(image, [&](TGLDPNG& p) {
            p.greyscale = r.greyscale;
            p.backgroundColor = 0x804020;
        }));
        const ChunkView* t = find(chunks, "tRNS");
        EXPECT_EQ(t ? t->data : Bytes{}, r.trns);
        EXPECT_EQ(find(chunks, "bKGD")->data, r.bkgd);
    }
}

// Adaptive filtering: a smooth gradient is better predicted than stored; every type is valid. The
// fixed modes are checked with the round trips.
TEST(PngWrite, AdaptiveFilterMode) {
    const TBitmap image = rampImage(64, 23);
    for (bool interlace : {false, true}) {
        const std::vector<int> types = rowFilters(pngBytes(image, [&](TGLDPNG& p) {
            p.filterMode = 0;
            p.interlace = interlace;
        }));
        int filtered = 0;
        for (int t : types) {
            EXPECT_LE(t, 4);
            filtered += t != 0;
        }
        EXPECT_GT(filtered, int(types.size()) / 2);
    }
}

TEST(PngWrite, IdatSize) {
    TGLDPNG png;
    for (auto [size, ok] : {std::pair{255, false}, {256, true}, {100000, true}, {100001, false}}) {
        try {
            png.setIdatSize(size);
            EXPECT_TRUE(ok) << size;
        } catch (const EGLDPNG& e) {
            EXPECT_FALSE(ok) << size;
            EXPECT_STREQ(e.what(), "Write PNG Param: Err IDAT Size(min:256  max:100000)");
        }
    }
}

// The zlib header's level field: 0 fastest, 1 fast, 2 default, 3 maximum (RFC 1950).
TEST(PngWrite, CompressionLevels) {
    const TBitmap image = randomBitmap(PixelFormat::pf24bit, 50, 40, 12345);
    for (auto [level, flevel] : {std::pair{-1, 2}, {0, 0}, {1, 0}, {6, 2}, {9, 3}, {12, 2}, {-7, 2}}) {
        const Bytes file = pngBytes(image, [&](TGLDPNG& p) { p.compressionLevel = level; });
        EXPECT_EQ(idatStream(file).at(1) >> 6, flevel) << "level " << level;
    }
}

TEST(PngWrite, ModificationTime) {
    const TBitmap image = rampImage(4, 4);
    const PngTime times[] = {{2020, 12, 31, 23, 59, 60}, {2020, 13, 1, 0, 0, 0}, {2020, 1, 0, 0, 0, 0},
                             {2020, 1, 1, 24, 0, 0},     {2020, 1, 1, 0, 60, 0}, {2020, 1, 1, 0, 0, 61}};
    for (const PngTime& time : times) {
        const auto chunks = listChunks(pngBytes(image, [&](TGLDPNG& p) {
            p.automaticTime = false;
            p.modificationTime = time;
        }));
        const ChunkView* t = find(chunks, "tIME");
        // Only the first is a valid time.
        const Bytes want = &time == times ? Bytes{0x07, 0xE4, 12, 31, 23, 59, 60} : Bytes{};
        EXPECT_EQ(t ? t->data : Bytes{}, want) << time.month << "/" << time.day << " " << time.hour;
    }
    // The automatic time is now, in UTC.
    const Bytes t = find(listChunks(pngBytes(image)), "tIME")->data;
    EXPECT_EQ((t[0] << 8) | t[1], PngTime::nowUtc().year);
    // Gamma below 1 / 100000 writes no gAMA.
    EXPECT_EQ(find(listChunks(pngBytes(image, [](TGLDPNG& p) { p.gamma = 0; })), "gAMA"), nullptr);
}

TEST(PngWrite, FailuresAndTheirMessages) {
    TGLDPNG png;
    png.assign(rampImage(4, 4));
    std::ostringstream out;
    out.setstate(std::ios::badbit);  // a full disk, as the stream reports it
    try {
        png.saveToStream(out);
        ADD_FAILURE() << "no error";
    } catch (const EGLDPNG& e) {
        EXPECT_STREQ(e.what(), "Write Image (PNG): Write Error");
    }
    std::ostringstream fine;
    EXPECT_THROW(TGLDPNG().saveToStream(fine), EGLDPNG);
}

// The extended copy's PNG: level per choice, filter None, interlace from its box.
TEST(PngWrite, ExtendedCopySettings) {
    korvel::testing::TempTree t;
    const TBitmap image = randomBitmap(PixelFormat::pf24bit, 30, 20, 12345);
    struct Row {
        PngLevel level;
        bool interlace;
        int flevel;
    } rows[] = {{PngLevel::Normal, false, 2}, {PngLevel::Speed, true, 0}, {PngLevel::Size, false, 3}};
    for (const Row& r : rows) {
        ExtendedCopyOptions options;
        options.format = OutputFormat::Png;
        options.pngLevel = r.level;
        options.pngInterlace = r.interlace;
        const std::string path = t.root() + "out.png";
        ASSERT_TRUE(claimNewFile(path));
        SaveAsPng(image, path, options);
        const Bytes file = toBytes(readFile(path));
        EXPECT_EQ(idatStream(file).at(1) >> 6, r.flevel);
        EXPECT_EQ(file.at(28), r.interlace ? 1 : 0);
        for (int f : rowFilters(file)) EXPECT_EQ(f, 0);
        EXPECT_EQ(pixelDifference(load(file).image(), image), "");
        std::remove(path.c_str());
    }
    // A save that fails leaves no file under the target name.
    const std::string path = t.root() + "empty.png";
    ASSERT_TRUE(claimNewFile(path));
    EXPECT_THROW(SaveAsPng(TBitmap(), path, ExtendedCopyOptions()), EGLDPNG);
    EXPECT_EQ(t.count(), 0);
}

// The greyscale option: the source's depth up to 8 bits (8 with a mask), with the stated weights.
int greyLevel(Color c, int depth) {
    const int g = (redOf(c) * 77 + greenOf(c) * 150 + blueOf(c) * 29) / 256;
    return depth == 1 ? (g > 127 ? 255 : 0) : depth == 4 ? g / 16 * 17 : g;
}

// file holds image, written in grey of greyDepth bits unless that is 0, and reads back as it.
void expectRoundTrip(const TBitmap& image, const Bytes& file, int greyDepth) {
    const auto chunks = listChunks(file);
    if (const ChunkView* plte = find(chunks, "PLTE")) {
        ASSERT_LE(plte->data.size(), 3u << file[24]);  // no more entries than the depth can index
    }
    const TBitmap b = load(file).image();
    ASSERT_EQ(b.mask() != nullptr, image.mask() != nullptr);
    const bool palette = isPaletteFormat(image.pixelFormat());
    if (greyDepth) {
        EXPECT_EQ(file[24], greyDepth);
        EXPECT_EQ(file[25], image.mask() ? 4 : 0);
        ASSERT_EQ(b.pixelFormat(), greyDepth == 1   ? PixelFormat::pf1bit
                                   : greyDepth == 4 ? PixelFormat::pf4bit
                                                    : PixelFormat::pf8bit);
    } else {
        ASSERT_EQ(pixelDifference(b, image), "");
        // Palette images keep their indices (with a mask: through the palette-alpha form).
        ASSERT_EQ(b.pixelFormat(),
            !palette ? PixelFormat::pf24bit : image.mask() ? PixelFormat::pf8bit : image.pixelFormat());
    }
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            const int g = greyLevel(image.pixel(x, y), greyDepth);
            ASSERT_EQ(b.alphaAt(x, y), image.alphaAt(x, y));
            if (greyDepth) {
                ASSERT_EQ(b.pixel(x, y), makeColor(g, g, g));
            } else if (palette) {
                ASSERT_EQ(b.rawPixel(x, y), image.rawPixel(x, y));
            }
        }
    // 15 and 16 bits come back exact with the option.
    const PixelFormat pf = image.pixelFormat();
    if (greyDepth || (pf != PixelFormat::pf15bit && pf != PixelFormat::pf16bit)) return;
    const TBitmap exact = load(file, true).image();
    ASSERT_EQ(exact.pixelFormat(), image.pixelFormat());
    ASSERT_EQ(byteDifference(exact, image), "");
}

TEST(PngRoundTrip, EveryFormatOptionFilterModeLevelAndInterlace) {
    for (PixelFormat pf : kPixelFormats)
        for (bool mask : {false, true})
            for (auto [w, h] : {std::pair{29, 17}, std::pair{1, 1}, std::pair{9, 2}}) {
                const TBitmap image = randomBitmap(pf, w, h, uint32_t(w * 7 + h), mask);
                const int greyDepth = mask || bitsPerPixel(pf) > 8 ? 8 : bitsPerPixel(pf);
                for (bool grey : {false, true})
                    for (bool interlace : {false, true})
                        for (int filter = 0; filter <= 5; ++filter)
                            for (int level : {-1, 0, 1, 9}) {
                                SCOPED_TRACE(::testing::Message()
                                             << bitsPerPixel(pf) << " bits, mask " << mask << ", grey "
                                             << grey << ", " << w << "x" << h << " interlace " << interlace
                                             << " filter " << filter << " level " << level);
                                const Bytes file = pngBytes(image, [&](TGLDPNG& p) {
                                    p.greyscale = grey;
                                    p.interlace = interlace;
                                    p.filterMode = filter;
                                    p.compressionLevel = level;
                                });
                                const std::vector<int> types = rowFilters(file);  // checks CRCs and zlib too
                                for (int t : filter ? types : std::vector<int>()) {
                                    ASSERT_EQ(t, filter - 1);
                                }
                                expectRoundTrip(image, file, grey ? greyDepth : 0);
                            }
            }
}

}  // namespace
