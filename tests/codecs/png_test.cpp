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

// The first pixel whose colour, alpha or (palette and grey rasters) index is not what the samples
// say, "" when there is none. Palette indices from `entries` on read as black; palette rasters keep
// the indices, 2-bit ones widened to 4-bit values 0..3.
std::string wrongPixel(const TBitmap& img, const Samples& s, uint8_t type, int entries = 256,
                       const Bytes& paletteAlpha = {}) {
    if (img.width() != int(s.width) || img.height() != int(s.height)) return "size";
    for (uint32_t y = 0; y < s.height; ++y)
        for (uint32_t x = 0; x < s.width; ++x) {
            auto hi = [&](int c) { return uint8_t(s.depth == 16 ? s.at(x, y, c) >> 8 : s.at(x, y, c)); };
            const int v = s.at(x, y, 0), g = s.depth < 8 ? v * 255 / ((1 << s.depth) - 1) : hi(0);
            const Color colour = type == 3 ? (v < entries ? paletteColor(v) : 0)
                                 : type == 2 || type == 6 ? makeColor(hi(0), hi(1), hi(2))
                                                          : makeColor(g, g, g);
            const int alpha = type == 4 ? hi(1) : type == 6 ? hi(3)
                              : v < int(paletteAlpha.size()) ? paletteAlpha[v] : 255;
            const bool indexed = (type == 3 || type == 0) && s.depth <= 8;
            if (img.pixel(int(x), int(y)) != colour || img.alphaAt(int(x), int(y)) != alpha ||
                (indexed && int(img.rawPixel(int(x), int(y))) != v))
                return "pixel " + std::to_string(x) + ", " + std::to_string(y);
        }
    return "";
}

// Every colour type and depth, both interlace methods, sizes below, at and above a pass's step.
// Grey rasters carry the whole ramp of their depth (16 bits: of 8) as the palette; palette rasters
// the PLTE, even a short one (indices past it read as black) or none; a palette alpha table gives a
// mask of 255 - alpha of each pixel's entry.
TEST(PngRead, EveryPixelOfEveryFormat) {
    using PF = PixelFormat;
    const struct {
        uint8_t colorType;
        int depth;
        PixelFormat raster;
        int palette;  // the raster's palette size; -1: not checked
    } formats[] = {{0, 1, PF::pf1bit, 2},   {0, 2, PF::pf4bit, 4},    {0, 4, PF::pf4bit, 16},
                   {0, 8, PF::pf8bit, 256}, {0, 16, PF::pf8bit, 256}, {4, 8, PF::pf8bit, -1},
                   {4, 16, PF::pf8bit, -1}, {2, 8, PF::pf24bit, -1},  {2, 16, PF::pf24bit, -1},
                   {6, 8, PF::pf24bit, -1}, {6, 16, PF::pf24bit, -1}, {3, 1, PF::pf1bit, 2},
                   {3, 2, PF::pf4bit, 4},   {3, 4, PF::pf4bit, 16},   {3, 8, PF::pf8bit, 256},
                   {3, 8, PF::pf8bit, 3},   {3, 2, PF::pf4bit, 0}};
    for (const auto& f : formats)
        for (bool interlace : {false, true})
            for (auto [w, h] : {std::pair{1u, 1u}, {13u, 9u}, {33u, 17u}, {2u, 11u}}) {
                SCOPED_TRACE(::testing::Message() << "type " << int(f.colorType) << " depth " << f.depth
                                                  << " " << w << "x" << h << " interlace " << interlace);
                const Samples s = randomSamples(w, h, f.depth, channelsOf(f.colorType), w * 31 + h);
                std::vector<Bytes> extra;
                if (f.colorType == 3 && f.palette) extra.push_back(chunk("PLTE", paletteChunk(f.palette)));
                const Bytes alpha = f.colorType == 3 && f.palette >= 3 ? Bytes{10, 255, 128} : Bytes{};
                if (!alpha.empty()) extra.push_back(chunk("tRNS", alpha));
                const TGLDPNG png = load(simpleFile(s, f.colorType, interlace, extra));
                const TBitmap& img = png.image();
                EXPECT_EQ(img.pixelFormat(), f.raster);
                EXPECT_EQ(img.mask() != nullptr, f.colorType >= 4 || !alpha.empty());
                EXPECT_EQ(f.palette < 0 ? -1 : int(img.palette().size()), f.palette);
                EXPECT_EQ(wrongPixel(img, s, f.colorType, f.palette, alpha), "");
            }
}

// Damaged and refused files next to a good one: each row fails with its message, or loads with
// every pixel right.
TEST(PngRead, RefusalsAndDamage) {
    const Samples s = randomSamples(7, 6, 8, 3, 9);
    const Bytes good = simpleFile(s, 2, false);
    const Bytes z = zlibCompress(rawImageData(s, false));
    const Bytes ihdr = chunk("IHDR", ihdrData(7, 6, 8, 2)), idat = chunk("IDAT", z), iend = chunk("IEND", {});
    auto withHeader = [&](const Bytes& header) { return fileOf({chunk("IHDR", header), idat}); };
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
    const struct {
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
         fileOf({chunk("IHDR", ihdrData(5, 4, 0, 0)), chunk("tRNS", {1, 2}), chunk("bKGD", {1, 2}), idat}),
         header + "Error Bitdepth"},
        {"two IHDR", simpleFile(s, 2, false, {ihdr}), header + "appear two IHDR"},
        {"truncated in IDAT", Bytes(good.begin(), good.begin() + 33 + 8 + z.size() / 2), readError},
        {"IDAT ends early, IEND follows",
         fileOf({ihdr, chunk("IDAT", Bytes(z.begin(), z.begin() + z.size() / 2)), iend}), readError},
        {"filter type 5", fileOf({ihdr, chunk("IDAT", zlibCompress(badFilter))}), readError},
        {"not a zlib stream", fileOf({ihdr, chunk("IDAT", garbage)}), readError},
        {"stream too short", fileOf({ihdr, chunk("IDAT", zlibCompress(Bytes(20, 0)))}), readError},
        {"no IDAT", fileOf({ihdr, iend}), readError},
        {"IDAT before IHDR", fileOf({idat, ihdr}), readError},
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
        {"unknown chunks", fileOf({ihdr, chunk("zzZZ", {1, 2, 3}), chunk("ABCD", {}), idat}), "(loaded)"},
        {"IHDR after IEND is never read", fileOf({ihdr, idat, iend, ihdr}), "(loaded)"},
        {"later IDAT after another chunk skipped",
         fileOf({ihdr, idat, chunk("tEXt", toBytes("a\0b")), chunk("IDAT", {1, 2})}), "(loaded)"},
    };
    for (const auto& r : rows) {
        TGLDPNG png;
        const std::string got = loadOutcome(png, r.file);
        EXPECT_EQ(got, r.message) << r.what;
        EXPECT_EQ(got == "(loaded)" ? wrongPixel(png.image(), s, 2) : "", "") << r.what;
    }
}

// The transparency, mask and background a load gives, as one line.
std::string transparencyOf(const TGLDPNG& png) {
    const TBitmap& img = png.image();
    std::ostringstream o;
    o << std::hex;
    if (img.transparency() == Transparency::Color) o << "colour " << img.transparentColor() << ", ";
    if (img.transparency() == Transparency::Index) o << "index " << img.transparentIndex() << ", ";
    o << (img.mask() ? "mask, " : "") << (png.backgroundIsIndex ? "bKGD index " : "bKGD ");
    if (png.backgroundColor >= 0)
        o << png.backgroundColor;
    else
        o << "-";
    return o.str();
}

// Each form of tRNS and of bKGD.
TEST(PngRead, TransparencyAndBackgroundForms) {
    auto file = [](int depth, int channels, uint8_t type, const Bytes& trns, const Bytes& bkgd = {}) {
        std::vector<Bytes> chunks;
        if (type == 3) chunks.push_back(chunk("PLTE", paletteChunk(4)));
        if (!trns.empty()) chunks.push_back(chunk("tRNS", trns));
        if (!bkgd.empty()) chunks.push_back(chunk("bKGD", bkgd));
        return simpleFile(randomSamples(6, 4, depth, channels, 7), type, depth == 16, chunks);
    };
    Bytes afterIdat = file(2, 1, 3, {});
    const Bytes lateTrns = chunk("tRNS", {0});
    afterIdat.insert(afterIdat.end() - 12, lateTrns.begin(), lateTrns.end());
    const struct {
        const char* what;
        Bytes file;
        std::string want;
    } rows[] = {
        {"grey 8", file(8, 1, 0, {0x00, 0x40}, {0, 0x80}), "colour 404040, bKGD 808080"},
        {"grey 2 as its ramp level", file(2, 1, 0, {0, 2}, {0, 1}), "colour aaaaaa, bKGD 555555"},
        {"grey 16 high byte", file(16, 1, 0, {0x40, 0xFF}, {0x80, 0x01}), "colour 404040, bKGD 808080"},
        {"rgb 8 low bytes", file(8, 3, 2, {0xAA, 0x12, 0xBB, 0x34, 0xCC, 0x56}, {9, 0x11, 9, 0x22, 9, 0x33}),
         "colour 123456, bKGD 112233"},
        {"rgb 16", file(16, 3, 2, {0x12, 0xAA, 0x34, 0xBB, 0x56, 0xCC}, {0x11, 9, 0x22, 9, 0x33, 9}),
         "colour 123456, bKGD 112233"},
        {"palette single zero", file(2, 1, 3, {255, 255, 0}, {3}), "index 2, bKGD index 3"},
        {"palette tRNS longer than palette", file(2, 1, 3, {255, 255, 255, 0, 0, 0, 0}), "index 3, bKGD -"},
        {"palette two zeros", file(2, 1, 3, {0, 0}), "mask, bKGD -"},
        {"after IDAT ignored", afterIdat, "bKGD -"},
        {"with alpha channel ignored", file(8, 4, 6, {0, 1, 0, 2, 0, 3}), "mask, bKGD -"},
    };
    for (const auto& r : rows) EXPECT_EQ(transparencyOf(load(r.file)), r.want) << r.what;
}

template <class C>
std::string joined(const C& values) {
    std::string s;
    for (auto v : values) s += " " + std::to_string(v);
    return s;
}

// The ancillary fields a load sets and the raster's depth, as one line; "-" for an absent field.
std::string metadataOf(const TGLDPNG& p) {
    const PngTime& t = p.modificationTime;
    std::ostringstream o;
    o << "gAMA " << p.gamma << ", cHRM" << (p.chromaticities ? joined(*p.chromaticities) : " -") << ", sBIT"
      << joined(p.significantBits) << ", pHYs";
    if (const auto& size = p.physicalSize)
        o << joined(std::array<uint32_t, 3>{size->pixelsPerUnitX, size->pixelsPerUnitY, size->unit});
    o << ", tIME " << t.year << "-" << t.month << "-" << t.day << " " << t.hour << ":" << t.minute << ":"
      << t.second << ", gIFg" << (p.gifgBlock ? joined(*p.gifgBlock) : " -") << ", tpNG"
      << joined(p.privateFlags) << ", " << bitsPerPixel(p.image().pixelFormat()) << " bits";
    return o.str();
}

TEST(PngRead, AncillaryChunks) {
    const Samples s = randomSamples(4, 4, 8, 3, 12);
    Bytes chrm;
    for (uint32_t v = 1; v <= 8; ++v) put32(chrm, v * 1000);
    const TGLDPNG png = load(simpleFile(s, 2, false,
        {chunk("gAMA", {0, 1, 0x86, 0xA0}), chunk("cHRM", chrm), chunk("sBIT", {5, 6, 5}),
         chunk("pHYs", {0, 0, 0x0E, 0xC4, 0, 0, 0x0B, 0x13, 1}), chunk("tIME", {7, 0xE8, 2, 29, 23, 59, 60}),
         chunk("tEXt", toBytes({"Comment\0first", 13})), chunk("tEXt", toBytes({"Title\0ignored", 13})),
         chunk("tEXt", toBytes({"Comment\0second", 14})), chunk("gIFg", {1, 2, 3, 4}),
         chunk("tpNG", toBytes(std::string("GLD3\x07\x01\0\0", 8)))}));
    // sBIT 5,6,5 alone keeps the 24-bit raster unless the 16-bit option is on.
    EXPECT_EQ(metadataOf(png), "gAMA 1, cHRM 1000 2000 3000 4000 5000 6000 7000 8000, sBIT 5 6 5, "
                               "pHYs 3780 2835 1, tIME 2024-2-29 23:59:60, gIFg 1 2 3 4, tpNG 7 1, 24 bits");
    EXPECT_EQ(png.comment, "first\r\n\r\nsecond\r\n");

    // Wrong lengths are skipped. The 16-bit option narrows the raster only for sBIT 5,5,5 or 5,6,5
    // (the round trips show both), not for 8,8,8.
    const Bytes odd = simpleFile(s, 2, false, {chunk("tIME", {0x07, 0xE8, 2, 29, 23, 59, 60, 0}),
                                                chunk("gIFg", {1, 2, 3}), chunk("sBIT", {8, 8, 8})});
    EXPECT_EQ(metadataOf(load(odd, true)),
              "gAMA 0.45455, cHRM -, sBIT 8 8 8, pHYs, tIME 0-0-0 0:0:0, gIFg -, tpNG 0 0, 24 bits");
}

TEST(PngRead, PaletteAlphaFlagTakesThePlteForGreyAlpha) {
    const Samples s = randomSamples(6, 5, 8, 2, 14);
    auto file = [&](char flag) {
        const char tpng[8] = {'G', 'L', 'D', '3', 0, flag, 0, 0};
        return simpleFile(s, 4, false, {chunk("tpNG", toBytes({tpng, 8})), chunk("PLTE", paletteChunk(256))});
    };
    const TGLDPNG png = load(file(1));
    EXPECT_EQ(png.image().pixel(2, 3), paletteColor(s.at(2, 3, 0)));
    EXPECT_EQ(png.image().alphaAt(2, 3), s.at(2, 3, 1));
    EXPECT_EQ(wrongPixel(load(file(0)).image(), s, 4), "");
    const auto noPaletteAlpha = [](TGLDPNG& p) { p.readPaletteAlpha = false; };
    EXPECT_EQ(wrongPixel(loaded<TGLDPNG>(file(1), noPaletteAlpha).image(), s, 4), "");
}

std::vector<std::string> chunkTypes(const Bytes& file) {
    std::vector<std::string> types;
    for (const ChunkView& c : listChunks(file))
        if (types.empty() || types.back() != c.type || c.type != "IDAT") types.push_back(c.type);
    return types;
}

// The data of the first chunk of the type; empty when there is none.
Bytes chunkData(const Bytes& file, const std::string& type) {
    for (const ChunkView& c : listChunks(file))
        if (c.type == type) return c.data;
    return {};
}

// The filter type byte of every row, passes in order.
std::vector<int> rowFilters(const Bytes& file) {
    const Bytes ihdr = chunkData(file, "IHDR");
    const uint32_t w = get32(&ihdr[0]), h = get32(&ihdr[4]);
    const int bits = ihdr[8] * channelsOf(ihdr[9]);
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

void expectEveryFilter(const Bytes& file, int filter) {
    const std::vector<int> types = rowFilters(file);  // checks CRCs and zlib too
    EXPECT_EQ(types, std::vector<int>(types.size(), filter));
}

// The default chunks, and every optional one in its place.
TEST(PngWrite, ChunkOrderAndContents) {
    const Bytes plain = pngBytes(rampImage(40, 30));
    using Types = std::vector<std::string>;
    EXPECT_EQ(chunkTypes(plain), (Types{"IHDR", "tIME", "tEXt", "tpNG", "gAMA", "IDAT", "IEND"}));
    EXPECT_EQ(chunkData(plain, "IHDR"), ihdrData(40, 30, 8, 2));
    expectEveryFilter(plain, 0);  // the default filter mode: None

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
        p.automaticTime = false;
        p.modificationTime = {2020, 1, 2, 3, 4, 5};
    });
    EXPECT_EQ(chunkTypes(full), (Types{"IHDR", "tIME", "tEXt", "tEXt", "tpNG", "gIFg", "gAMA", "cHRM", "sBIT",
                                       "PLTE", "bKGD", "tRNS", "pHYs", "IDAT", "IEND"}));
    const auto chunks = listChunks(full);
    EXPECT_EQ(chunks[2].data, toBytes(std::string("Comment\0hello", 13)));
    EXPECT_EQ(chunkData(full, "tRNS"), (Bytes{255, 255, 255, 0}));
    EXPECT_EQ(chunkData(full, "bKGD"), (Bytes{7}));
    EXPECT_EQ(chunkData(full, "PLTE").size(), 3 * image.palette().size());
    std::vector<size_t> idats;  // every IDAT but the last carries exactly the IDAT size
    for (const ChunkView& c : chunks)
        if (c.type == "IDAT") idats.push_back(c.data.size());
    ASSERT_GT(idats.size(), 3u);
    EXPECT_EQ(std::count(idats.begin(), idats.end() - 1, 256u), std::ptrdiff_t(idats.size() - 1));
    EXPECT_LE(idats.back(), 256u);
    EXPECT_EQ(metadataOf(load(full)), "gAMA 0.45455, cHRM 1 2 3 4 5 6 7 8, sBIT 5 5 5, pHYs 2835 5669 1, "
                                      "tIME 2020-1-2 3:4:5, gIFg 1 2 3 4, tpNG 0 0, 8 bits");
}

// Transparent colour 0x123456 is grey (0x12 * 77 + 0x34 * 150 + 0x56 * 29) / 256 = 0x2D, background
// 0x804020 grey 0x4F; in 1-bit grey, levels above 127 become 1.
TEST(PngWrite, TransparencyAndBackgroundForms) {
    const struct {
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
    for (const auto& r : rows) {
        TBitmap image = flatImage(6, 6, 0xFFFFFF, r.pf);
        if (r.mask) image.setMask(std::make_unique<TBitmap>(6, 6, PixelFormat::pf8bit));
        image.setTransparentColor(r.transparent);
        const Bytes file = pngBytes(image, [&](TGLDPNG& p) {
            p.greyscale = r.greyscale;
            p.backgroundColor = 0x804020;
        });
        EXPECT_EQ(chunkData(file, "tRNS"), r.trns) << r.what;
        EXPECT_EQ(chunkData(file, "bKGD"), r.bkgd) << r.what;
    }
}

// Adaptive filtering: a smooth gradient is better predicted than stored; every type is valid. The
// fixed modes are checked with the round trips.
TEST(PngWrite, AdaptiveFilterMode) {
    for (bool interlace : {false, true}) {
        const std::vector<int> types = rowFilters(pngBytes(rampImage(64, 23), [&](TGLDPNG& p) {
            p.filterMode = 0;
            p.interlace = interlace;
        }));
        EXPECT_LE(*std::max_element(types.begin(), types.end()), 4);
        EXPECT_LT(std::count(types.begin(), types.end(), 0), std::ptrdiff_t(types.size() / 2));
    }
}

// Only the first time is valid; gamma below 1 / 100000 writes no gAMA.
TEST(PngWrite, ModificationTimeAndGamma) {
    const TBitmap image = rampImage(4, 4);
    const PngTime times[] = {{2020, 12, 31, 23, 59, 60}, {2020, 13, 1, 0, 0, 0}, {2020, 1, 0, 0, 0, 0},
                             {2020, 1, 1, 24, 0, 0},     {2020, 1, 1, 0, 60, 0}, {2020, 1, 1, 0, 0, 61}};
    for (const PngTime& time : times) {
        const Bytes file = pngBytes(image, [&](TGLDPNG& p) {
            p.automaticTime = false;
            p.modificationTime = time;
        });
        EXPECT_EQ(chunkData(file, "tIME"), (&time == times ? Bytes{0x07, 0xE4, 12, 31, 23, 59, 60} : Bytes{}))
            << time.month << "/" << time.day << " " << time.hour;
    }
    // The automatic time is now, in UTC.
    const Bytes t = chunkData(pngBytes(image), "tIME");
    EXPECT_EQ((t.at(0) << 8) | t.at(1), PngTime::nowUtc().year);
    EXPECT_EQ(chunkData(pngBytes(image, [](TGLDPNG& p) { p.gamma = 0; }), "gAMA"), Bytes{});
}

// What f throws, "" when it does not.
std::string thrown(const std::function<void()>& f) {
    try {
        f();
    } catch (const EGLDPNG& e) {
        return e.what();
    }
    return "";
}

TEST(PngWrite, FailuresAndTheirMessages) {
    TGLDPNG png;
    for (int size : {255, 256, 100000, 100001}) {
        const bool ok = size >= 256 && size <= 100000;
        EXPECT_EQ(thrown([&] { png.setIdatSize(size); }),
                  ok ? "" : "Write PNG Param: Err IDAT Size(min:256  max:100000)") << size;
    }
    png.assign(rampImage(4, 4));
    std::ostringstream full;
    full.setstate(std::ios::badbit);  // a full disk, as the stream reports it
    EXPECT_EQ(thrown([&] { png.saveToStream(full); }), "Write Image (PNG): Write Error");
}

// The extended copy's PNG: level per choice, filter None, interlace from its box.
TEST(PngWrite, ExtendedCopySettings) {
    korvel::testing::TempTree t;
    const TBitmap image = randomBitmap(PixelFormat::pf24bit, 30, 20, 12345);
    for (auto [level, interlace, flevel] :
         {std::tuple{PngLevel::Normal, false, 2}, {PngLevel::Speed, true, 0}, {PngLevel::Size, false, 3}}) {
        ExtendedCopyOptions options;
        options.format = OutputFormat::Png;
        options.pngLevel = level;
        options.pngInterlace = interlace;
        const std::string name = std::to_string(flevel) + ".png";
        ASSERT_TRUE(claimNewFile(t / name));
        SaveAsPng(image, t / name, options);
        const Bytes file = toBytes(t.read(name));
        EXPECT_EQ(idatStream(file).at(1) >> 6, flevel);
        EXPECT_EQ(file.at(28), interlace ? 1 : 0);
        expectEveryFilter(file, 0);
        EXPECT_EQ(pixelDifference(load(file).image(), image), "");
    }
    // A save that fails (nothing to save) leaves no file under the target name.
    ASSERT_TRUE(claimNewFile(t / "empty.png"));
    EXPECT_THROW(SaveAsPng(TBitmap(), t / "empty.png", ExtendedCopyOptions()), EGLDPNG);
    EXPECT_EQ(t.count(), 3);
}

// file holds image, written in grey of greyDepth bits unless that is 0, and reads back as it. The
// greyscale option takes the source's depth up to 8 bits (8 with a mask), with the stated weights.
void expectRoundTrip(const TBitmap& image, const Bytes& file, int greyDepth) {
    ASSERT_LE(chunkData(file, "PLTE").size(), 3u << file[24]);  // no more entries than the depth indexes
    const TBitmap b = load(file).image();
    const PixelFormat pf = image.pixelFormat();
    const bool palette = isPaletteFormat(pf) && !greyDepth;
    // Palette images keep their indices (with a mask: through the palette-alpha form).
    const PixelFormat want = greyDepth == 1 ? PixelFormat::pf1bit : greyDepth == 4 ? PixelFormat::pf4bit
                             : greyDepth || (palette && image.mask()) ? PixelFormat::pf8bit
                             : palette ? pf : PixelFormat::pf24bit;
    ASSERT_EQ(std::tuple(b.width(), b.height(), b.pixelFormat(), b.mask() != nullptr),
              std::tuple(image.width(), image.height(), want, image.mask() != nullptr));
    if (greyDepth) {
        EXPECT_EQ(std::pair(int(file[24]), int(file[25])), std::pair(greyDepth, image.mask() ? 4 : 0));
    }
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            const Color c = image.pixel(x, y);
            const int g8 = (redOf(c) * 77 + greenOf(c) * 150 + blueOf(c) * 29) / 256;
            const int g = greyDepth == 1 ? (g8 > 127 ? 255 : 0) : greyDepth == 4 ? g8 / 16 * 17 : g8;
            ASSERT_EQ(b.alphaAt(x, y), image.alphaAt(x, y));
            ASSERT_EQ(b.pixel(x, y), greyDepth ? makeColor(g, g, g) : c);
            ASSERT_TRUE(!palette || b.rawPixel(x, y) == image.rawPixel(x, y));
        }
    // 15 and 16 bits come back exact with the option.
    if (greyDepth || (pf != PixelFormat::pf15bit && pf != PixelFormat::pf16bit)) return;
    ASSERT_EQ(byteDifference(load(file, true).image(), image), "");
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
                            for (auto [level, flevel] :
                                 {std::pair{-1, 2}, {0, 0}, {1, 0}, {6, 2}, {9, 3}, {12, 2}, {-7, 2}}) {
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
                                if (filter) expectEveryFilter(file, filter - 1);
                                // The zlib header's level field: 0 fastest, 1 fast, 2 default, 3 maximum.
                                EXPECT_EQ(idatStream(file).at(1) >> 6, flevel);
                                expectRoundTrip(image, file, grey ? greyDepth : 0);
                            }
            }
}

}  // namespace
