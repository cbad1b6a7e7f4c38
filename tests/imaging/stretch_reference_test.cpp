// StretchBitmap against a deliberately plain implementation of the same formulas, written
// pixel by pixel from the algorithm description: positions in extended precision, weights
// rounded by trunc(v + 0.5), cubic sums with the 32768 offset and the clamp, area averages
// with the boundary fractions, the bilinear resampler in double precision. Every byte must agree.
// Then the edges: values worked out by hand, errors, progress, palette, mask and transparency.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "base/Errors.h"
#include "base/Limits.h"
#include "imaging/Bitmap.h"
#include "imaging/StretchPasses.h"
#include "imaging/StretchUtils.h"
#include "tests/support/TestImages.h"

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
    // The vertical passes are written apart from the horizontal ones in StretchBitmap; here they
    // are the row passes on the transposed image, so every case also checks that the axes agree.
    if (nh > img.h) img = enlargeRows(img.transposed(), nh).transposed();
    else if (nh < img.h) img = reduceRows(img.transposed(), nh).transposed();
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
    // Reductions by ratios that are not whole, on rows wide enough for the vector paths.
    for (int n = 0; n < 60; ++n) {
        const int w = 20 + int(rng() % 700), h = 2 + int(rng() % 12);
        const int nw = 1 + int(rng() % (w - 1)), nh = 1 + int(rng() % h);
        expectSameAsReference(randomImage(rng, w, h, int(rng() % 4)), nw, nh);
    }
}

// Whole factors, near identity, and beyond the ranges where 32-bit accumulators and widths
// stayed exact: reductions over 127:1, widths of 32768 and more, enlargement products beyond 2^31.
TEST(StretchReference, ChosenSizes) {
    std::mt19937 rng(7);
    struct Row {
        int w, h, nw, nh, styles;
    };
    const Row rows[] = {
        {64, 48, 16, 12, 3}, {64, 48, 256, 192, 3}, {100, 75, 99, 76, 3}, {7, 5, 8, 4, 3}, {3, 3, 2, 2, 3},
        {2, 2, 3, 3, 3},     {4, 4, 1000, 3, 3},    {1000, 3, 4, 2, 3},
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
            EXPECT_TRUE(got == reduceRows(src, dw).px) << "level " << int(level) << ", " << sw << " -> " << dw;
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

namespace {

const PixelFormat kAllFormats[] = {PixelFormat::pf1bit,  PixelFormat::pf4bit,  PixelFormat::pf8bit, PixelFormat::pf15bit,
                                   PixelFormat::pf16bit, PixelFormat::pf24bit, PixelFormat::pf32bit};

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

std::vector<int> lineOf(const TBitmap& b, bool vertical, int at = 0) {
    std::vector<int> out;
    const int n = vertical ? b.height() : b.width();
    for (int i = 0; i < n; ++i) {
        Color c = vertical ? b.pixel(at, i) : b.pixel(i, at);
        EXPECT_TRUE(redOf(c) == greenOf(c) && greenOf(c) == blueOf(c)) << "channels differ at " << i;
        out.push_back(blueOf(c));
    }
    return out;
}

std::vector<int> gProgress;
void recordProgress(int percent) { gProgress.push_back(percent); }

}  // namespace

// Values worked out from the formulas by hand, along both axes; lines one pixel across take the
// bilinear resampler with pixel centres aligned.
TEST(StretchEdges, HandWorkedLines) {
    struct Row {
        const char* name;
        int across;
        std::vector<int> in;
        int n;
        std::vector<int> want;
    };
    const Row rows[] = {
        {"whole factor: block means", 2, {10, 20, 30, 40}, 2, {15, 35}},
        {"width 1 still through the area pass", 2, {10, 20, 30, 40}, 1, {25}},
        // scale 98304, half 49152; the middle pixel counts half to each side:
        // (0*65536 + 100*32768 + 49152) div 98304 = 33, (100*32768 + 200*65536 + 49152) div 98304 = 167
        {"area 3 to 2", 2, {0, 100, 200}, 2, {33, 167}},
        // (255*65536 + 255*32768 + 49152) div 98304 = 255, (255*32768 + 0 + 49152) div 98304 = 85
        {"area 3 to 2 at full sums", 2, {255, 255, 0}, 2, {255, 85}},
        {"linear 2 to 3: 0, trunc(50 + 0.5), 100", 2, {0, 100}, 3, {0, 50, 100}},
        // sy = -0.25, 0.25, 0.75, 1.25 -> 0, 25, 75, 100 (edges clamp to the end pixels)
        {"bilinear 2 to 4", 1, {0, 100}, 4, {0, 25, 75, 100}},
        {"bilinear 3 to 2: sy 0.25, 1.75", 1, {0, 100, 200}, 2, {25, 175}},
        {"bilinear 1.5 rounds half to even", 1, {1, 2}, 1, {2}},
        {"bilinear 2.5 rounds half to even", 1, {2, 3}, 1, {2}},
        {"bilinear same size is the identity", 1, {7, 9, 11}, 3, {7, 9, 11}},
    };
    for (bool vertical : {false, true})
        for (const Row& r : rows) {
            SCOPED_TRACE(std::string(r.name) + (vertical ? " vertical" : " horizontal"));
            TBitmap b = greyLine(r.in, r.across, vertical);
            StretchBitmap(b, vertical ? r.across : r.n, vertical ? r.n : r.across);
            ASSERT_EQ(b.pixelFormat(), PixelFormat::pf24bit);
            for (int at = 0; at < r.across; ++at) EXPECT_EQ(lineOf(b, vertical, at), r.want);
        }
    // Across a one-pixel axis that grows, every new pixel repeats the line.
    TBitmap b = greyLine({0, 100}, 1, false);
    StretchBitmap(b, 4, 3);
    for (int y = 0; y < 3; ++y) EXPECT_EQ(lineOf(b, false, y), (std::vector<int>{0, 25, 75, 100}));
}

// Every format comes out 24-bit without a palette: at its own size with its colours kept, and
// one pixel stretched to 5 x 3 as that colour throughout.
TEST(StretchEdges, EveryFormatBecomes24Bit) {
    using korvel::testing::pixelDifference;
    for (PixelFormat pf : kAllFormats) {
        SCOPED_TRACE(bitsPerPixel(pf));
        TBitmap b(5, 3, pf);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) b.setRawPixel(x, y, uint32_t((x * 3 + y) % 2 ? 0 : 0x00FFFFFF));
        const TBitmap before = b;
        StretchBitmap(b, 5, 3);
        ASSERT_EQ(b.pixelFormat(), PixelFormat::pf24bit);
        EXPECT_TRUE(b.palette().empty());
        EXPECT_EQ(pixelDifference(b, before), "");

        TBitmap one(1, 1, pf);
        one.setRawPixel(0, 0, isPaletteFormat(pf) ? 1 : pf == PixelFormat::pf15bit ? 0x7FFF : 0xFFFFFF);
        TBitmap uniform(5, 3, PixelFormat::pf24bit);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) uniform.setRawPixel(x, y, one.pixel(0, 0));
        EXPECT_NE(one.pixel(0, 0), 0u);
        StretchBitmap(one, 5, 3);
        ASSERT_EQ(one.pixelFormat(), PixelFormat::pf24bit);
        EXPECT_EQ(pixelDifference(one, uniform), "");
    }
}

// Sizes below 1 and results over the pixel limit are refused before any work; the image stays.
TEST(StretchEdges, RefusedSizesLeaveTheImage) {
    static_assert(kDefaultPixelLimit < (uint64_t(1) << 29));
    struct Row {
        int w, h, nw, nh;
        bool tooLarge;
    };
    const Row rows[] = {{3, 3, 0, 3, false},  {3, 3, 3, 0, false},  {3, 3, -1, 5, false},
                        {3, 3, 4, -7, false}, {50, 50, 1 << 15, 1 << 14, true},
                        {50, 50, 1 << 20, 1 << 9, true}, {1, 50, 1 << 15, 1 << 14, true}};
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.w) + "x" + std::to_string(r.h) + " to " + std::to_string(r.nw) + "x" +
                     std::to_string(r.nh));
        const PixelFormat pf = r.w == 1 ? PixelFormat::pf24bit : PixelFormat::pf8bit;
        TBitmap b(r.w, r.h, pf);
        try {
            StretchBitmap(b, r.nw, r.nh);
            ADD_FAILURE() << "no error";
        } catch (const EImageTooLarge&) {
            EXPECT_TRUE(r.tooLarge);
        } catch (const Exception& e) {
            EXPECT_FALSE(r.tooLarge);
            EXPECT_NE(std::string(e.what()).find("at least 1"), std::string::npos) << e.what();
        }
        EXPECT_EQ(b.width(), r.w);
        EXPECT_EQ(b.pixelFormat(), pf);
    }
    TBitmap empty;
    StretchBitmap(empty, 10, 10);
    EXPECT_TRUE(empty.empty());
}

TEST(StretchEdges, ProgressCalls) {
    struct Row {
        int w, h, nw, nh;
        std::vector<int> want;
    };
    const Row rows[] = {
        {8, 8, 4, 4, {0, 50}}, {8, 8, 16, 8, {0}}, {8, 8, 8, 3, {50}}, {8, 8, 8, 8, {}}, {1, 8, 4, 4, {}},
    };
    for (const Row& r : rows) {
        gProgress.clear();
        TBitmap b(r.w, r.h, PixelFormat::pf24bit);
        StretchBitmap(b, r.nw, r.nh, recordProgress);
        EXPECT_EQ(gProgress, r.want) << r.w << "x" << r.h << " -> " << r.nw << "x" << r.nh;
    }
}

// The mask follows the pixels through the same arithmetic; a transparent index becomes its colour.
TEST(StretchEdges, MaskAndTransparencyFollow) {
    TBitmap b(4, 2, PixelFormat::pf8bit);
    auto mask = std::make_unique<TBitmap>(4, 2, PixelFormat::pf8bit);
    const uint8_t m[4] = {10, 20, 30, 40};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) mask->scanLine(y)[x] = m[x];
    b.setMask(std::move(mask));
    b.setTransparentIndex(3);
    const Color indexColour = b.palette()[3].color();
    StretchBitmap(b, 2, 2);
    ASSERT_NE(b.mask(), nullptr);
    EXPECT_EQ(b.mask()->width(), 2);
    EXPECT_EQ(b.mask()->scanLine(0)[0], 15);
    EXPECT_EQ(b.mask()->scanLine(1)[1], 35);
    EXPECT_EQ(b.transparency(), Transparency::Color);
    EXPECT_EQ(b.transparentColor(), indexColour);
}
