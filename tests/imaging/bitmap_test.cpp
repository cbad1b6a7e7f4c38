// The bitmap itself, the plain stretch, quarter and half turns, and StretchBitmap against a
// deliberately plain implementation of its formulas: every byte must agree.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "base/Errors.h"
#include "base/Limits.h"
#include "imaging/PlainStretch.h"
#include "imaging/StretchPasses.h"
#include "imaging/StretchUtils.h"
#include "tests/support/CodecCases.h"

using namespace korvel;
using korvel::testing::kPixelFormats;
using korvel::testing::byteDifference;
using korvel::testing::flatImage;
using korvel::testing::pixelDifference;

// Packed colours widen by repeating their top bits; packed rows: each write keeps its neighbours'
// bits; a new size keeps the overlap and zeroes the rest; conversion keeps transparency's meaning.
TEST(Bitmap, PixelsSizeAndConversion) {
    EXPECT_EQ((std::vector<uint32_t>{unpackColor15(0x7FFF), unpackColor16(0xFFFF),
                                     unpackColor15(packColor15(0x808080)), unpackColor16(0x07E0),
                                     packColor16(0xFF0000)}),
              (std::vector<uint32_t>{0xFFFFFF, 0xFFFFFF, 0x848484, 0x00FF00, 0xF800}));
    TBitmap one(10, 1, PixelFormat::pf1bit), four(3, 1, PixelFormat::pf4bit);
    for (int x : {0, 9}) one.setRawPixel(x, 0, 1);
    const uint32_t nibbles[] = {0xA, 0x5, 0xF};
    for (int x = 0; x < 3; ++x) four.setRawPixel(x, 0, nibbles[x]);
    const uint8_t *o = one.scanLine(0), *f = four.scanLine(0);
    EXPECT_EQ((std::vector<int>{o[0], o[1], f[0], f[1]}), (std::vector<int>{0x80, 0x40, 0xA5, 0xF0}));
    EXPECT_EQ(four.rawPixel(1, 0), 5u);
    TBitmap b(2, 2, PixelFormat::pf24bit);
    b.setRawPixel(1, 1, 0x123456);
    b.setSize(3, 3);
    EXPECT_EQ(std::pair(b.pixel(1, 1), b.pixel(2, 2)), std::pair(0x123456u, 0u));
    b.setSize(0, 5);
    EXPECT_TRUE(b.empty());
    // Conversion keeps the transparency's meaning.
    b = TBitmap(2, 1, PixelFormat::pf8bit);
    b.setRawPixel(0, 0, 5);
    b.setTransparentIndex(5);
    EXPECT_EQ((std::vector<int>{b.alphaAt(0, 0), b.alphaAt(1, 0)}), (std::vector<int>{0, 255}));
    b.convertTo24();
    EXPECT_EQ(b.transparency(), Transparency::Color);
    EXPECT_EQ((std::vector<int>{b.alphaAt(0, 0), b.alphaAt(1, 0)}), (std::vector<int>{0, 255}));
}

TEST(Bitmap, PixelLimitRefusesBeforeAllocating) {
    EXPECT_THROW(TBitmap(11, 10, PixelFormat::pf24bit, 100), EImageTooLarge);
    EXPECT_NO_THROW(TBitmap(10, 10, PixelFormat::pf24bit, 100));
    EXPECT_THROW(TBitmap(1 << 20, 1 << 20, PixelFormat::pf32bit), EImageTooLarge);
    EXPECT_THROW(checkImageSize(int64_t(1) << 40, 1, 24, kNoCountLimit), EImageTooLarge);
    EXPECT_THROW(paddedRowBytes(int64_t(1) << 62, 32), EImageTooLarge);
}

TEST(PlainStretch, DrawHonoursMask) {
    TBitmap src = flatImage(2, 1, 0xFF0000);
    auto mask = std::make_unique<TBitmap>(2, 1, PixelFormat::pf8bit);
    mask->scanLine(0)[0] = 255;  // transparent; the other stays 0, opaque
    src.setMask(std::move(mask));
    TBitmap canvas = flatImage(2, 1, 0x00FF00);
    src.draw(canvas, Rect{0, 0, 2, 1});
    EXPECT_EQ(std::pair(canvas.pixel(0, 0), canvas.pixel(1, 0)), std::pair(0x00FF00u, 0xFF0000u));
}

// The plain stretch: destination step k of a span of n pixels takes source pixel
// start + k * length div n; mirrored spans count k backwards; pixels outside either image are
// skipped; equal formats copy raw values, others convert colours.
namespace {

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

// Noise with a random palette; row padding too, so that a copy or turn that strays into it shows.
TBitmap randomBitmap(std::mt19937& rng, int w, int h, PixelFormat pf) {
    TBitmap b = korvel::testing::randomBitmap(pf, w, h, rng());
    for (int y = 0; y < h; ++y)
        for (size_t i = size_t((int64_t(w) * bitsPerPixel(pf) + 7) / 8); i < b.stride(); ++i)
            b.scanLine(y)[i] = uint8_t(rng());
    return b;
}

Rect randomRect(std::mt19937& rng, int w, int h) {
    auto coord = [&](int n) { return int(rng() % unsigned(n + 6)) - 3; };  // reaches a little outside
    const Rect r{coord(w), coord(h), coord(w), coord(h)};
    return rng() % 3 == 0 ? Rect{0, 0, w, h} : r;
}

// A grey row (or column when vertical) of the given values; every channel the same.
TBitmap greyLine(const std::vector<int>& values, int across, bool vertical) {
    const int n = int(values.size());
    TBitmap b(vertical ? across : n, vertical ? n : across, PixelFormat::pf24bit);
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            uint8_t v = uint8_t(values[size_t(vertical ? y : x)]);
            b.setRawPixel(x, y, makeColor(v, v, v));
        }
    return b;
}

// Sizes around byte and tile boundaries: 1-bit rows of 1, 7, 9 and 13 pixels, 4-bit rows of
// odd width, and images larger than one 64 x 64 tile.
const int kSizes[][2] = {{1, 1}, {7, 3}, {9, 5}, {13, 2}, {1, 17}, {5, 1}, {65, 3}, {130, 71}};

// Each turn with where source pixel (x, y) of a w x h image lands.
struct TurnCase {
    const char* name;
    std::unique_ptr<TBitmap> (*turn)(const TBitmap&);
    std::pair<int, int> (*target)(int x, int y, int w, int h);
} const kTurns[] = {
    {"right", Rotate90Right, [](int x, int y, int, int h) { return std::pair{h - 1 - y, x}; }},
    {"half", Rotate180, [](int x, int y, int w, int h) { return std::pair{w - 1 - x, h - 1 - y}; }},
    {"left", Rotate90Left, [](int x, int y, int w, int) { return std::pair{y, w - 1 - x}; }},
};

}  // namespace

// Every pair of formats, random rectangles (mirrored, clipped, partly outside the source).
TEST(PlainStretch, MatchesPixelByPixelStatement) {
    std::mt19937 rng(99);
    for (PixelFormat from : kPixelFormats)
        for (PixelFormat to : kPixelFormats)
            for (int n = 0; n < 12; ++n) {
                const int sw = 1 + int(rng() % 23), sh = 1 + int(rng() % 17);
                const int dw = 1 + int(rng() % 29), dh = 1 + int(rng() % 19);
                TBitmap src = randomBitmap(rng, sw, sh, from), dst = randomBitmap(rng, dw, dh, to);
                // Equal palettes make raw copies; keep some pairs of palette images in that case.
                if (from == to && n % 2 == 0) dst.setPalette(src.palette());
                Rect sr = randomRect(rng, sw, sh), dr = randomRect(rng, dw, dh);
                if (n % 4 == 1) dr = Rect{dw - 1, dh - 1, -1, -1};
                TBitmap want = dst;
                referenceCopy(src, sr, want, dr);
                stretchCopy(src, sr, dst, dr);
                // The seed is fixed: the format pair and n name the case.
                EXPECT_EQ(byteDifference(dst, want), "") << bitsPerPixel(from) << ">" << bitsPerPixel(to) << " #" << n;
                // Without transparency the drawing stretch is the same copy.
                TBitmap drawn = want;
                stretchDraw(src, sr, drawn, dr);
                EXPECT_EQ(byteDifference(drawn, want), "");
            }
    // Copying a bitmap onto itself keeps the generic order (no fast path reads what it wrote).
    TBitmap a = randomBitmap(rng, 9, 7, PixelFormat::pf24bit), want = a;
    referenceCopy(want, Rect{0, 0, 9, 7}, want, Rect{8, 6, -1, -1});
    stretchCopy(a, Rect{0, 0, 9, 7}, a, Rect{8, 6, -1, -1});
    EXPECT_EQ(byteDifference(a, want), "") << "onto itself";
}

// Turns: each pixel lands where the turn puts it, the source stays as it was, and spare bits of
// packed rows stay clear whatever the source's padding holds.
TEST(Rotate, EveryPixelLandsInPlaceAtEveryFormat) {
    std::mt19937 rng(42);
    for (PixelFormat pf : kPixelFormats)
        for (const auto& s : kSizes)
            for (const TurnCase& t : kTurns) {
                SCOPED_TRACE(::testing::Message()
                             << bitsPerPixel(pf) << "bpp " << s[0] << "x" << s[1] << " " << t.name);
                const TBitmap src = randomBitmap(rng, s[0], s[1], pf);  // row padding holds noise too
                const TBitmap before = src;
                const bool quarter = t.turn != Rotate180;
                // A new bitmap's rows are clear past the last pixel; the turned one's must be too.
                TBitmap want(quarter ? s[1] : s[0], quarter ? s[0] : s[1], pf);
                want.setPalette(src.palette());
                for (int y = 0; y < s[1]; ++y)
                    for (int x = 0; x < s[0]; ++x) {
                        const auto [tx, ty] = t.target(x, y, s[0], s[1]);
                        want.setRawPixel(tx, ty, src.rawPixel(x, y));
                    }
                EXPECT_EQ(byteDifference(*t.turn(src), want), "");
                EXPECT_EQ(byteDifference(src, before), "");
            }
}

// An empty source is refused; the mask turns with the pixels; the transparency setting is kept.
TEST(Rotate, EmptySourceMaskAndTransparency) {
    for (const TurnCase& t : kTurns) {
        try {
            t.turn(TBitmap());
            ADD_FAILURE() << t.name << ": no error";
        } catch (const ERotateError& e) {
            EXPECT_STREQ(e.what(), "Bitmap Size Error");
        }
    }
    TBitmap b(3, 2, PixelFormat::pf8bit);
    auto mask = std::make_unique<TBitmap>(3, 2, PixelFormat::pf8bit);
    mask->scanLine(0)[0] = 200;
    b.setMask(std::move(mask));
    b.setTransparentIndex(5);
    const auto r = Rotate90Right(b), h = Rotate180(b);
    ASSERT_TRUE(r->mask() && h->mask());
    // The top left mask value lands top right, and bottom right.
    EXPECT_EQ((std::vector<int>{r->mask()->scanLine(0)[1], h->mask()->scanLine(1)[2]}),
              (std::vector<int>{200, 200}));
    EXPECT_EQ(std::pair(r->transparency(), r->transparentIndex()), std::pair(Transparency::Index, 5));
}

namespace {

struct Img {
    int w = 0, h = 0;
    std::vector<uint8_t> px;
    Img(int width, int height) : w(width), h(height), px(size_t(width) * size_t(height) * 3) {}
    uint8_t& at(int x, int y, int c) { return px[(size_t(y) * size_t(w) + size_t(x)) * 3 + size_t(c)]; }
    uint8_t at(int x, int y, int c) const { return px[(size_t(y) * size_t(w) + size_t(x)) * 3 + size_t(c)]; }
    Img transposed() const {
        Img t(h, w);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c) t.at(y, x, c) = at(x, y, c);
        return t;
    }
};

// --- cubic enlargement of each row from sw to dw samples ---

long double posOf(int64_t s1, int x, int d1) { return (long double)(s1 * x) / (long double)d1; }

int linearRef(int a, int b, long double f) {
    return (int)((long double)a * (1 - f) + (long double)b * f + 0.5L);
}

Img enlargeRows(const Img& src, int dw) {
    const int sw = src.w;
    std::vector<int> p(dw);
    std::vector<int32_t> w0(dw), w1(dw), w2(dw), w3(dw);
    for (int x = 0; x < dw; ++x) {
        long double pos = posOf(sw - 1, x, dw - 1);
        p[x] = (int)pos;
        long double u = (pos - p[x]) + 1;
        const long double sixth = 1.0L / 6.0L;
        w0[x] = (int32_t)((u - 1) * 65536 * (u - 2) * (u - 3) * (-sixth) + 0.5L);
        w1[x] = (int32_t)(u * 65536 * (u - 2) * (u - 3) * (1.0L / 2) + 0.5L);
        w2[x] = (int32_t)(u * 65536 * (u - 1) * (u - 3) * (-1.0L / 2) + 0.5L);
        w3[x] = (int32_t)(u * 65536 * (u - 1) * (u - 2) * sixth + 0.5L);
    }
    Img dst(dw, src.h);
    for (int y = 0; y < src.h; ++y) {
        auto linear = [&](int x) {
            long double pos = posOf(sw - 1, x, dw - 1);
            long double f = pos - (int)pos;
            for (int c = 0; c < 3; ++c)
                dst.at(x, y, c) = (uint8_t)linearRef(src.at(p[x], y, c), src.at(p[x] + 1, y, c), f);
        };
        int x = 0;
        while (p[x] < 1) linear(x++);
        while (p[x] < sw - 2) {
            for (int c = 0; c < 3; ++c) {
                int64_t acc = int64_t(src.at(p[x] - 1, y, c)) * w0[x] + 32768 +
                              int64_t(src.at(p[x], y, c)) * w1[x] + int64_t(src.at(p[x] + 1, y, c)) * w2[x] +
                              int64_t(src.at(p[x] + 2, y, c)) * w3[x];
                if (acc < 0) acc = 0;
                if (acc > 16711680) acc = 16711680;
                dst.at(x, y, c) = (uint8_t)(acc >> 16);
            }
            ++x;
        }
        while (p[x] < sw - 1) linear(x++);
        for (int c = 0; c < 3; ++c) dst.at(x, y, c) = src.at(sw - 1, y, c);
    }
    return dst;
}

// --- area reduction; accumulators are 64-bit, so ratios beyond 127:1 are exact ---

struct Scale {
    int64_t scale, half;
};
Scale scaleOf(int s, int d) {
    int64_t scale = (int64_t)((long double)(int64_t(s) * 65536) / d + 0.5L);
    return {scale, (scale + 1) / 2};
}

Img reduceRows(const Img& src, int dw) {
    const int sw = src.w;
    std::vector<int> idx(dw + 1), fr(dw + 1);
    for (int i = 0; i <= dw; ++i) {
        long double pos = (long double)(int64_t(sw) * i) / dw;
        idx[i] = (int)pos;
        fr[i] = (int)((pos - idx[i]) * 65536);
    }
    const Scale sc = scaleOf(sw, dw);
    Img dst(dw, src.h);
    for (int y = 0; y < src.h; ++y)
        for (int c = 0; c < 3; ++c) {
            int cur = 0, w = 65536;
            for (int i = 0; i < dw; ++i) {
                int64_t acc = 0;
                if (w != 0) acc += int64_t(src.at(cur, y, c)) * w;
                int next = idx[i + 1];
                for (int k = cur + 1; k < next; ++k) acc += int64_t(src.at(k, y, c)) * 65536;
                int w2 = fr[i + 1];
                if (w2 != 0) acc += int64_t(src.at(next, y, c)) * w2;
                int64_t out = (acc + sc.half) / sc.scale;
                dst.at(i, y, c) = (uint8_t)out;
                cur = next;
                w = 65536 - w2;
            }
        }
    return dst;
}

// --- bilinear for one pixel wide or high ---

Img bilinear(const Img& src, int nw, int nh) {
    const int W = src.w, H = src.h;
    double xs = (double)W / nw, ys = (double)H / nh;
    Img dst(nw, nh);
    for (int y = 0; y < nh; ++y) {
        double sy = (y + 0.5) * ys - 0.5;
        int iy = (int)std::floor(sy);
        double fy = sy - iy;
        int up = iy < 0 ? 0 : iy, lo = iy + 1 > H - 1 ? H - 1 : iy + 1;
        for (int x = 0; x < nw; ++x) {
            double sx = (x + 0.5) * xs - 0.5;
            int ix = (int)std::floor(sx);
            double fx = sx - ix;
            int l = ix < 0 ? 0 : ix, r = ix + 1 > W - 1 ? W - 1 : ix + 1;
            for (int c = 0; c < 3; ++c) {
                const int TL = src.at(l, up, c), TR = src.at(r, up, c);
                const int BL = src.at(l, lo, c), BR = src.at(r, lo, c);
                double v = fx * (TR - TL) + fx * fy * (BR + TL - TR - BL) + fy * (BL - TL) + TL;
                dst.at(x, y, c) = (uint8_t)std::nearbyint(v);
            }
        }
    }
    return dst;
}

Img reference(Img img, int nw, int nh) {
    if (img.w == 1 || img.h == 1) return bilinear(img, nw, nh);
    if (nw > img.w) img = enlargeRows(img, nw);
    else if (nw < img.w) img = reduceRows(img, nw);
    // The vertical passes are written apart from the horizontal ones in StretchBitmap; here they
    // are the row passes on the transposed image, so every case also checks that the axes agree.
    if (nh > img.h) img = enlargeRows(img.transposed(), nh).transposed();
    else if (nh < img.h) img = reduceRows(img.transposed(), nh).transposed();
    return img;
}

Img randomImage(std::mt19937& rng, int w, int h, int style) {
    Img img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                unsigned v = rng();
                // Noise, hard black/white edges, and smooth ramps each stress other rounding paths.
                if (style == 0) img.at(x, y, c) = uint8_t(v);
                else if (style == 1) img.at(x, y, c) = (v & 1) ? 255 : 0;
                else if (style == 3) img.at(x, y, c) = 255;  // the largest sums the accumulators meet
                else img.at(x, y, c) = uint8_t((x * 7 + y * 3 + c * 50) + (v % 3));
            }
    return img;
}

TBitmap toBitmap(const Img& img) {
    TBitmap b(img.w, img.h, PixelFormat::pf24bit);
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x)
            for (int c = 0; c < 3; ++c) b.scanLine(y)[3 * x + c] = img.at(x, y, c);
    return b;
}

void expectSameAsReference(const Img& src, int nw, int nh) {
    TBitmap b = toBitmap(src);
    StretchBitmap(b, nw, nh);
    EXPECT_EQ(pixelDifference(b, toBitmap(reference(src, nw, nh))), "")
        << src.w << "x" << src.h << " -> " << nw << "x" << nh;
}

}  // namespace

TEST(StretchReference, RandomImagesAndSizes) {
    std::mt19937 rng(20240611);
    for (int n = 0; n < 400; ++n) {
        int w = 1 + int(rng() % 40), h = 1 + int(rng() % 40);
        int nw = 1 + int(rng() % 90), nh = 1 + int(rng() % 90);
        if (n % 5 == 0) nw = w;  // one axis unchanged
        if (n % 7 == 0) nh = h;
        expectSameAsReference(randomImage(rng, w, h, n % 3), nw, nh);
    }
    // Reductions by ratios that are not whole, on rows wide enough for the vector paths.
    for (int n = 0; n < 60; ++n) {
        const int w = 20 + int(rng() % 700), h = 2 + int(rng() % 12);
        const int nw = 1 + int(rng() % (w - 1)), nh = 1 + int(rng() % h);
        expectSameAsReference(randomImage(rng, w, h, int(rng() % 4)), nw, nh);
    }
}

// Near identity, and beyond the ranges where 32-bit accumulators and widths
// stayed exact: reductions over 127:1, widths of 32768 and more, enlargement products beyond 2^31.
TEST(StretchReference, ChosenSizes) {
    std::mt19937 rng(7);
    struct Row {
        int w, h, nw, nh, styles;
    };
    const Row rows[] = {
        {100, 75, 99, 76, 3}, {4, 4, 1000, 3, 3}, {1000, 3, 4, 2, 3},
        {300, 4, 2, 3, 1},       // 150:1 across
        {4, 1000, 3, 3, 1},      // 333:1 down
        {40000, 3, 7, 2, 1},     // width over 32768, about 5714:1
        {33000, 2, 16400, 2, 1}, // width over 32768 at a ratio near 2:1
        {50000, 2, 70000, 2, 1}, // enlargement with products beyond 2^31
        {2, 40000, 2, 3, 1},     // height over 32768
        {65536, 2, 1, 2, 1},     // one output column: the bilinear resampler is not involved
    };
    for (const Row& r : rows)
        for (int style = 0; style < r.styles; ++style)
            expectSameAsReference(randomImage(rng, r.w, r.h, style), r.nw, r.nh);
}

// Whole-factor reductions have their own vector path; these widths leave every possible tail
// after the vector part, and the factors run past the last one that fits 16-bit sums (128).
TEST(StretchReference, WholeFactorsAtManyWidths) {
    std::mt19937 rng(5);
    const int outWidths[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 16, 17, 23, 32, 37, 64, 67};
    for (int k = 2; k <= 16; ++k)
        for (int dw : outWidths) {
            // Heights: whole factors too, or one row more so that the rows are not.
            const int kv = 2 + int(rng() % 5), dh = 1 + int(rng() % 4), extra = int(rng() % 3 == 0);
            expectSameAsReference(randomImage(rng, k * dw, kv * dh + extra, int(rng() % 4)), dw, dh);
        }
    const int large[][2] = {{31, 3}, {64, 2}, {100, 3}, {127, 2}, {128, 3}, {129, 2}, {200, 1}};
    for (const auto& c : large)
        for (int style = 0; style < 4; ++style) {
            expectSameAsReference(randomImage(rng, c[0] * c[1], 3, style), c[1], 2);
            expectSameAsReference(randomImage(rng, 3, c[0] * c[1], style), 2, c[1]);
        }
}

// StretchBitmap takes the best vector level of the machine; the lower ones (down to plain code)
// must give the same bytes, so each is run here on its own against the reference.
TEST(StretchReference, EveryVectorLevelOfTheRowPass) {
    using stretch::VectorLevel;
    std::mt19937 rng(13);
    const VectorLevel levels[] = {VectorLevel::Plain, VectorLevel::Ssse3, VectorLevel::Avx2};
    for (VectorLevel level : levels) {
        if (level > stretch::bestVectorLevel()) continue;
        auto check = [&](int sw, int dw) {
            const Img src = randomImage(rng, sw, 1, int(rng() % 4));
            std::vector<uint8_t> got(size_t(dw) * 3);
            stretch::makeHorizontalReduce(sw, dw, level)->run(src.px.data(), got.data());
            EXPECT_EQ(got, reduceRows(src, dw).px) << "level " << int(level) << ", " << sw << " -> " << dw;
        };
        for (int k = 2; k <= 20; ++k)
            for (int dw = 1; dw <= 41; dw += 1 + int(rng() % 4)) check(k * dw + (k == 20 ? 1 : 0), dw);
        // Other ratios, blocks from 1 to past 128 pixels (where 16-bit block sums end).
        for (int n = 0; n < 150; ++n) {
            const int dw = 1 + int(rng() % 60);
            check(dw + 1 + int(rng() % (n < 140 ? 8 * dw : 300 * dw)), dw);
        }
    }
}

// Values worked out from the formulas by hand, along both axes; lines one pixel across take the
// bilinear resampler with pixel centres aligned.
TEST(StretchEdges, HandWorkedLines) {
    const struct {
        const char* name;
        int across;
        std::vector<int> in;
        int n;
        std::vector<int> want;
    } rows[] = {
        {"whole factor: block means", 2, {10, 20, 30, 40}, 2, {15, 35}},
        {"width 1 still through the area pass", 2, {10, 20, 30, 40}, 1, {25}},
        // scale 98304, half 49152; the middle pixel counts half to each side:
        // (255*65536 + 255*32768 + 49152) div 98304 = 255, (255*32768 + 0 + 49152) div 98304 = 85
        {"area 3 to 2 at full sums", 2, {255, 255, 0}, 2, {255, 85}},
        {"linear 2 to 3: 0, trunc(50 + 0.5), 100", 2, {0, 100}, 3, {0, 50, 100}},
        // sy = -0.25, 0.25, 0.75, 1.25 -> 0, 25, 75, 100 (edges clamp to the end pixels)
        {"bilinear 2 to 4", 1, {0, 100}, 4, {0, 25, 75, 100}},
        {"bilinear 1.5 rounds half to even", 1, {1, 2}, 1, {2}},
        {"bilinear 2.5 rounds half to even", 1, {2, 3}, 1, {2}},
        {"bilinear same size is the identity", 1, {7, 9, 11}, 3, {7, 9, 11}},
    };
    for (bool vertical : {false, true})
        for (const auto& r : rows) {
            SCOPED_TRACE(std::string(r.name) + (vertical ? " vertical" : " horizontal"));
            TBitmap b = greyLine(r.in, r.across, vertical);
            StretchBitmap(b, vertical ? r.across : r.n, vertical ? r.n : r.across);
            EXPECT_EQ(byteDifference(b, greyLine(r.want, r.across, vertical)), "");
        }
    // Across a one-pixel axis that grows, every new pixel repeats the line.
    TBitmap b = greyLine({0, 100}, 1, false);
    StretchBitmap(b, 4, 3);
    EXPECT_EQ(byteDifference(b, greyLine({0, 25, 75, 100}, 3, false)), "");
}

// Every format comes out 24-bit without a palette: at its own size with its colours kept, and
// one pixel stretched to 5 x 3 as that colour throughout.
TEST(StretchEdges, EveryFormatBecomes24Bit) {
    for (PixelFormat pf : kPixelFormats) {
        SCOPED_TRACE(bitsPerPixel(pf));
        TBitmap b(5, 3, pf);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) b.setRawPixel(x, y, uint32_t((x * 3 + y) % 2 ? 0 : 0x00FFFFFF));
        const TBitmap before = b;
        StretchBitmap(b, 5, 3);
        EXPECT_EQ(std::pair(b.pixelFormat(), b.palette().size()), std::pair(PixelFormat::pf24bit, size_t(0)));
        EXPECT_EQ(pixelDifference(b, before), "");

        TBitmap one(1, 1, pf);
        one.setRawPixel(0, 0, isPaletteFormat(pf) ? 1 : pf == PixelFormat::pf15bit ? 0x7FFF : 0xFFFFFF);
        const TBitmap want = flatImage(5, 3, one.pixel(0, 0));
        StretchBitmap(one, 5, 3);
        EXPECT_EQ(byteDifference(one, want), "");
    }
}

// Sizes below 1 and results over the pixel limit are refused before any work; the image stays.
TEST(StretchEdges, RefusedSizesLeaveTheImage) {
    static_assert(kDefaultPixelLimit < (uint64_t(1) << 29));
    TBitmap b(50, 50, PixelFormat::pf8bit), line(1, 50, PixelFormat::pf24bit);
    try {
        StretchBitmap(b, 0, 3);
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find("at least 1"), std::string::npos) << e.what();
    }
    EXPECT_THROW(StretchBitmap(b, 3, 0), Exception);
    EXPECT_THROW(StretchBitmap(b, 1 << 15, 1 << 14), EImageTooLarge);
    EXPECT_THROW(StretchBitmap(line, 1 << 15, 1 << 14), EImageTooLarge);  // the bilinear path
    EXPECT_EQ(std::tuple(b.width(), b.pixelFormat(), line.width()), std::tuple(50, PixelFormat::pf8bit, 1));
    TBitmap empty;
    StretchBitmap(empty, 10, 10);
    EXPECT_TRUE(empty.empty());
}

TEST(StretchEdges, ProgressCalls) {
    const struct {
        int w, h, nw, nh;
        std::vector<int> want;
    } rows[] = {
        {8, 8, 4, 4, {0, 50}}, {8, 8, 16, 8, {0}}, {8, 8, 8, 3, {50}}, {8, 8, 8, 8, {}}, {1, 8, 4, 4, {}},
    };
    static std::vector<int> calls;  // the progress hook is a plain function
    for (const auto& r : rows) {
        calls.clear();
        TBitmap b(r.w, r.h, PixelFormat::pf24bit);
        StretchBitmap(b, r.nw, r.nh, [](int percent) { calls.push_back(percent); });
        EXPECT_EQ(calls, r.want) << r.w << "x" << r.h << " -> " << r.nw << "x" << r.nh;
    }
}

// The mask follows the pixels through the same arithmetic; a transparent index becomes its colour.
TEST(StretchEdges, MaskAndTransparencyFollow) {
    TBitmap b(4, 2, PixelFormat::pf8bit);
    auto mask = std::make_unique<TBitmap>(4, 2, PixelFormat::pf8bit);
    for (int i = 0; i < 8; ++i) mask->scanLine(i / 4)[i % 4] = uint8_t(i % 4 * 10 + 10);  // 10 20 30 40
    b.setMask(std::move(mask));
    b.setTransparentIndex(3);
    const Color indexColour = b.palette()[3].color();
    StretchBitmap(b, 2, 2);
    ASSERT_NE(b.mask(), nullptr);
    EXPECT_EQ(std::tuple(b.mask()->width(), b.mask()->scanLine(0)[0], b.mask()->scanLine(1)[1]),
              std::tuple(2, uint8_t(15), uint8_t(35)));
    EXPECT_EQ(std::pair(b.transparency(), b.transparentColor()), std::pair(Transparency::Color, indexColour));
}
