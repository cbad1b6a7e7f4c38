// Reduction passes: each output sample is the mean of its source interval, every source
// sample weighted by how much of it the interval covers, in 16.16 fixed point.
//
// A channel can reach 255 * 65536 * (ratio + 1), which overflows 32 bits from a ratio of
// about 127:1; such reductions accumulate in 64 bits. The sums are the same either way, so
// the choice never changes a result.
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

template <typename Acc>
class AreaHorizontal final : public HorizontalPass {
public:
    explicit AreaHorizontal(AreaTable table) : t_(std::move(table)), div_(dividerFor(t_)) {}

    void run(const uint8_t* src, uint8_t* dst) const override {
        const Acc half = Acc(t_.half);
        for (const AreaSpan& a : t_.spans) {
            const uint8_t* s = src + 3 * size_t(a.first);
            Acc acc0 = Acc(s[0]) * Acc(a.wFirst), acc1 = Acc(s[1]) * Acc(a.wFirst), acc2 = Acc(s[2]) * Acc(a.wFirst);
            Acc in0 = 0, in1 = 0, in2 = 0;
            for (int32_t k = a.first + 1; k < a.last; ++k) {
                s += 3;
                in0 += s[0], in1 += s[1], in2 += s[2];
            }
            acc0 += in0 << 16, acc1 += in1 << 16, acc2 += in2 << 16;
            if (a.wLast != 0) {
                s = src + 3 * size_t(a.last);
                acc0 += Acc(s[0]) * Acc(a.wLast), acc1 += Acc(s[1]) * Acc(a.wLast), acc2 += Acc(s[2]) * Acc(a.wLast);
            }
            dst[0] = uint8_t(div_(acc0 + half));
            dst[1] = uint8_t(div_(acc1 + half));
            dst[2] = uint8_t(div_(acc2 + half));
            dst += 3;
        }
    }

private:
    AreaTable t_;
    Divider div_;
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

std::unique_ptr<HorizontalPass> makeHorizontalReduce(int sw, int dw) {
    AreaTable t = makeAreaTable(sw, dw);
    if (fitsIn32(t)) return std::make_unique<AreaHorizontal<uint32_t>>(std::move(t));
    return std::make_unique<AreaHorizontal<uint64_t>>(std::move(t));
}

void verticalReduce(RowSource& src, TBitmap& dst) {
    const AreaTable t = makeAreaTable(src.height(), dst.height());
    if (fitsIn32(t))
        reduceRows<uint32_t>(src, dst, t);
    else
        reduceRows<uint64_t>(src, dst, t);
}

}  // namespace korvel::stretch
