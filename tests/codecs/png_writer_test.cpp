// What the writer puts into a file (chunk order and contents, filter types per row, IDAT sizes,
// compression levels, write failures, the extended copy's PNG settings), and what the reader
// gets back from it: every source format, mask, filter mode, level and interlace method.
#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>

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
    static const int passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                     {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    std::vector<int> types;
    size_t pos = 0;
    for (int p = 0; p < (ihdr[12] ? 7 : 1); ++p) {
        const uint32_t x0 = ihdr[12] ? passes[p][0] : 0, y0 = ihdr[12] ? passes[p][1] : 0;
        const uint32_t dx = ihdr[12] ? passes[p][2] : 1, dy = ihdr[12] ? passes[p][3] : 1;
        if (x0 >= w || y0 >= h) continue;
        const size_t cols = (w - x0 + dx - 1) / dx, rowBytes = (cols * bits + 7) / 8;
        for (uint32_t y = y0; y < h; y += dy) {
            types.push_back(raw.at(pos));
            pos += rowBytes + 1;
        }
    }
    EXPECT_EQ(pos, raw.size());
    return types;
}

TEST(PngWrite, DefaultFileLayout) {
    const Bytes file = pngBytes(rampImage(40, 30));
    EXPECT_EQ(chunkTypes(file),
        (std::vector<std::string>{"IHDR", "tIME", "tEXt", "tpNG", "gAMA", "IDAT", "IEND"}));
    const auto chunks = listChunks(file);
    EXPECT_EQ(find(chunks, "tEXt")->data, toBytes(std::string("Software\0GLDPNG ver 3.4", 23)));
    EXPECT_EQ(find(chunks, "tpNG")->data, toBytes(std::string("GLD3\0\0\0\0", 8)));
    EXPECT_EQ(find(chunks, "gAMA")->data, (Bytes{0, 0, 0xB1, 0x8F}));  // 45455
    EXPECT_EQ(find(chunks, "IHDR")->data, ihdrData(40, 30, 8, 2));
    // Default filter mode: None on every row.
    for (int t : rowFilters(file)) EXPECT_EQ(t, 0);
}

TEST(PngWrite, FullChunkOrder) {
    TBitmap image = flatImage(20, 10, 0x336699, PixelFormat::pf8bit);
    image.setTransparentIndex(3);
    const Bytes file = pngBytes(image, [](TGLDPNG& p) {
        p.comment = "hello";
        p.backgroundColor = 7;
        p.backgroundIsIndex = true;
        p.physicalSize = PngPhysicalSize{1, 100, 200};
        p.chromaticities = std::array<uint32_t, 8>{};
        p.gifgBlock = std::array<uint8_t, 4>{1, 2, 3, 4};
        p.significantBits = {5, 5, 5};
        p.setIdatSize(256);
    });
    EXPECT_EQ(chunkTypes(file),
        (std::vector<std::string>{"IHDR", "tIME", "tEXt", "tEXt", "tpNG", "gIFg", "gAMA", "cHRM",
                                                          "sBIT", "PLTE", "bKGD", "tRNS", "pHYs", "IDAT",
                                                              "IEND"}));
    const auto chunks = listChunks(file);
    EXPECT_EQ(chunks[2].data, toBytes(std::string("Comment\0hello", 13)));
    EXPECT_EQ(find(chunks, "tRNS")->data, (Bytes{255, 255, 255, 0}));
    EXPECT_EQ(find(chunks, "bKGD")->data, (Bytes{7}));
    EXPECT_EQ(find(chunks, "PLTE")->data.size(), 3 * image.palette().size());
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

TEST(PngWrite, FilterModes) {
    const TBitmap image = rampImage(64, 23);
    for (bool interlace : {false, true}) {
        for (int mode = 1; mode <= 5; ++mode) {
            const std::vector<int> types = rowFilters(pngBytes(image, [&](TGLDPNG& p) {
                p.filterMode = mode;
                p.interlace = interlace;
            }));
            ASSERT_FALSE(types.empty());
            for (int t : types) EXPECT_EQ(t, mode - 1) << "mode " << mode;
        }
        // Adaptive: a smooth gradient is better predicted than stored; every type is valid.
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
    struct Row {
        int size;
        bool ok;
    } rows[] = {{255, false}, {256, true}, {100000, true}, {100001, false}, {-1, false}};
    for (const Row& r : rows) {
        try {
            png.setIdatSize(r.size);
            EXPECT_TRUE(r.ok) << r.size;
            EXPECT_EQ(png.idatSize(), r.size);
        } catch (const EGLDPNG& e) {
            EXPECT_FALSE(r.ok) << r.size;
            EXPECT_STREQ(e.what(), "Write PNG Param: Err IDAT Size(min:256  max:100000)");
        }
    }
    // Every IDAT but the last carries exactly the IDAT size.
    const Bytes file = pngBytes(randomBitmap(PixelFormat::pf24bit, 40, 30, 12345),
        [](TGLDPNG& p) { p.setIdatSize(256); });
    std::vector<size_t> sizes;
    for (const ChunkView& c : listChunks(file))
        if (c.type == "IDAT") sizes.push_back(c.data.size());
    ASSERT_GT(sizes.size(), 3u);
    for (size_t i = 0; i + 1 < sizes.size(); ++i) EXPECT_EQ(sizes[i], 256u);
    EXPECT_LE(sizes.back(), 256u);
}

// The zlib header's level field: 0 fastest, 1 fast, 2 default, 3 maximum (RFC 1950).
TEST(PngWrite, CompressionLevels) {
    struct Row {
        int level, flevel;
    } rows[] = {{-1, 2}, {0, 0}, {1, 0}, {6, 2}, {9, 3}, {12, 2}, {-7, 2}};
    const TBitmap image = randomBitmap(PixelFormat::pf24bit, 50, 40, 12345);
    for (const Row& r : rows) {
        const Bytes file = pngBytes(image, [&](TGLDPNG& p) { p.compressionLevel = r.level; });
        EXPECT_EQ(idatStream(file).at(1) >> 6, r.flevel) << "level " << r.level;
    }
}

TEST(PngWrite, ModificationTime) {
    const TBitmap image = rampImage(4, 4);
    struct Row {
        PngTime time;
        bool written;
    } rows[] = {{{2020, 12, 31, 23, 59, 60}, true}, {{2020, 13, 1, 0, 0, 0}, false},
        {{2020, 1, 0, 0, 0, 0}, false},
                {{2020, 1, 1, 24, 0, 0}, false},   {{2020, 1, 1, 0, 60, 0}, false},
                 {{2020, 1, 1, 0, 0, 61}, false}};
    for (const Row& r : rows) {
        const auto chunks = listChunks(pngBytes(image, [&](TGLDPNG& p) {
            p.automaticTime = false;
            p.modificationTime = r.time;
        }));
        const ChunkView* t = find(chunks, "tIME");
        EXPECT_EQ(t != nullptr, r.written) << r.time.month << "/" << r.time.day << " " << r.time.hour;
        if (t) EXPECT_EQ(t->data, (Bytes{0x07, 0xE4, 12, 31, 23, 59, 60}));
    }
    // The automatic time is now, in UTC.
    const auto chunks = listChunks(pngBytes(image));
    const PngTime now = PngTime::nowUtc();
    const Bytes& t = find(chunks, "tIME")->data;
    EXPECT_EQ((t[0] << 8) | t[1], now.year);
    // Gamma below 1 / 100000 writes no gAMA.
    EXPECT_EQ(find(listChunks(pngBytes(image, [](TGLDPNG& p) { p.gamma = 0; })), "gAMA"), nullptr);
}

// A stream that accepts `room` bytes, then fails.
class FailingBuffer : public std::streambuf {
public:
    explicit FailingBuffer(size_t room) : room_(room) {}

protected:
    std::streamsize xsputn(const char*, std::streamsize n) override {
        if (size_t(n) > room_) return 0;
        room_ -= size_t(n);
        return n;
    }
    int_type overflow(int_type c) override { return room_ ? (--room_, c) : traits_type::eof(); }

private:
    size_t room_;
};

TEST(PngWrite, FailuresAndTheirMessages) {
    const TBitmap image = randomBitmap(PixelFormat::pf24bit, 64, 64, 12345);
    for (size_t room : {size_t(0), size_t(20), size_t(100), size_t(5000)}) {
        FailingBuffer buf(room);
        std::ostream out(&buf);
        TGLDPNG png;
        png.assign(image);
        png.setIdatSize(1024);
        try {
            png.saveToStream(out);
            ADD_FAILURE() << "no error with room " << room;
        } catch (const EGLDPNG& e) {
            EXPECT_STREQ(e.what(), "Write Image (PNG): Write Error");
        }
    }
    TGLDPNG empty;
    std::ostringstream out;
    EXPECT_THROW(empty.saveToStream(out), EGLDPNG);
}

// The extended copy's PNG: level per choice, filter None, interlace from its box.
TEST(PngWrite, ExtendedCopySettings) {
    korvel::testing::TempTree t;
    const std::string dir = t.root();
    const TBitmap image = randomBitmap(PixelFormat::pf24bit, 30, 20, 12345);
    struct Row {
        PngLevel level;
        bool interlace;
        int flevel;
    } rows[] = {{PngLevel::Normal, false, 2}, {PngLevel::Speed, true, 0}, {PngLevel::Size, false, 3}};
    int n = 0;
    for (const Row& r : rows) {
        ExtendedCopyOptions options;
        options.format = OutputFormat::Png;
        options.pngLevel = r.level;
        options.pngInterlace = r.interlace;
        const std::string path = dir + "out" + std::to_string(n++) + ".png";
        ASSERT_TRUE(claimNewFile(path));
        SaveAsPng(image, path, options);
        const std::string text = korvel::testing::readFile(path);
        const Bytes file(text.begin(), text.end());
        EXPECT_EQ(idatStream(file).at(1) >> 6, r.flevel);
        EXPECT_EQ(file.at(28), r.interlace ? 1 : 0);
        for (int t : rowFilters(file)) EXPECT_EQ(t, 0);
        TGLDPNG back;
        back.loadFromMemory(file.data(), file.size());
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 30; ++x) ASSERT_EQ(back.image().pixel(x, y), image.pixel(x, y));
        std::remove(path.c_str());
    }
    // A save that fails leaves no file under the target name.
    const std::string path = dir + "empty.png";
    ASSERT_TRUE(claimNewFile(path));
    ExtendedCopyOptions options;
    EXPECT_THROW(SaveAsPng(TBitmap(), path, options), EGLDPNG);
    EXPECT_EQ(t.count(), 0);
}

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

// The greyscale option: the source's depth up to 8 bits (8 with a mask), with the stated weights.
int greyLevel(Color c, int depth) {
    const int g = (redOf(c) * 77 + greenOf(c) * 150 + blueOf(c) * 29) / 256;
    return depth == 1 ? (g > 127 ? 255 : 0) : depth == 4 ? g / 16 * 17 : g;
}

// file holds image, written in grey of greyDepth bits unless that is 0, and reads back as it.
void expectRoundTrip(const TBitmap& image, const Bytes& file, int greyDepth) {
    const TBitmap b = reload(file).image();
    ASSERT_EQ(b.mask() != nullptr, image.mask() != nullptr);
    const bool palette = isPaletteFormat(image.pixelFormat());
    if (greyDepth) {
        EXPECT_EQ(file[24], greyDepth);
        EXPECT_EQ(file[25], image.mask() ? 4 : 0);
        ASSERT_EQ(b.pixelFormat(), greyDepth == 1   ? PixelFormat::pf1bit
                                   : greyDepth == 4 ? PixelFormat::pf4bit
                                                    : PixelFormat::pf8bit);
    } else {
        ASSERT_EQ(differences(b, image), 0);
        // Palette images keep their indices (with a mask: through the palette-alpha form).
        ASSERT_EQ(b.pixelFormat(),
            !palette ? PixelFormat::pf24bit : image.mask() ? PixelFormat::pf8bit : image.pixelFormat());
    }
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            const int g = greyLevel(image.pixel(x, y), greyDepth);
            if (greyDepth) {
                ASSERT_EQ(b.pixel(x, y), makeColor(g, g, g));
                ASSERT_EQ(b.alphaAt(x, y), image.alphaAt(x, y));
            } else if (palette) {
                ASSERT_EQ(b.rawPixel(x, y), image.rawPixel(x, y));
            }
        }
    // 15 and 16 bits come back exact with the option.
    const PixelFormat pf = image.pixelFormat();
    if (greyDepth || (pf != PixelFormat::pf15bit && pf != PixelFormat::pf16bit)) return;
    const TBitmap exact = reload(file, true).image();
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
                                expectRoundTrip(image, pngBytes(image, [&](TGLDPNG& p) {
                                    p.greyscale = grey;
                                    p.interlace = interlace;
                                    p.filterMode = filter;
                                    p.compressionLevel = level;
                                }), grey ? greyDepth : 0);
                            }
            }
}

// The fields come back as set; pixels of the transparent colour or index, and only those, come
// back transparent.
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
        const TGLDPNG back = reload(pngBytes(image, [&](TGLDPNG& p) {
            p.greyscale = r.greyscale;
            p.backgroundColor = 0x204060;
        }));
        EXPECT_EQ(back.image().transparency(), r.kind);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const bool transparent = r.kind == Transparency::Index ? image.rawPixel(x, y) == 5
                                                                       : image.pixel(x, y) == image.pixel(3,
                                                                           4);
                EXPECT_TRUE(r.greyscale || back.image().alphaAt(x,
                    y) == (transparent ? 0 : 255)) << x << "," << y;
            }
        EXPECT_EQ(back.image().alphaAt(3, 4) == 0,
            r.kind == Transparency::Color || image.rawPixel(3, 4) == 5);
        EXPECT_TRUE(r.pf != PixelFormat::pf24bit || r.greyscale || back.backgroundColor == 0x204060);
        EXPECT_EQ(back.backgroundIsIndex, r.kind == Transparency::Index);
    }
    TGLDPNG png;
    png.assign(randomBitmap(PixelFormat::pf24bit, 4, 4, 3));
    png.comment = "made by a test";
    png.physicalSize = PngPhysicalSize{2, 72, 144};
    png.automaticTime = false;
    png.modificationTime = PngTime{2001, 2, 3, 4, 5, 6};
    png.gamma = 1.0;
    png.chromaticities = std::array<uint32_t, 8>{1, 2, 3, 4, 5, 6, 7, 8};
    png.gifgBlock = std::array<uint8_t, 4>{9, 8, 7, 6};
    const TGLDPNG back = reload(savedBytes(png));
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

}  // namespace
