// StretchBitmap against a deliberately plain implementation of the same formulas, written
// pixel by pixel from the algorithm description: positions in extended precision, weights
// rounded by trunc(v + 0.5), cubic sums with the 32768 offset and the clamp, area averages
// with the boundary fractions, the bilinear resampler in double precision. Every byte must agree.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "imaging/Bitmap.h"
#include "imaging/StretchPasses.h"
#include "imaging/StretchUtils.h"

using namespace korvel;

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

int linearRef(int a, int b, long double f) { return (int)((long double)a * (1 - f) + (long double)b * f + 0.5L); }

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
            for (int c = 0; c < 3; ++c) dst.at(x, y, c) = (uint8_t)linearRef(src.at(p[x], y, c), src.at(p[x] + 1, y, c), f);
        };
        int x = 0;
        while (p[x] < 1) linear(x++);
        while (p[x] < sw - 2) {
            for (int c = 0; c < 3; ++c) {
                int64_t acc = int64_t(src.at(p[x] - 1, y, c)) * w0[x] + 32768 + int64_t(src.at(p[x], y, c)) * w1[x] +
                              int64_t(src.at(p[x] + 1, y, c)) * w2[x] + int64_t(src.at(p[x] + 2, y, c)) * w3[x];
                EXPECT_TRUE(acc >= INT32_MIN && acc <= INT32_MAX);  // the sums fit the 32-bit accumulator
                if (acc < 0) acc = 0;
                if (acc > 16711680) acc = 16711680;
                dst.at(x, y, c) = (uint8_t)(acc >> 16);
            }
            ++x;
        }
        while (p[x] < sw - 1) linear(x++);
        EXPECT_EQ(x, dw - 1);
        for (int c = 0; c < 3; ++c) dst.at(x, y, c) = src.at(sw - 1, y, c);
    }
    return dst;
}

// --- vertical cubic enlargement, written as its own case analysis ---

Img enlargeColumns(const Img& src, int dh) {
    const int sh = src.h;
    Img dst(src.w, dh);
    for (int y = 0; y < dh; ++y) {
        long double pos = posOf(sh - 1, y, dh - 1);
        int p = (int)pos;
        long double f = pos - p;
        long double u = f + 1;
        const long double sixth = 1.0L / 6.0L;
        int32_t w[4] = {(int32_t)((u - 1) * 65536 * (u - 2) * (u - 3) * (-sixth) + 0.5L),
                        (int32_t)(u * 65536 * (u - 2) * (u - 3) * (1.0L / 2) + 0.5L),
                        (int32_t)(u * 65536 * (u - 1) * (u - 3) * (-1.0L / 2) + 0.5L),
                        (int32_t)(u * 65536 * (u - 1) * (u - 2) * sixth + 0.5L)};
        for (int x = 0; x < src.w; ++x)
            for (int c = 0; c < 3; ++c) {
                if (p == sh - 1) {
                    dst.at(x, y, c) = src.at(x, p, c);
                } else if (p == 0 || p == sh - 2) {
                    dst.at(x, y, c) = (uint8_t)linearRef(src.at(x, p, c), src.at(x, p + 1, c), f);
                } else {
                    int64_t acc = 32768;
                    for (int k = 0; k < 4; ++k) acc += int64_t(src.at(x, p - 1 + k, c)) * w[k];
                    acc = std::min<int64_t>(std::max<int64_t>(acc, 0), 16711680);
                    dst.at(x, y, c) = (uint8_t)(acc >> 16);
                }
            }
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

// The same division with the accumulator and scale wrapped to 32 bits as the original width
// allows; used to show that inside the old limits nothing changed.
bool fitsOldLimits(int s, int d) { return s < 32768 && double(s) / d < 126; }

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
                if (fitsOldLimits(sw, dw)) {
                    int32_t acc32 = int32_t(acc);
                    EXPECT_EQ(int64_t(acc32), acc);
                    EXPECT_EQ((acc32 + int32_t(sc.half)) / int32_t(sc.scale), out);
                }
                EXPECT_LE(out, 255);
                dst.at(i, y, c) = (uint8_t)out;
                cur = next;
                w = 65536 - w2;
            }
        }
    return dst;
}

Img reduceColumns(const Img& src, int dh) {
    const int sh = src.h;
    const Scale sc = scaleOf(sh, dh);
    Img dst(src.w, dh);
    std::vector<int64_t> acc(size_t(src.w) * 3);
    int cur = 0, w = 65536;
    for (int j = 0; j < dh; ++j) {
        std::fill(acc.begin(), acc.end(), 0);
        auto add = [&](int row, int64_t weight) {
            for (int x = 0; x < src.w; ++x)
                for (int c = 0; c < 3; ++c) acc[size_t(x) * 3 + c] += src.at(x, row, c) * weight;
        };
        if (w != 0) add(cur, w);
        long double pos = (long double)(int64_t(sh) * (j + 1)) / dh;
        int next = (int)pos;
        for (int k = cur + 1; k < next; ++k) add(k, 65536);
        int fw = (int)((pos - next) * 65536);
        if (j != dh - 1) {
            cur = next;
            if (fw != 0) add(cur, fw);
        }
        for (int x = 0; x < src.w; ++x)
            for (int c = 0; c < 3; ++c) dst.at(x, j, c) = (uint8_t)((acc[size_t(x) * 3 + c] + sc.half) / sc.scale);
        w = 65536 - fw;
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
                int TL = src.at(l, up, c), TR = src.at(r, up, c), BL = src.at(l, lo, c), BR = src.at(r, lo, c);
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
    if (nh > img.h) img = enlargeColumns(img, nh);
    else if (nh < img.h) img = reduceColumns(img, nh);
    return img;
}

// --- helpers ---

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

// Index of the first differing byte, or -1.
long firstDifference(const TBitmap& b, const Img& img) {
    if (b.width() != img.w || b.height() != img.h || b.pixelFormat() != PixelFormat::pf24bit) return 0;
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x)
            for (int c = 0; c < 3; ++c)
                if (b.scanLine(y)[3 * x + c] != img.at(x, y, c)) return (long(y) * img.w + x) * 3 + c;
    return -1;
}

void expectSameAsReference(const Img& src, int nw, int nh) {
    TBitmap b = toBitmap(src);
    StretchBitmap(b, nw, nh);
    Img want = reference(src, nw, nh);
    EXPECT_EQ(firstDifference(b, want), -1) << src.w << "x" << src.h << " -> " << nw << "x" << nh;
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
}

TEST(StretchReference, WholeFactorsAndNearIdentity) {
    std::mt19937 rng(7);
    const int cases[][4] = {{64, 48, 16, 12}, {64, 48, 256, 192}, {100, 75, 99, 76}, {7, 5, 8, 4},
                            {3, 3, 2, 2},     {2, 2, 3, 3},       {4, 4, 1000, 3},  {1000, 3, 4, 2}};
    for (const auto& c : cases)
        for (int style = 0; style < 3; ++style) expectSameAsReference(randomImage(rng, c[0], c[1], style), c[2], c[3]);
}

// Beyond the ranges where 32-bit accumulators and widths stayed exact: reductions over 127:1,
// widths of 32768 and more, and enlargement products (sw-1)*x beyond 2^31.
TEST(StretchReference, BeyondTheOldLimits) {
    std::mt19937 rng(11);
    const int cases[][4] = {
        {300, 4, 2, 3},       // 150:1 across
        {4, 1000, 3, 3},      // 333:1 down
        {40000, 3, 7, 2},     // width over 32768, about 5714:1
        {33000, 2, 16400, 2}, // width over 32768 at a ratio near 2:1
        {50000, 2, 70000, 2}, // enlargement with products beyond 2^31
        {2, 40000, 2, 3},     // height over 32768
        {65536, 2, 1, 2},     // one output column: the bilinear resampler is not involved
    };
    for (const auto& c : cases) expectSameAsReference(randomImage(rng, c[0], c[1], 0), c[2], c[3]);
}

// The vertical passes are written apart from the horizontal ones: one axis changed on an image
// and the other axis on its transpose must give transposed results.
TEST(StretchReference, AxesAgreeUnderTransposition) {
    std::mt19937 rng(3);
    const int cases[][3] = {{9, 31, 40}, {33, 12, 10}, {5, 5, 17}, {40, 6, 3}, {2, 9, 300}};
    for (const auto& c : cases) {
        Img src = randomImage(rng, c[0], c[1], 0);
        TBitmap a = toBitmap(src), b = toBitmap(src.transposed());
        StretchBitmap(a, c[2], c[1]);
        StretchBitmap(b, c[1], c[2]);
        Img back(b.width(), b.height());
        for (int y = 0; y < b.height(); ++y)
            for (int x = 0; x < b.width(); ++x)
                for (int ch = 0; ch < 3; ++ch) back.at(x, y, ch) = b.scanLine(y)[3 * x + ch];
        EXPECT_EQ(firstDifference(a, back.transposed()), -1) << c[0] << "x" << c[1] << " to width " << c[2];
    }
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

// Reductions by ratios that are not whole, on rows wide enough for the vector paths.
TEST(StretchReference, WideRowsAtOtherRatios) {
    std::mt19937 rng(9);
    for (int n = 0; n < 60; ++n) {
        const int w = 20 + int(rng() % 700), h = 2 + int(rng() % 12);
        const int nw = 1 + int(rng() % (w - 1)), nh = 1 + int(rng() % h);
        expectSameAsReference(randomImage(rng, w, h, int(rng() % 4)), nw, nh);
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
        for (int k = 2; k <= 20; ++k)
            for (int dw = 1; dw <= 41; dw += 1 + int(rng() % 4)) {
                const Img src = randomImage(rng, k * dw + (k == 20 ? 1 : 0), 1, int(rng() % 4));
                const Img want = reduceRows(src, dw);
                std::vector<uint8_t> got(size_t(dw) * 3);
                stretch::makeHorizontalReduce(src.w, dw, level)->run(src.px.data(), got.data());
                EXPECT_TRUE(got == want.px) << "level " << int(level) << ", " << src.w << " -> " << dw;
            }
        // Other ratios, blocks from 1 to past 128 pixels (where 16-bit block sums end).
        for (int n = 0; n < 150; ++n) {
            const int dw = 1 + int(rng() % 60), sw = dw + 1 + int(rng() % (n < 140 ? 8 * dw : 300 * dw));
            const Img src = randomImage(rng, sw, 1, int(rng() % 4));
            const Img want = reduceRows(src, dw);
            std::vector<uint8_t> got(size_t(dw) * 3);
            stretch::makeHorizontalReduce(sw, dw, level)->run(src.px.data(), got.data());
            EXPECT_TRUE(got == want.px) << "level " << int(level) << ", " << sw << " -> " << dw;
        }
    }
}
