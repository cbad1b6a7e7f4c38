// Area reduction by a whole factor k. When the source is exactly k times the destination, every
// span is k whole samples (weights 65536, no boundary fractions), scale = 65536k and
// half = 32768k, so for the block sum S
//   (65536 S + half) div scale = (2S + k) div 2k.
// Up to k = 128 that numerator stays below 2^16: block sums are added in 16-bit lanes and the
// division is a 16-bit multiply-high and a shift. The bytes are those of the general passes.
#include <algorithm>
#include <cstring>
#include <optional>

#include "imaging/Bitmap.h"
#include "imaging/StretchPasses.h"

#if defined(__x86_64__)
#include <immintrin.h>
#define KORVEL_STRETCH_X86 1
#endif

namespace korvel::stretch {

namespace {

struct WholeFactor {
    int k = 0;
    uint32_t m = 0;  // (n * m) >> (16 + shift) = n div 2k for every n <= 511k
    int shift = 0;
    uint8_t divide(uint32_t sum) const { return uint8_t(((2 * sum + uint32_t(k)) * m) >> (16 + shift)); }
};

// The factor when the table is a whole-factor reduction this path can take. Decided from the
// table itself, so the path is only ever taken where the identity above holds.
std::optional<WholeFactor> wholeFactorOf(const AreaTable& t) {
    const int64_t d = int64_t(t.spans.size());
    const int64_t k = t.spans.back().last / d;
    if (k < 2 || k > 128 || t.scale != k * kOne || t.half != k * kOne / 2) return std::nullopt;
    for (int64_t i = 0; i < d; ++i) {
        const AreaSpan& a = t.spans[size_t(i)];
        if (a.first != k * i || a.last != k * (i + 1) || a.wFirst != kOne || a.wLast != 0) return std::nullopt;
    }
    const uint64_t divisor = uint64_t(2 * k), nMax = uint64_t(511 * k);
    for (int shift = 0; shift < 16; ++shift) {
        const uint64_t p = uint64_t(1) << (16 + shift), m = (p + divisor - 1) / divisor;
        if (m > 0xFFFF) break;
        // floor(n m / p) = floor(n / divisor) for all n <= nMax when the excess times nMax < p.
        if ((m * divisor - p) * nMax < p) return WholeFactor{int(k), uint32_t(m), shift};
    }
    return std::nullopt;
}

// Output pixels from..to-1 of one row, one at a time.
void rowPlain(const uint8_t* src, uint8_t* dst, const WholeFactor& f, size_t from, size_t to) {
    const size_t step = 3 * size_t(f.k);
    for (size_t i = from; i < to; ++i) {
        const uint8_t* p = src + step * i;
        uint32_t s0 = 0, s1 = 0, s2 = 0;
        for (int j = 0; j < f.k; ++j, p += 3) s0 += p[0], s1 += p[1], s2 += p[2];
        dst[3 * i] = f.divide(s0);
        dst[3 * i + 1] = f.divide(s1);
        dst[3 * i + 2] = f.divide(s2);
    }
}

#ifdef KORVEL_STRETCH_X86
// A block of k pixels is read in loads of 16 bytes, one per 4 pixels. Each load is shuffled so
// that the (up to) four bytes of each channel lie side by side, [b b b b g g g g r r r r 0 0 0 0],
// and a multiply-add with ones turns neighbouring bytes into 16-bit pair sums [b b g g r r 0 0].
// Two blocks' pair sums then add horizontally into [B G R 0 B G R 0].
// The loads read up to 13 bytes past a block; callers keep them inside the row.
__attribute__((target("ssse3"))) __m128i channelMask(int pixels) {
    alignas(16) int8_t m[16];
    for (int j = 0; j < 16; ++j) m[j] = (j < 12 && j % 4 < pixels) ? int8_t(3 * (j % 4) + j / 4) : int8_t(-1);
    return _mm_load_si128(reinterpret_cast<const __m128i*>(m));
}

int chunksOf(int k) { return (k + 3) / 4; }
int tailPixels(int k) { return k - 4 * (chunksOf(k) - 1); }

// Outputs that can be made from whole 16-byte loads inside a row of k * dw pixels.
size_t vectorReach(const WholeFactor& f, size_t dw) {
    const int64_t step = 3 * int64_t(f.k), reach = 12 * int64_t(chunksOf(f.k) - 1) + 16;
    const int64_t room = step * int64_t(dw) - reach;
    return room < 0 ? 0 : size_t(std::min<int64_t>(int64_t(dw), room / step + 1));
}

// Pair sums of the block at p. Chunks is the number of loads, 0 when only known at run time.
template <int Chunks>
__attribute__((target("ssse3"))) inline __m128i pairs128(const uint8_t* p, int chunks, __m128i full, __m128i tail,
                                                         __m128i ones) {
    const int last = (Chunks ? Chunks : chunks) - 1;
    __m128i acc = _mm_maddubs_epi16(
        _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12 * last)), tail), ones);
    for (int c = 0; c < last; ++c, p += 12)
        acc = _mm_add_epi16(
            acc, _mm_maddubs_epi16(_mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), full), ones));
    return acc;
}

// Outputs from..to-1 (a multiple of 4 apart), four per step.
template <int Chunks>
__attribute__((target("ssse3"))) void rowSsse3(const uint8_t* src, uint8_t* dst, const WholeFactor& f, size_t from,
                                                size_t to) {
    const int chunks = chunksOf(f.k);
    const __m128i full = channelMask(4), tail = channelMask(tailPixels(f.k)), ones = _mm_set1_epi8(1);
    const __m128i k = _mm_set1_epi16(int16_t(f.k)), m = _mm_set1_epi16(int16_t(uint16_t(f.m)));
    const __m128i shift = _mm_cvtsi32_si128(f.shift);
    const __m128i compact = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const size_t step = 3 * size_t(f.k);
    for (size_t i = from; i < to; i += 4) {
        const uint8_t* p = src + step * i;
        const __m128i s01 = _mm_hadd_epi16(pairs128<Chunks>(p, chunks, full, tail, ones),
                                           pairs128<Chunks>(p + step, chunks, full, tail, ones));
        const __m128i s23 = _mm_hadd_epi16(pairs128<Chunks>(p + 2 * step, chunks, full, tail, ones),
                                           pairs128<Chunks>(p + 3 * step, chunks, full, tail, ones));
        const __m128i q01 = _mm_srl_epi16(_mm_mulhi_epu16(_mm_add_epi16(_mm_add_epi16(s01, s01), k), m), shift);
        const __m128i q23 = _mm_srl_epi16(_mm_mulhi_epu16(_mm_add_epi16(_mm_add_epi16(s23, s23), k), m), shift);
        const __m128i out = _mm_shuffle_epi8(_mm_packus_epi16(q01, q23), compact);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + 3 * i), out);
        const uint32_t rest = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(out, 8)));
        std::memcpy(dst + 3 * i + 8, &rest, 4);
    }
}

__attribute__((target("avx2"))) inline __m256i load2(const uint8_t* low, const uint8_t* high) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low))),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(high)), 1);
}

// The same with two blocks per register, block i in the low lane and block i + 4 in the high one.
template <int Chunks>
__attribute__((target("avx2"))) inline __m256i pairs256(const uint8_t* a, const uint8_t* b, int chunks, __m256i full,
                                                        __m256i tail, __m256i ones) {
    const int last = (Chunks ? Chunks : chunks) - 1;
    __m256i acc = _mm256_maddubs_epi16(_mm256_shuffle_epi8(load2(a + 12 * last, b + 12 * last), tail), ones);
    for (int c = 0; c < last; ++c, a += 12, b += 12)
        acc = _mm256_add_epi16(acc, _mm256_maddubs_epi16(_mm256_shuffle_epi8(load2(a, b), full), ones));
    return acc;
}

// Outputs from..to-1 (a multiple of 8 apart), eight per step.
template <int Chunks>
__attribute__((target("avx2"))) void rowAvx2(const uint8_t* src, uint8_t* dst, const WholeFactor& f, size_t from,
                                              size_t to) {
    const int chunks = chunksOf(f.k);
    const __m256i full = _mm256_broadcastsi128_si256(channelMask(4));
    const __m256i tail = _mm256_broadcastsi128_si256(channelMask(tailPixels(f.k)));
    const __m256i ones = _mm256_set1_epi8(1), k = _mm256_set1_epi16(int16_t(f.k));
    const __m256i m = _mm256_set1_epi16(int16_t(uint16_t(f.m)));
    const __m128i shift = _mm_cvtsi32_si128(f.shift);
    const __m256i compact = _mm256_broadcastsi128_si256(
        _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
    const __m256i join = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7);  // the two lanes' 12 bytes side by side
    const size_t step = 3 * size_t(f.k);
    for (size_t i = from; i < to; i += 8) {
        const uint8_t* p = src + step * i;
        const uint8_t* q = p + 4 * step;
        // Low lanes hold outputs i..i+3, high lanes i+4..i+7.
        const __m256i s01 = _mm256_hadd_epi16(pairs256<Chunks>(p, q, chunks, full, tail, ones),
                                              pairs256<Chunks>(p + step, q + step, chunks, full, tail, ones));
        const __m256i s23 = _mm256_hadd_epi16(pairs256<Chunks>(p + 2 * step, q + 2 * step, chunks, full, tail, ones),
                                              pairs256<Chunks>(p + 3 * step, q + 3 * step, chunks, full, tail, ones));
        const __m256i q01 =
            _mm256_srl_epi16(_mm256_mulhi_epu16(_mm256_add_epi16(_mm256_add_epi16(s01, s01), k), m), shift);
        const __m256i q23 =
            _mm256_srl_epi16(_mm256_mulhi_epu16(_mm256_add_epi16(_mm256_add_epi16(s23, s23), k), m), shift);
        const __m256i out =
            _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(_mm256_packus_epi16(q01, q23), compact), join);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 3 * i), _mm256_castsi256_si128(out));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + 3 * i + 16), _mm256_extracti128_si256(out, 1));
    }
}

using RowKernel = void (*)(const uint8_t*, uint8_t*, const WholeFactor&, size_t, size_t);

template <template <int> class Pick>
RowKernel byChunks(int chunks) {
    switch (chunks) {
        case 1: return Pick<1>::fn;
        case 2: return Pick<2>::fn;
        default: return Pick<0>::fn;
    }
}
template <int C>
struct PickSsse3 {
    static constexpr RowKernel fn = rowSsse3<C>;
};
template <int C>
struct PickAvx2 {
    static constexpr RowKernel fn = rowAvx2<C>;
};
#endif

class WholeHorizontal final : public HorizontalPass {
public:
    WholeHorizontal(const WholeFactor& f, size_t dw, VectorLevel level) : f_(f), dw_(dw) {
#ifdef KORVEL_STRETCH_X86
        const size_t reach = vectorReach(f, dw);
        if (level >= VectorLevel::Avx2) {
            wide_ = byChunks<PickAvx2>(chunksOf(f.k));
            wideEnd_ = reach & ~size_t(7);
        }
        if (level >= VectorLevel::Ssse3) {
            narrow_ = byChunks<PickSsse3>(chunksOf(f.k));
            narrowEnd_ = reach & ~size_t(3);
        }
        narrowEnd_ = std::max(narrowEnd_, wideEnd_);
#else
        (void)level;
#endif
    }

    void run(const uint8_t* src, uint8_t* dst) const override {
#ifdef KORVEL_STRETCH_X86
        if (wideEnd_ != 0) wide_(src, dst, f_, 0, wideEnd_);
        if (narrowEnd_ != wideEnd_) narrow_(src, dst, f_, wideEnd_, narrowEnd_);
#endif
        rowPlain(src, dst, f_, narrowEnd_, dw_);
    }

private:
    WholeFactor f_;
    size_t dw_;
#ifdef KORVEL_STRETCH_X86
    RowKernel wide_ = nullptr, narrow_ = nullptr;
#endif
    size_t wideEnd_ = 0, narrowEnd_ = 0;  // outputs [0, wideEnd_) 8 at a time, then 4 at a time
};

__attribute__((target_clones("avx2", "default"))) void setRow16(const uint8_t* r, uint16_t* acc, size_t n) {
    for (size_t i = 0; i < n; ++i) acc[i] = r[i];
}

__attribute__((target_clones("avx2", "default"))) void addRow16(const uint8_t* r, uint16_t* acc, size_t n) {
    for (size_t i = 0; i < n; ++i) acc[i] = uint16_t(acc[i] + r[i]);
}

__attribute__((target_clones("avx2", "default"))) void finishRow16(const uint16_t* acc, uint32_t k, uint32_t m,
                                                                    int shift, uint8_t* out, size_t n) {
    for (size_t i = 0; i < n; ++i) out[i] = uint8_t(((2 * uint32_t(acc[i]) + k) * m) >> (16 + shift));
}

}  // namespace

VectorLevel bestVectorLevel() {
#ifdef KORVEL_STRETCH_X86
    static const VectorLevel best = __builtin_cpu_supports("avx2")    ? VectorLevel::Avx2
                                    : __builtin_cpu_supports("ssse3") ? VectorLevel::Ssse3
                                                                      : VectorLevel::Plain;
    return best;
#else
    return VectorLevel::Plain;
#endif
}

std::unique_ptr<HorizontalPass> makeWholeHorizontal(const AreaTable& t, VectorLevel level) {
    const auto f = wholeFactorOf(t);
    if (!f) return nullptr;
    return std::make_unique<WholeHorizontal>(*f, t.spans.size(), std::min(level, bestVectorLevel()));
}

// Each output row is the rounded mean of k whole source rows.
bool verticalReduceWhole(RowSource& src, TBitmap& dst, const AreaTable& t) {
    const auto f = wholeFactorOf(t);
    if (!f) return false;
    const size_t n = size_t(dst.width()) * 3;
    std::vector<uint16_t> acc(n);
    for (int j = 0; j < dst.height(); ++j) {
        const int first = j * f->k;
        setRow16(src.row(first), acc.data(), n);
        for (int r = first + 1; r < first + f->k; ++r) addRow16(src.row(r), acc.data(), n);
        finishRow16(acc.data(), uint32_t(f->k), f->m, f->shift, dst.scanLine(j), n);
    }
    return true;
}

}  // namespace korvel::stretch
