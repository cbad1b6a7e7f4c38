// Reduction passes: each output sample is the mean of its source interval, every source
// sample weighted by how much of it the interval covers, in 16.16 fixed point.
//
// A channel can reach 255 * 65536 * (ratio + 1), which overflows 32 bits from a ratio of
// about 127:1; such reductions accumulate in 64 bits. The sums are the same either way, so
// the choice never changes a result.
#include <algorithm>
#include <cstring>
#include <limits>

#include "imaging/Bitmap.h"
#include "imaging/StretchPasses.h"

namespace korvel::stretch {

namespace {

// Whether 32-bit unsigned accumulators hold every sum of this table exactly.
bool fitsIn32(const AreaTable& t) {
    return t.maxWeight <= (int64_t(std::numeric_limits<uint32_t>::max()) - t.half) / 255;
}

Divider dividerFor(const AreaTable& t) { return Divider(uint64_t(t.scale), uint64_t(255 * t.maxWeight + t.half)); }

// Span i covers whole source pixels first..last-1 minus the fraction fr of pixel first, plus
// the fraction fr' of pixel last. So acc = 65536 * (block sum) - fr * s[first] + fr' * s[last],
// where each boundary term serves two neighbouring spans. Unsigned wrap-around in between is
// harmless: the final sums are those of the direct formula and fit the accumulator.
template <typename Acc>
class AreaHorizontal final : public HorizontalPass {
public:
    explicit AreaHorizontal(const AreaTable& t) : div_(dividerFor(t)), half_(Acc(t.half)) {
        const size_t d = t.spans.size();
        first_.resize(d + 1);
        frac_.resize(d + 1);
        minLength_ = INT32_MAX;
        for (size_t i = 0; i < d; ++i) {
            first_[i] = t.spans[i].first;
            frac_[i] = uint32_t(kOne - t.spans[i].wFirst);
            minLength_ = std::min(minLength_, t.spans[i].last - t.spans[i].first);
        }
        first_[d] = t.spans[d - 1].last;
        frac_[d] = 0;  // the last boundary is the source's right edge
    }

    void run(const uint8_t* src, uint8_t* dst) const override {
        if (div_.byMultiply) {
            switch (minLength_) {
                case 1: runWith<1, true>(src, dst); return;
                case 2: runWith<2, true>(src, dst); return;
                case 3: runWith<3, true>(src, dst); return;
                default: runWith<4, true>(src, dst); return;
            }
        }
        runWith<1, false>(src, dst);
    }

private:
    // L source pixels of every block are summed unrolled, the rest in a loop.
    template <int L, bool ByMultiply>
    void runWith(const uint8_t* src, uint8_t* dst) const {
        const size_t d = first_.size() - 1;
        const Acc half = half_;
        const uint64_t m = div_.m, divisor = div_.d;
        const int shift = div_.shift;
        auto divide = [&](Acc n) -> uint8_t {
            if constexpr (ByMultiply) return uint8_t((uint64_t(n) * m) >> shift);
            else return uint8_t(uint64_t(n) / divisor);
        };
        Acc b0 = 0, b1 = 0, b2 = 0;  // boundary term of the span's left edge (0 at the image edge)
        for (size_t i = 0; i < d; ++i) {
            const int32_t begin = first_[i], end = first_[i + 1];
            const uint8_t* s = src + 3 * size_t(begin);
            Acc s0 = 0, s1 = 0, s2 = 0;
            for (int k = 0; k < L; ++k) s0 += s[3 * k], s1 += s[3 * k + 1], s2 += s[3 * k + 2];
            for (int32_t k = begin + L; k < end; ++k) {
                const uint8_t* p = src + 3 * size_t(k);
                s0 += p[0], s1 += p[1], s2 += p[2];
            }
            Acc n0 = 0, n1 = 0, n2 = 0;
            if (const Acc f = Acc(frac_[i + 1])) {
                const uint8_t* p = src + 3 * size_t(end);
                n0 = Acc(p[0]) * f, n1 = Acc(p[1]) * f, n2 = Acc(p[2]) * f;
            }
            dst[0] = divide((s0 << 16) - b0 + n0 + half);
            dst[1] = divide((s1 << 16) - b1 + n1 + half);
            dst[2] = divide((s2 << 16) - b2 + n2 + half);
            dst += 3;
            b0 = n0, b1 = n1, b2 = n2;
        }
    }

    Divider div_;
    Acc half_;
    std::vector<int32_t> first_;
    std::vector<uint32_t> frac_;
    int32_t minLength_ = 1;
};

template <typename Acc>
__attribute__((target_clones("avx2", "default"))) void setWeighted(const uint8_t* r, uint32_t w, Acc* acc, size_t n) {
    for (size_t i = 0; i < n; ++i) acc[i] = Acc(r[i]) * w;
}

template <typename Acc>
__attribute__((target_clones("avx2", "default"))) void addWeighted(const uint8_t* r, uint32_t w, Acc* acc, size_t n) {
    for (size_t i = 0; i < n; ++i) acc[i] += Acc(r[i]) * w;
}

template <typename Acc>
__attribute__((target_clones("avx2", "default"))) void addWhole(const uint8_t* r, Acc* acc, size_t n) {
    for (size_t i = 0; i < n; ++i) acc[i] += Acc(r[i]) << 16;
}

template <typename Acc>
__attribute__((target_clones("avx2", "default"))) void finishByMultiply(const Acc* acc, Acc half, uint64_t m,
                                                                         int shift, uint8_t* out, size_t n) {
    for (size_t i = 0; i < n; ++i) out[i] = uint8_t((uint64_t(acc[i] + half) * m) >> shift);
}

template <typename Acc>
void finish(const Acc* acc, Acc half, const Divider& div, uint8_t* out, size_t n) {
    if (div.byMultiply) {
        finishByMultiply(acc, half, div.m, div.shift, out, n);
        return;
    }
    for (size_t i = 0; i < n; ++i) out[i] = uint8_t(div(uint64_t(acc[i] + half)));
}

template <typename Acc>
void reduceRows(RowSource& src, TBitmap& dst, const AreaTable& t) {
    const size_t n = size_t(dst.width()) * 3;
    const Divider div = dividerFor(t);
    std::vector<Acc> acc(n);
    for (int j = 0; j < dst.height(); ++j) {
        const AreaSpan& a = t.spans[size_t(j)];
        setWeighted(src.row(a.first), uint32_t(a.wFirst), acc.data(), n);
        for (int32_t k = a.first + 1; k < a.last; ++k) addWhole(src.row(k), acc.data(), n);
        if (a.wLast != 0) addWeighted(src.row(a.last), uint32_t(a.wLast), acc.data(), n);
        finish(acc.data(), Acc(t.half), div, dst.scanLine(j), n);
    }
}

}  // namespace

std::unique_ptr<HorizontalPass> makeHorizontalReduce(int sw, int dw, VectorLevel level) {
    AreaTable t = makeAreaTable(sw, dw);
    if (auto whole = makeWholeHorizontal(t, level)) return whole;
    if (fitsIn32(t)) return std::make_unique<AreaHorizontal<uint32_t>>(t);
    return std::make_unique<AreaHorizontal<uint64_t>>(t);
}

void verticalReduce(RowSource& src, TBitmap& dst) {
    const AreaTable t = makeAreaTable(src.height(), dst.height());
    if (verticalReduceWhole(src, dst, t)) return;
    if (fitsIn32(t))
        reduceRows<uint32_t>(src, dst, t);
    else
        reduceRows<uint64_t>(src, dst, t);
}

}  // namespace korvel::stretch
