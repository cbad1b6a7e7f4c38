// Hostile PNG input: bounded mutations of good files must load or fail with a core error, never
// crash (run under the sanitizers); oversized and decompression-bomb files must fail or stop
// before any large buffer is allocated.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <sstream>

#include "codecs/Png.h"
#include "base/Errors.h"
#include "base/Limits.h"
#include "png_test_files.h"
#include "tests/support/Mutation.h"

using namespace korvel;
using namespace pngtest;

// The largest single allocation made while tracking is on.
namespace {
std::atomic<bool> gTracking{false};
std::atomic<size_t> gLargest{0};

void* allocate(size_t n) {
    if (gTracking.load(std::memory_order_relaxed)) {
        size_t seen = gLargest.load(std::memory_order_relaxed);
        while (n > seen && !gLargest.compare_exchange_weak(seen, n)) {
        }
    }
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
}  // namespace

void* operator new(size_t n) { return allocate(n); }
void* operator new[](size_t n) { return allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

namespace {

// Loads data, reporting the outcome and the largest allocation made on the way.
struct Outcome {
    bool loaded = false;
    std::string error;
    size_t largest = 0;
};
Outcome tryLoad(const Bytes& data, const DecodeLimits& limits = {}) {
    Outcome o;
    gLargest = 0;
    gTracking = true;
    try {
        TGLDPNG png;
        png.loadFromMemory(data.data(), data.size(), limits);
        o.loaded = true;
    } catch (const Exception& e) {
        o.error = e.what();
    }
    gTracking = false;
    o.largest = gLargest;
    return o;
}

Bytes korvelFile(PixelFormat pf, bool mask, bool interlace, int filterMode) {
    TBitmap b(23, 19, pf);
    uint32_t state = 99;
    for (int y = 0; y < 19; ++y)
        for (size_t i = 0; i < b.stride(); ++i) b.scanLine(y)[i] = uint8_t((state = state * 1664525u + 1013904223u) >> 24);
    if (mask) {
        auto m = std::make_unique<TBitmap>(23, 19, PixelFormat::pf8bit);
        for (int y = 0; y < 19; ++y)
            for (int x = 0; x < 23; ++x) m->scanLine(y)[x] = uint8_t(x * y);
        b.setMask(std::move(m));
    }
    TGLDPNG png;
    png.assign(b);
    png.interlace = interlace;
    png.filterMode = filterMode;
    png.comment = "mutation seed";
    std::ostringstream out;
    png.saveToStream(out);
    const std::string s = out.str();
    return Bytes(s.begin(), s.end());
}

TEST(PngMutation, MutantsLoadOrFailCleanly) {
    Bytes plte;
    for (int i = 0; i < 16; ++i) plte.insert(plte.end(), {uint8_t(i * 16), uint8_t(i), uint8_t(255 - i)});
    const std::vector<Bytes> seeds = {
        korvelFile(PixelFormat::pf24bit, true, true, 0),
        korvelFile(PixelFormat::pf8bit, true, false, 4),
        korvelFile(PixelFormat::pf4bit, false, true, 3),
        simpleFile(randomSamples(17, 13, 4, 1, 1), 3, false,
                   {chunk("PLTE", plte), chunk("tRNS", {0, 128, 255, 7}), chunk("bKGD", {3})}),
        simpleFile(randomSamples(11, 9, 16, 1, 2), 0, true, {chunk("tRNS", {1, 2}), chunk("sBIT", {9})}),
        simpleFile(randomSamples(10, 7, 2, 1, 3), 3, true, {chunk("PLTE", plte), chunk("tRNS", {255, 0})}),
        simpleFile(randomSamples(9, 8, 16, 4, 4), 6, false, {chunk("tIME", {7, 232, 1, 1, 0, 0, 0})}),
    };
    int loaded = 0, failed = 0;
    for (const Bytes& seed : seeds) {
        korvel::testing::forEachMutation(seed, 600, [&](const Bytes& m) {
            const Outcome o = tryLoad(m);
            o.loaded ? ++loaded : ++failed;
            // A small file can never justify a large buffer: the compressed data bounds the image.
            ASSERT_LT(o.largest, size_t(16) << 20) << "largest allocation " << o.largest;
        });
    }
    // Both outcomes occur; a mutation run where everything loads (or fails) tests nothing.
    EXPECT_GT(loaded, 100);
    EXPECT_GT(failed, 100);
}

TEST(PngMutation, OversizedAndBombFiles) {
    // A 1-gigabyte raster announced with a kilobyte of data: refused before allocating.
    Bytes big = signature();
    for (const Bytes& c : {chunk("IHDR", ihdrData(16384, 16384, 8, 6)), chunk("IDAT", zlibCompress(Bytes(4000, 0))),
                           chunk("IEND", {})})
        big.insert(big.end(), c.begin(), c.end());
    Outcome o = tryLoad(big);
    EXPECT_EQ(o.error, "Read Image (PNG): Read Error");
    EXPECT_LT(o.largest, size_t(1) << 20);

    // The same with data of the right amount in principle, over the pixel limit.
    Bytes wide = signature();
    for (const Bytes& c : {chunk("IHDR", ihdrData(2000, 1000, 8, 2)), chunk("IDAT", zlibCompress(Bytes(6001 * 1000, 0)))})
        wide.insert(wide.end(), c.begin(), c.end());
    o = tryLoad(wide, DecodeLimits{.maxPixels = 1 << 20});
    EXPECT_FALSE(o.loaded);
    EXPECT_NE(o.error.find("exceeds the limit"), std::string::npos) << o.error;
    EXPECT_LT(o.largest, size_t(1) << 20);

    // A stream that inflates to 50 megabytes behind a 100 x 100 image: decoding stops at the image.
    Bytes bomb = signature();
    for (const Bytes& c : {chunk("IHDR", ihdrData(100, 100, 8, 0)), chunk("IDAT", zlibCompress(Bytes(50 << 20, 0), 9)),
                           chunk("IEND", {})})
        bomb.insert(bomb.end(), c.begin(), c.end());
    o = tryLoad(bomb);
    EXPECT_TRUE(o.loaded) << o.error;
    EXPECT_LT(o.largest, size_t(1) << 20);
}

}  // namespace
