#pragma once
// Internal pieces of StretchBitmap: the per-call tables and the separable passes on 24-bit rows.
// Not for use outside imaging/.
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/Bitmap.h"

namespace korvel {

namespace stretch {

constexpr int32_t kOne = 65536;  // weight 1.0 in 16.16 fixed point

// Four-tap Lagrange weights for one output column (or row) of an enlargement from s to d samples.
struct CubicTap {
    int32_t p;         // trunc(pos), the source sample at or left of pos
    int32_t w[4];      // weights of samples p-1, p, p+1, p+2
    long double f;     // frac(pos), for the linear edge stretches
};
std::vector<CubicTap> makeCubicTable(int s, int d);

// One output pixel of an area reduction: source samples first..last, the first weighted by
// wFirst, those between by kOne, the last by wLast (0 when the interval ends on a boundary).
struct AreaSpan {
    int32_t first, last;
    int32_t wFirst, wLast;
};
struct AreaTable {
    std::vector<AreaSpan> spans;
    int64_t scale = 0, half = 0;
    int64_t maxWeight = 0;  // largest total weight of one span, bounding the accumulators
};
AreaTable makeAreaTable(int s, int d);

// Exact floor(n / d) for 0 <= n <= nMax by one multiplication and a shift when that is
// possible in 64 bits; falls back to division otherwise.
struct Divider {
    uint64_t m = 0, d = 1;
    int shift = 0;
    bool byMultiply = false;
    Divider(uint64_t divisor, uint64_t nMax);
    uint64_t operator()(uint64_t n) const { return byMultiply ? (n * m) >> shift : n / d; }
};

// trunc(a * (1 - f) + b * f + 0.5) evaluated in extended precision.
uint8_t lerpExtended(unsigned a, unsigned b, long double f);

// The same value, found in double precision whenever that cannot differ from the extended
// result: both lie within 1e-12 of the exact sum, so only sums that close to a whole number
// need the slow evaluation.
struct LinearWeight {
    long double f;
    double fd, gd;  // f and 1 - f rounded to double
    explicit LinearWeight(long double frac = 0) : f(frac), fd(double(frac)), gd(double(1.0L - frac)) {}
};
inline uint8_t lerp(unsigned a, unsigned b, const LinearWeight& w) {
    double v = a * w.gd + b * w.fd + 0.5;
    int t = int(v);
    if (v - t > 1e-9 && t + 1 - v > 1e-9) return uint8_t(t);
    return lerpExtended(a, b, w.f);
}

// Rows of a 24-bit image handed out from the top down. A row pointer stays valid until a row
// four or more below it is requested.
class RowSource {
public:
    virtual ~RowSource() = default;
    virtual const uint8_t* row(int y) = 0;
    virtual int height() const = 0;
};

// A horizontal pass maps one 24-bit source row of sw pixels to one of dw pixels.
class HorizontalPass {
public:
    virtual ~HorizontalPass() = default;
    virtual void run(const uint8_t* src, uint8_t* dst) const = 0;
};
// Vector instruction sets a pass may use. Every level gives the same bytes; tests run each
// level the machine has against the plain one.
enum class VectorLevel { Plain, Ssse3, Avx2 };
VectorLevel bestVectorLevel();

std::unique_ptr<HorizontalPass> makeHorizontalEnlarge(int sw, int dw);
std::unique_ptr<HorizontalPass> makeHorizontalReduce(int sw, int dw, VectorLevel level = bestVectorLevel());

// Vertical passes write every row of dst (24 bits per pixel, the source's width).
void verticalEnlarge(RowSource& src, TBitmap& dst);
void verticalReduce(RowSource& src, TBitmap& dst);

// Reductions by a whole factor (the source exactly k times the destination), where every output
// sample is the rounded mean of k whole ones. The horizontal pass is null and the vertical one
// returns false when the table is not of that kind.
std::unique_ptr<HorizontalPass> makeWholeHorizontal(const AreaTable& t, VectorLevel level);
bool verticalReduceWhole(RowSource& src, TBitmap& dst, const AreaTable& t);

// An image one pixel wide or high resampled to nw x nh, 24 bits per pixel.
TBitmap bilinearResample(const TBitmap& image, int nw, int nh);

}  // namespace stretch
}  // namespace korvel
