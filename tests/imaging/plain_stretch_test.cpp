// The plain stretch against a pixel-by-pixel statement of it: destination step k of a span of
// n pixels takes source pixel start + k * length div n; mirrored spans count k backwards;
// pixels outside either image are skipped; equal formats copy raw values, others convert colours.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/PlainStretch.h"

using namespace korvel;

namespace {

const PixelFormat kAllFormats[] = {PixelFormat::pf1bit,  PixelFormat::pf4bit,  PixelFormat::pf8bit, PixelFormat::pf15bit,
                                   PixelFormat::pf16bit, PixelFormat::pf24bit, PixelFormat::pf32bit};

uint32_t encode(const TBitmap& b, Color c) {
    switch (b.pixelFormat()) {
        case PixelFormat::pf15bit: return packColor15(c);
        case PixelFormat::pf16bit: return packColor16(c);
        case PixelFormat::pf24bit:
        case PixelFormat::pf32bit: return c;
        default: return uint32_t(nearestPaletteIndex(b.palette(), c));
    }
}

void referenceCopy(const TBitmap& src, const Rect& sr, TBitmap& dst, const Rect& dr) {
    const int nx = std::abs(dr.width()), ny = std::abs(dr.height());
    if (sr.width() <= 0 || sr.height() <= 0) return;
    const bool same = src.pixelFormat() == dst.pixelFormat() &&
                      (!isPaletteFormat(src.pixelFormat()) || src.palette() == dst.palette());
    for (int j = 0; j < ny; ++j) {
        int dy = dr.height() > 0 ? dr.top + j : dr.top - j;
        int sy = sr.top + int(int64_t(j) * sr.height() / ny);
        if (dy < 0 || dy >= dst.height() || sy < 0 || sy >= src.height()) continue;
        for (int k = 0; k < nx; ++k) {
            int dx = dr.width() > 0 ? dr.left + k : dr.left - k;
            int sx = sr.left + int(int64_t(k) * sr.width() / nx);
            if (dx < 0 || dx >= dst.width() || sx < 0 || sx >= src.width()) continue;
            dst.setRawPixel(dx, dy, same ? src.rawPixel(sx, sy) : encode(dst, src.pixel(sx, sy)));
        }
    }
}

TBitmap randomBitmap(std::mt19937& rng, int w, int h, PixelFormat pf) {
    TBitmap b(w, h, pf);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.setRawPixel(x, y, rng());
    // Row padding too, so that a copy that strays into it shows.
    for (int y = 0; y < h; ++y)
        for (size_t i = size_t((int64_t(w) * bitsPerPixel(pf) + 7) / 8); i < b.stride(); ++i) b.scanLine(y)[i] = uint8_t(rng());
    return b;
}

bool sameBytes(const TBitmap& a, const TBitmap& b) {
    if (a.width() != b.width() || a.height() != b.height() || a.stride() != b.stride()) return false;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.scanLine(y), b.scanLine(y), a.stride()) != 0) return false;
    return true;
}

Rect randomRect(std::mt19937& rng, int w, int h) {
    auto coord = [&](int n) { return int(rng() % unsigned(n + 6)) - 3; };  // reaches a little outside
    Rect r{coord(w), coord(h), coord(w), coord(h)};
    if (rng() % 3 == 0) r = Rect{0, 0, w, h};
    return r;
}

}  // namespace

// Every pair of formats, random rectangles (mirrored, clipped, partly outside the source).
TEST(PlainStretch, MatchesPixelByPixelStatement) {
    std::mt19937 rng(99);
    for (PixelFormat from : kAllFormats)
        for (PixelFormat to : kAllFormats)
            for (int n = 0; n < 12; ++n) {
                const int sw = 1 + int(rng() % 23), sh = 1 + int(rng() % 17);
                const int dw = 1 + int(rng() % 29), dh = 1 + int(rng() % 19);
                TBitmap src = randomBitmap(rng, sw, sh, from);
                TBitmap dst = randomBitmap(rng, dw, dh, to);
                // Equal palettes make raw copies; keep some pairs of palette images in that case.
                if (from == to && n % 2 == 0) dst.setPalette(src.palette());
                Rect sr = randomRect(rng, sw, sh), dr = randomRect(rng, dw, dh);
                if (n % 4 == 1) dr = Rect{dw - 1, dh - 1, -1, -1};
                TBitmap want = dst;
                referenceCopy(src, sr, want, dr);
                stretchCopy(src, sr, dst, dr);
                EXPECT_TRUE(sameBytes(dst, want)) << bitsPerPixel(from) << " -> " << bitsPerPixel(to) << " src " << sr.left
                                                  << "," << sr.top << "," << sr.right << "," << sr.bottom << " dst "
                                                  << dr.left << "," << dr.top << "," << dr.right << "," << dr.bottom;
                // Without transparency the drawing stretch is the same copy.
                TBitmap drawn = want;
                stretchDraw(src, sr, drawn, dr);
                EXPECT_TRUE(sameBytes(drawn, want));
            }
}

// Rows and columns are dropped when reducing and repeated when enlarging, never blended.
TEST(PlainStretch, DropsAndRepeatsWithoutBlending) {
    TBitmap src(4, 1, PixelFormat::pf24bit);
    for (int x = 0; x < 4; ++x) src.setRawPixel(x, 0, uint32_t(10 * (x + 1)));
    struct Row {
        Rect dst;
        int width;
        std::vector<uint32_t> want;
    };
    const Row rows[] = {
        {{0, 0, 2, 1}, 2, {10, 30}},
        {{0, 0, 8, 1}, 8, {10, 10, 20, 20, 30, 30, 40, 40}},
        {{3, 0, -1, 1}, 4, {40, 30, 20, 10}},
        {{5, 0, -1, 1}, 6, {40, 30, 30, 20, 10, 10}},
        {{0, 0, 3, 1}, 3, {10, 20, 30}},
    };
    for (const Row& r : rows) {
        TBitmap dst(r.width, 1, PixelFormat::pf24bit);
        stretchCopy(src, Rect{0, 0, 4, 1}, dst, r.dst);
        std::vector<uint32_t> got;
        for (int x = 0; x < r.width; ++x) got.push_back(dst.rawPixel(x, 0));
        EXPECT_EQ(got, r.want) << r.dst.left << ".." << r.dst.right;
    }
}

// Copying a bitmap onto itself keeps the generic order (no fast path reads what it wrote).
TEST(PlainStretch, CopyOntoItself) {
    std::mt19937 rng(5);
    TBitmap a = randomBitmap(rng, 9, 7, PixelFormat::pf24bit);
    TBitmap want = a;
    referenceCopy(want, Rect{0, 0, 9, 7}, want, Rect{8, 6, -1, -1});
    stretchCopy(a, Rect{0, 0, 9, 7}, a, Rect{8, 6, -1, -1});
    EXPECT_TRUE(sameBytes(a, want));
}
