// Reduction passes: each output sample is the mean of its source interval, every source
// sample weighted by how much of it the interval covers, in 16.16 fixed point.
//
// A channel can reach 255 * 65536 * (ratio + 1), which overflows 32 bits from a ratio of
// about 127:1; such reductions accumulate in 64 bits. The sums are the same either way, so
// the choice never changes a result.
#include <algorithm>
#include <cstring>
#include <limits>
#include <type_traits>

#include "imaging/Bitmap.h"
#include "imaging/StretchPasses.h"

#if defined(__x86_64__)
#include <immintrin.h>
#define KORVEL_STRETCH_X86 1
#endif

namespace korvel::stretch {

namespace {

// Whether 32-bit unsigned accumulators hold every sum of this table exactly.
bool fitsIn32(const AreaTable& t) {
    return t.maxWeight <= (int64_t(std::numeric_limits<uint32_t>::max()) - t.half) / 255;
}

Divider dividerFor(const AreaTable& t) { return Divider(uint64_t(t.scale), uint64_t(255 * t.maxWeight + t.half)); }

#ifdef KORVEL_STRETCH_X86
// One output pixel of the vector row pass: its block of whole pixels [first, end) read in loads
// of 16 bytes (4 pixels each, the last one holding `tail` pixels), and the boundary terms
// s[first] * fin and s[end] * fout, each with a zero in the fourth lane.
struct VectorSpan {
    alignas(16) uint32_t fin[4], fout[4];
    int32_t off, endOff, chunks, tail;
};

// Output pixels whose reads all stay inside a row of sw pixels, or 0 when some block is too long
// for 16-bit sums; the vector pass takes the first ones, a multiple of 4.
size_t vectorSpans(const std::vector<int32_t>& first, const std::vector<uint32_t>& frac, int sw,
                   std::vector<VectorSpan>& out) {
    const size_t d = first.size() - 1;
    out.clear();
    for (size_t i = 0; i < d; ++i) {
        const int32_t length = first[i + 1] - first[i];
        if (length > 128) return 0;  // 255 * 128 is the largest block sum a 16-bit lane holds
        VectorSpan v{};
        v.chunks = (length + 3) / 4;
        v.tail = length - 4 * (v.chunks - 1);
        v.off = 3 * first[i];
        v.endOff = frac[i + 1] ? 3 * first[i + 1] : v.off;  // no term: any pixel inside the row
        for (int c = 0; c < 3; ++c) v.fin[c] = frac[i], v.fout[c] = frac[i + 1];
        if (int64_t(v.off) + 12 * (v.chunks - 1) + 16 > 3 * int64_t(sw) || int64_t(v.endOff) + 4 > 3 * int64_t(sw))
            break;
        out.push_back(v);
    }
    return out.size() & ~size_t(3);
}

__attribute__((target("avx2"))) inline __m128i spanPairs(const uint8_t* p, const VectorSpan& v, const __m128i* masks,
                                                         __m128i ones) {
    __m128i acc = _mm_maddubs_epi16(
        _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12 * (v.chunks - 1))),
                         masks[v.tail - 1]),
        ones);
    for (int c = 0; c < v.chunks - 1; ++c, p += 12)
        acc = _mm_add_epi16(
            acc, _mm_maddubs_epi16(_mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), masks[3]),
                                   ones));
    return acc;
}

// The pixels at byte offsets a and b, each widened to four 32-bit lanes (the fourth is the next
// byte, which the zero weight drops).
__attribute__((target("avx2"))) inline __m256i twoPixels(const uint8_t* src, int32_t a, int32_t b) {
    uint32_t pa, pb;
    std::memcpy(&pa, src + a, 4);
    std::memcpy(&pb, src + b, 4);
    return _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(int64_t(pa | uint64_t(pb) << 32)));
}

__attribute__((target("avx2"))) inline __m256i twoRows(const uint32_t* a, const uint32_t* b) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(a))),
                                   _mm_load_si128(reinterpret_cast<const __m128i*>(b)), 1);
}

// 65536 S - s[first] fin + s[end] fout + half for outputs i and i + 1, one per lane, and the
// quotient by multiplication: 32 x 32 -> 64-bit products on even and odd lanes apart.
__attribute__((target("avx2"))) inline __m256i spanQuotients(const uint8_t* src, __m128i sums, const VectorSpan& a,
                                                             const VectorSpan& b, __m256i half, __m256i m,
                                                             __m128i shift) {
    const __m256i s = _mm256_slli_epi32(_mm256_cvtepu16_epi32(sums), 16);
    const __m256i in = _mm256_mullo_epi32(twoPixels(src, a.off, b.off), twoRows(a.fin, b.fin));
    const __m256i out = _mm256_mullo_epi32(twoPixels(src, a.endOff, b.endOff), twoRows(a.fout, b.fout));
    const __m256i acc = _mm256_add_epi32(_mm256_add_epi32(_mm256_sub_epi32(s, in), out), half);
    const __m256i even = _mm256_srl_epi64(_mm256_mul_epu32(acc, m), shift);
    const __m256i odd = _mm256_srl_epi64(_mm256_mul_epu32(_mm256_srli_epi64(acc, 32), m), shift);
    return _mm256_or_si256(even, _mm256_slli_epi64(odd, 32));
}

// Outputs 0..count-1 (a multiple of 4) of a row, four per step.
__attribute__((target("avx2"))) void spansAvx2(const uint8_t* src, uint8_t* dst, const VectorSpan* spans,
                                                size_t count, uint32_t half32, uint64_t m64, int shift64) {
    __m128i masks[4];
    for (int t = 1; t <= 4; ++t) {
        alignas(16) int8_t m[16];
        for (int j = 0; j < 16; ++j) m[j] = (j < 12 && j % 4 < t) ? int8_t(3 * (j % 4) + j / 4) : int8_t(-1);
        masks[t - 1] = _mm_load_si128(reinterpret_cast<const __m128i*>(m));
    }
    const __m128i ones = _mm_set1_epi8(1), shift = _mm_cvtsi32_si128(shift64);
    const __m256i half = _mm256_set1_epi32(int(half32)), m = _mm256_set1_epi64x(int64_t(m64));
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    const __m128i compact = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    for (size_t i = 0; i < count; i += 4, dst += 12) {
        const VectorSpan* v = spans + i;
        const __m128i s01 = _mm_hadd_epi16(spanPairs(src + v[0].off, v[0], masks, ones),
                                           spanPairs(src + v[1].off, v[1], masks, ones));
        const __m128i s23 = _mm_hadd_epi16(spanPairs(src + v[2].off, v[2], masks, ones),
                                           spanPairs(src + v[3].off, v[3], masks, ones));
        const __m256i q01 = spanQuotients(src, s01, v[0], v[1], half, m, shift);
        const __m256i q23 = spanQuotients(src, s23, v[2], v[3], half, m, shift);
        // u16 lanes [o0 o2 | o1 o3], then bytes; dwords reordered to o0 o1 o2 o3.
        const __m256i w = _mm256_packus_epi32(q01, q23);
        const __m256i b = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(w, w), order);
        const __m128i out = _mm_shuffle_epi8(_mm256_castsi256_si128(b), compact);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), out);
        const uint32_t rest = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(out, 8)));
        std::memcpy(dst + 8, &rest, 4);
    }
}
#endif

// Span i covers whole source pixels first..last-1 minus the fraction fr of pixel first, plus
// the fraction fr' of pixel last. So acc = 65536 * (block sum) - fr * s[first] + fr' * s[last],
// where each boundary term serves two neighbouring spans. Unsigned wrap-around in between is
// harmless: the final sums are those of the direct formula and fit the accumulator.
template <typename Acc>
class AreaHorizontal final : public HorizontalPass {
public:
    AreaHorizontal(const AreaTable& t, VectorLevel level) : div_(dividerFor(t)), half_(Acc(t.half)) {
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
#ifdef KORVEL_STRETCH_X86
        // The vector pass works in 32-bit lanes and multiplies by a 32-bit factor.
        if (std::is_same_v<Acc, uint32_t> && level >= VectorLevel::Avx2 && div_.byMultiply && div_.m >> 32 == 0)
            vectorEnd_ = vectorSpans(first_, frac_, first_[d], spans_);
#else
        (void)level;
#endif
    }

    void run(const uint8_t* src, uint8_t* dst) const override {
#ifdef KORVEL_STRETCH_X86
        if (vectorEnd_ != 0) spansAvx2(src, dst, spans_.data(), vectorEnd_, uint32_t(half_), div_.m, div_.shift);
#endif
        const size_t from = vectorEnd_;
        if (div_.byMultiply) {
            switch (minLength_) {
                case 1: runWith<1, true>(src, dst, from); return;
                case 2: runWith<2, true>(src, dst, from); return;
                case 3: runWith<3, true>(src, dst, from); return;
                default: runWith<4, true>(src, dst, from); return;
            }
        }
        runWith<1, false>(src, dst, from);
    }

private:
    // L source pixels of every block are summed unrolled, the rest in a loop.
    // Outputs from..d-1; the left boundary term of output i is s[first] * frac_[i].
    template <int L, bool ByMultiply>
    void runWith(const uint8_t* src, uint8_t* dst, size_t from) const {
        const size_t d = first_.size() - 1;
        const Acc half = half_;
        const uint64_t m = div_.m, divisor = div_.d;
        const int shift = div_.shift;
        auto divide = [&](Acc n) -> uint8_t {
            if constexpr (ByMultiply) return uint8_t((uint64_t(n) * m) >> shift);
            else return uint8_t(uint64_t(n) / divisor);
        };
        if (from == d) return;
        const uint8_t* left = src + 3 * size_t(first_[from]);
        const Acc fl = Acc(frac_[from]);
        Acc b0 = left[0] * fl, b1 = left[1] * fl, b2 = left[2] * fl;  // boundary term of the span's left edge
        dst += 3 * from;
        for (size_t i = from; i < d; ++i) {
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
    size_t vectorEnd_ = 0;  // outputs [0, vectorEnd_) are made by the vector pass
#ifdef KORVEL_STRETCH_X86
    std::vector<VectorSpan> spans_;
#endif
};

// GCC builds an AVX2 and a plain copy of each row loop; clang cannot clone templates, so a clang
// build (the fuzz targets) keeps the plain one.
#if defined(__clang__)
#define KORVEL_ROW_CLONES
#else
#define KORVEL_ROW_CLONES __attribute__((target_clones("avx2", "default")))
#endif

template <typename Acc>
KORVEL_ROW_CLONES void setWeighted(const uint8_t* r, uint32_t w, Acc* acc, size_t n) {
    for (size_t i = 0; i < n; ++i) acc[i] = Acc(r[i]) * w;
}

template <typename Acc>
KORVEL_ROW_CLONES void addWeighted(const uint8_t* r, uint32_t w, Acc* acc, size_t n) {
    for (size_t i = 0; i < n; ++i) acc[i] += Acc(r[i]) * w;
}

template <typename Acc>
KORVEL_ROW_CLONES void addWhole(const uint8_t* r, Acc* acc, size_t n) {
    for (size_t i = 0; i < n; ++i) acc[i] += Acc(r[i]) << 16;
}

template <typename Acc>
KORVEL_ROW_CLONES void finishByMultiply(const Acc* acc, Acc half, uint64_t m, int shift, uint8_t* out,
                                         size_t n) {
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
    level = std::min(level, bestVectorLevel());
    if (fitsIn32(t)) return std::make_unique<AreaHorizontal<uint32_t>>(t, level);
    return std::make_unique<AreaHorizontal<uint64_t>>(t, level);
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
