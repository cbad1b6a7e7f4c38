// Hostile input for every decoder, run under the sanitizers: mutants load or fail cleanly, refusals
// say what is wrong before any large buffer, and a failed load keeps the previous picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>

#include "codecs/Gif.h"
#include "codecs/Icon.h"
#include "tests/codecs/BmpBuilders.h"
#include "tests/codecs/png_test_files.h"
#include "tests/support/CodecCases.h"
#include "tests/support/CodecSamples.h"
#include "tests/support/Mutation.h"

using namespace korvel;
using namespace korvel::bmptest;
using enum korvel::PixelFormat;
using namespace korvel::testing;
using namespace pngtest;

// The largest single allocation made while tracking is on.
static std::atomic<bool> gTracking{false};
static std::atomic<size_t> gLargest{0};

static void* allocate(size_t n) {
    if (gTracking.load(std::memory_order_relaxed)) {
        size_t seen = gLargest.load(std::memory_order_relaxed);
        while (n > seen && !gLargest.compare_exchange_weak(seen, n)) continue;
    }
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}

void* operator new(size_t n) { return allocate(n); }
void* operator new[](size_t n) { return allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
// The nothrow forms too (the icon decoder's stable sort uses them), or their memory would pair
// with the wrong release under the sanitizers.
void* operator new(size_t n, const std::nothrow_t&) noexcept { return std::malloc(n ? n : 1); }
void* operator new[](size_t n, const std::nothrow_t&) noexcept { return std::malloc(n ? n : 1); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

struct Codec {
    const char* name;
    std::unique_ptr<TGraphic> (*make)();
};
template <class G>
std::unique_ptr<TGraphic> make() { return std::make_unique<G>(); }
const Codec kBmp{"bmp", make<TBitmap>}, kIcon{"icon", make<TIcon>}, kGif{"gif", make<TGIFImage>},
    kJpeg{"jpeg", make<TJPEGImage>}, kPng{"png", make<TGLDPNG>};

// What f returns, with the largest allocation made while it ran.
template <class F>
std::string tracked(size_t& largest, F f) {
    gLargest = 0;
    gTracking = true;
    std::string outcome = f();
    gTracking = false;
    largest = gLargest;
    return outcome;
}

Bytes pattern(size_t n, uint8_t seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = uint8_t(seed + i * 37);
    return b;
}

// The writer's files of every format, and by hand what it never writes.
std::vector<Bytes> bitmapSeeds() {
    std::vector<Bytes> seeds;
    for (PixelFormat pf : kPixelFormats) seeds.push_back(savedBytes(randomBitmap(pf, 7, 5, uint32_t(pf))));
    auto file = [&](const Info& i, const Bytes& table, const Bytes& pixels) {
        seeds.push_back(bmpFile(cat({infoHeader(i), table}), pixels));
    };
    file({.width = 7, .height = 3, .bpp = 2}, pattern(16, 11), pattern(12, 12));
    file({.width = 8, .height = 5, .bpp = 8, .compression = 1, .clrUsed = 4}, pattern(16, 11),
         {3, 1, 0, 4, 1, 2, 3, 0, 0, 0, 0, 2, 1, 1, 2, 3, 0, 0, 9, 2, 0, 0, 0, 3, 3, 2, 1, 0, 0, 1});
    file({.width = 9, .height = 4, .bpp = 4, .compression = 2}, pattern(64, 11),
         {5, 0x12, 0, 5, 0x34, 0x56, 0x70, 0, 0, 0, 0, 2, 2, 1, 3, 0xAB, 0, 0, 0, 3, 0xCD, 0xE0, 0, 1});
    file({.width = 3, .height = 3, .bpp = 16, .compression = 3}, masks({0xF000, 0x0F00, 0x00F0}),
         pattern(24, 5));
    file({.width = 5, .height = -3, .bpp = 24}, {}, pattern(48, 6));
    file({.headerSize = 124, .width = 4, .height = 3, .bpp = 32, .compression = 3,
          .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000}}, {}, pattern(48, 7));
    file({.headerSize = 12, .width = 6, .height = 2, .bpp = 8}, pattern(256 * 3, 8), pattern(16, 9));
    return seeds;
}

Bytes iconSeed() {
    Info i32{.width = 4, .height = 8, .bpp = 32}, i4{.width = 8, .height = 16, .bpp = 4, .clrUsed = 16},
        i8{.width = 6, .height = 6, .bpp = 8, .clrUsed = 3};
    return iconFile({{4, 4, 32, cat({infoHeader(i32), pattern(64, 1), pattern(16, 2)})},
                     {8, 8, 4, cat({infoHeader(i4), pattern(64, 11), pattern(32, 3), pattern(32, 4)})},
                     {6, 3, 8, cat({infoHeader(i8), pattern(12, 11), pattern(24, 5), pattern(12, 6)})},
                     {0, 0, 32, fileOf({chunk("IHDR", ihdrData(1, 1, 8, 6))})},
                     {10, 10, 32, pngBytes(randomBitmap(pf24bit, 10, 10, 5, true))}});
}

std::vector<Bytes> pngSeeds() {
    // From the writer, with its filter modes.
    auto writtenPng = [](PixelFormat pf, bool mask, bool interlace, int filterMode) {
        return pngBytes(randomBitmap(pf, 23, 19, 99, mask), [&](TGLDPNG& p) {
            p.interlace = interlace;
            p.filterMode = filterMode;
            p.comment = "mutation seed";
        });
    };
    Bytes plte;
    for (int i = 0; i < 16; ++i) plte.insert(plte.end(), {uint8_t(i * 16), uint8_t(i), uint8_t(255 - i)});
    return {
        writtenPng(pf24bit, true, true, 0),
        writtenPng(pf8bit, true, false, 4),
        writtenPng(pf4bit, false, true, 3),
        simpleFile(randomSamples(17, 13, 4, 1, 1), 3, false,
                   {chunk("PLTE", plte), chunk("tRNS", {0, 128, 255, 7}), chunk("bKGD", {3})}),
        simpleFile(randomSamples(11, 9, 16, 1, 2), 0, true, {chunk("tRNS", {1, 2}), chunk("sBIT", {9})}),
        simpleFile(randomSamples(10, 7, 2, 1, 3), 3, true, {chunk("PLTE", plte), chunk("tRNS", {255, 0})}),
        simpleFile(randomSamples(9, 8, 16, 4, 4), 6, false, {chunk("tIME", {7, 232, 1, 1, 0, 0, 0})}),
    };
}

// Each seed loads; of its mutants some load and some are refused (a decoder refusing everything
// is not tested by this); every loaded raster is read whole, at full and at a reduced scale; and
// no small file gets a buffer above 16 megabytes.
TEST(CodecMutation, MutantsLoadOrFailCleanly) {
    // A low pixel limit keeps mutants with enlarged sizes cheap.
    DecodeLimits cheap;
    cheap.maxPixels = 1 << 20;
    struct Row {
        const Codec& codec;
        std::vector<Bytes> seeds;
        int mutants;
        size_t headerBytes;
        int minLoaded;  // per seed
        DecodeLimits limits;
    } rows[] = {
        {kBmp, bitmapSeeds(), 3000, 80, 1, cheap},
        {kIcon, {iconSeed()}, 3000, 200, 1, cheap},
        {kGif, {animatedGif(false), animatedGif(true)}, 2000, 64, 100, cheap},
        // Most bit flips land in entropy-coded data and still give a picture.
        {kJpeg, {jpegSample(37, 21, false, false), jpegSample(29, 19, true, false),
         jpegSample(24, 16, false, true)}, 1500, 700, 100, cheap},
        // Default limits: the compressed data alone must bound the image.
        {kPng, pngSeeds(), 600, 64, 100, {}},
    };
    for (const Row& r : rows)
        for (size_t s = 0; s < r.seeds.size(); ++s) {
            SCOPED_TRACE(std::string(r.codec.name) + " seed " + std::to_string(s));
            ASSERT_EQ(loadOutcome(*r.codec.make(), r.seeds[s], r.limits), "(loaded)");
            int loaded = 0, refused = 0;
            forEachMutation(r.seeds[s], r.mutants, [&](const Bytes& m) {
                size_t largest = 0;
                const std::string outcome = tracked(largest, [&] {
                    const std::unique_ptr<TGraphic> g = r.codec.make();
                    std::string o = loadOutcome(*g, m, r.limits);
                    if (o != "(loaded)") return o;
                    const TBitmap& b = *g->raster();
                    if (b.palette().size() > 256 || (&r.codec == &kGif && b.pixelFormat() != pf8bit))
                        return std::string("bad raster");
                    g->requestDecodeScale(4);  // the formats that decode reduced do it again
                    return rasterOutcome(*g);
                });
                ASSERT_LT(largest, size_t(16) << 20) << "largest allocation " << largest;
                ASSERT_FALSE(outcome.starts_with("not empty") || outcome == "raster size differs" ||
                             outcome == "bad raster") << outcome;
                outcome == "(loaded)" ? ++loaded : ++refused;
            }, r.headerBytes);
            EXPECT_GE(loaded, r.minLoaded);
            EXPECT_GT(refused, 0);
        }
}

// A JPEG whose frame header (baseline or progressive) claims w x h.
Bytes jpegClaiming(bool progressive, int w, int h) {
    Bytes d = jpegBytes(rampImage(16, 16), 90, progressive);
    const uint8_t frame[] = {0xFF, uint8_t(progressive ? 0xC2 : 0xC0)};
    const size_t at = std::search(d.begin(), d.end(), frame, frame + 2) - d.begin() + 5;
    d[at] = uint8_t(h >> 8), d[at + 1] = uint8_t(h), d[at + 2] = uint8_t(w >> 8), d[at + 3] = uint8_t(w);
    return d;
}

// Every decoder's refusals with their messages (a trailing '*' compares only what comes before
// it), huge sizes refused as too large, and decompression bombs: all without a large buffer.
TEST(CodecRefusal, MessagesAndLimits) {
    const Bytes good24 = bmpFile(infoHeader({.width = 2, .height = 2, .bpp = 24}), Bytes(16, 0x55));
    auto bmp = [](const Info& i, const Bytes& rest = Bytes(64, 0)) { return bmpFile(infoHeader(i), rest); };
    auto patched = [](Bytes b, size_t at, std::initializer_list<uint8_t> v) {
        std::copy(v.begin(), v.end(), b.begin() + at);
        return b;
    };
    const Bytes icon = iconFile({{4, 4, 24, cat({infoHeader({.width = 4, .height = 8}), Bytes(64, 1)})}});
    const Bytes gif = animatedGif(false);
    const Bytes pngGrey = simpleFile(randomSamples(3, 3, 8, 1, 2), 0, false);
    struct Row {
        const Codec& codec;
        const char* name;
        Bytes data;
        std::string outcome;
        uint64_t maxPixels = kDefaultPixelLimit;
        int scale = 1;
        size_t maxAlloc = size_t(1) << 20;
    } rows[] = {
        {kBmp, "wrong signature", patched(good24, 0, {'X'}), "Bitmap: not a bitmap file"},
        {kBmp, "truncated header", Bytes(good24.begin(), good24.begin() + 30), "Bitmap: truncated header"},
        {kBmp, "truncated masks", bmp({.width = 1, .height = 1, .bpp = 16, .compression = 3}, {}),
         "Bitmap: truncated header"},
        {kBmp, "unknown header size", bmp({.headerSize = 200}), "Bitmap: unsupported header size 200"},
        {kBmp, "JPEG inside", bmp({.bpp = 0, .compression = 4}), "Bitmap: unsupported compression 4 (JPEG)"},
        {kBmp, "PNG inside", bmp({.bpp = 0, .compression = 5}), "Bitmap: unsupported compression 5 (PNG)"},
        {kBmp, "OS/2 Huffman", bmp({.headerSize = 64, .bpp = 1, .compression = 3}),
         "Bitmap: unsupported compression 3 (OS/2 Huffman 1D)"},
        {kBmp, "unknown compression", bmp({.compression = 9}), "Bitmap: unsupported compression 9"},
        {kBmp, "odd depth", bmp({.bpp = 7}), "Bitmap: unsupported bit depth 7"},
        {kBmp, "RLE8 at 4 bits", bmp({.bpp = 4, .compression = 1}),
         "Bitmap: RLE8 compression needs 8 bits per pixel"},
        {kBmp, "RLE4 at 8 bits", bmp({.bpp = 8, .compression = 2}),
         "Bitmap: RLE4 compression needs 4 bits per pixel"},
        {kBmp, "bit fields at 24 bits", bmp({.bpp = 24, .compression = 3}),
         "Bitmap: bit fields need 16 or 32 bits per pixel"},
        {kBmp, "zero width", bmp({.width = 0, .height = 1}), "Bitmap: invalid image size 0x1"},
        {kBmp, "zero height", bmp({.width = 1, .height = 0}), "Bitmap: invalid image size 1x0"},
        // With a usable bfOffBits the table would be cut there instead.
        {kBmp, "truncated colour table", patched(bmp({.width = 1, .height = 1, .bpp = 8}, Bytes(20, 0)),
         kOffBitsAt, {0, 0, 0, 0}), "Bitmap: truncated colour table"},
        {kBmp, "truncated pixels", Bytes(good24.begin(), good24.end() - 5), "Bitmap: truncated pixel data"},
        {kBmp, "no pixels at all", bmp({.width = 1, .height = 1, .bpp = 24}, {}),
         "Bitmap: truncated pixel data"},
        // A few dozen bytes claiming 10^10 pixels: the limit answers before pixels are read.
        {kBmp, "huge", bmp({.width = 100000, .height = 100000, .bpp = 8, .clrUsed = 1}), "too large: *"},
        {kBmp, "huge top-down",
         bmp({.width = 0x7FFFFFFF, .height = INT32_MIN, .bpp = 32}, Bytes(8, 0)), "too large: *"},
        {kIcon, "reserved not zero", patched(icon, 0, {1}), "Icon: not an icon file"},
        {kIcon, "type 3", patched(icon, 2, {3}), "Icon: not an icon file"},
        {kIcon, "no images", patched(icon, 4, {0}), "Icon: the file holds no images"},
        {kIcon, "directory longer than the file", patched(icon, 4, {200}), "Icon: truncated directory"},
        {kIcon, "image outside the file", patched(icon, 6 + 12, {0xA0, 0x86, 0x01, 0}),
         "Icon: no image lies inside the file"},
        {kIcon, "truncated pixels", Bytes(icon.begin(), icon.begin() + 6 + 16 + 40 + 20),
         "Icon: truncated pixel data"},
        // With nothing else to show, the PNG codec's error reaches the caller.
        {kIcon, "lone PNG entry of a signature only", iconFile({{0, 0, 32, signature()}}),
         "Read Image (PNG): Read Error"},
        {kIcon, "huge", iconFile({{0, 0, 32, infoHeader({.width = 100000, .height = 200000, .bpp = 32})}}),
         "too large: *"},
        {kGif, "no image", cat({toBytes({"GIF89a\4\0\4\0\xF1\0\0", 13}), pattern(12, 1), {0x3B}}),
         "GIF error: the file holds no image"},
        {kGif, "cut in the first frame's header", Bytes(gif.begin(), gif.begin() + 13 + 24 + 8 + 5),
         "GIF error: *"},
        {kGif, "huge screen", patched(gif, 6, {0xFF, 0xFF, 0xFF, 0xFF}), "too large: Image too large*"},
        {kJpeg, "png", cat({signature(), {0, 0, 0, 13}}),
         "JPEG error: Not a JPEG file: starts with 0x89 0x50*"},
        {kJpeg, "huge header", jpegClaiming(false, 65500, 65500), "too large: *"},
        // A progressive file keeps all coefficients of the full image, even for a 1/8 decode.
        {kJpeg, "progressive over the limit at 1/8", jpegClaiming(true, 2000, 2000), "too large: *", 1 << 20,
         8},
        {kJpeg, "progressive at the limit", jpegBytes(rampImage(1024, 1024), 50, true), "(loaded)", 1 << 20,
         1, 16 << 20},
        {kJpeg, "progressive at the limit at 1/8", jpegBytes(rampImage(1024, 1024), 50, true), "(loaded)",
         1 << 20, 8, 16 << 20},
        {kPng, "over the pixel limit", simpleFile(randomSamples(101, 100, 8, 1, 2), 0, false),
         "too large: *", 10000},
        {kPng, "width 0", patched(pngGrey, 16 + 3, {0}), "Invalid image size 0x3"},
        {kPng, "width above 2^31", patched(pngGrey, 16, {0x80}), "too large: *"},
        // A 1-gigabyte raster announced with a kilobyte of data: refused before allocating.
        {kPng, "huge with little data", fileOf({chunk("IHDR", ihdrData(16384, 16384, 8, 6)),
         chunk("IDAT", zlibCompress(Bytes(4000, 0))), chunk("IEND", {})}), "Read Image (PNG): Read Error"},
        // 50 megabytes inflated behind a 100 x 100 image: decoding stops at the image.
        {kPng, "bomb", fileOf({chunk("IHDR", ihdrData(100, 100, 8, 0)),
         chunk("IDAT", zlibCompress(Bytes(50 << 20, 0), 9)), chunk("IEND", {})}), "(loaded)"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.codec.name) + ": " + r.name);
        size_t largest = 0;
        DecodeLimits limits;
        limits.maxPixels = r.maxPixels;
        const std::string got = tracked(largest, [&] {
            return loadOutcome(*r.codec.make(), r.data, limits, r.scale);
        });
        const size_t star = r.outcome.find('*');
        EXPECT_EQ(star == std::string::npos ? got : got.substr(0, star), r.outcome.substr(0, star)) << got;
        EXPECT_LT(largest, r.maxAlloc);
    }
}

// A load that fails leaves the picture that was there: size, pixels and what saving writes.
TEST(CodecRefusal, FailedLoadKeepsThePreviousPicture) {
    struct Row {
        const Codec& codec;
        Bytes good, bad;
    } rows[] = {
        {kBmp, savedBytes(randomBitmap(pf24bit, 2, 2, 1)),
         bmpFile(infoHeader({.width = 4, .height = 4, .bpp = 24}), Bytes(10, 0))},
        {kIcon, iconFile({{2, 2, 24, cat({infoHeader({.width = 2, .height = 4}), Bytes(16 + 8, 0x45)})}}),
         iconFile({{0, 0, 32, infoHeader({.width = 100000, .height = 200000, .bpp = 32})}})},
        {kGif, animatedGif(false), {'G', 'I', 'F', '8', '9', 'a'}},
        {kJpeg, jpegBytes(flatImage(30, 20, 0x00FF00)), {0xFF, 0xD8, 0xFF}},
        {kPng, simpleFile(randomSamples(3, 2, 8, 3, 1), 2, false,
         {chunk("tEXt", toBytes({"Comment\0x", 9}))}), signature()},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.codec.name);
        const auto g = r.codec.make();
        ASSERT_EQ(loadOutcome(*g, r.good), "(loaded)");
        const TBitmap before = *g->raster();
        EXPECT_THROW(g->loadFromMemory(r.bad.data(), r.bad.size()), EInvalidGraphic);
        EXPECT_EQ(pixelDifference(*g->raster(), before), "");
        EXPECT_TRUE(&r.codec != &kJpeg || savedBytes(*g) == r.good);
        EXPECT_TRUE(&r.codec != &kPng || static_cast<TGLDPNG&>(*g).comment == "x\r\n");
    }
}

}  // namespace
