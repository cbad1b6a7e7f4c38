#include "imaging/WideColorKernel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// GCC 12's AVX-512 headers start some results from an undefined register and then warn of it.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#define KORVEL_WIDE_KERNEL 1
#define KORVEL_WIDE __attribute__((target("avx512f,avx512bw,avx512vbmi,avx512vnni")))
#endif

namespace korvel {

namespace {

constexpr int kSegments = 32;  // half octaves of the matrix's sums
// Furthest the quadratics may be from the output curve, in levels, at every linear step.
constexpr double kMaxError = 0.35;

}  // namespace

struct WideColorKernel::Tables {
    // Input level to 15-bit linear light: low and high bytes, one 256-byte table each.
    alignas(64) uint8_t lo[3][256], hi[3][256];
    // Output curve of each channel: level = c0 + x (c1 + x c2) on the half octave holding x.
    alignas(64) float c0[3][kSegments], c1[3][kSegments], c2[3][kSegments];
    // Where each byte of 64 pixels comes from when splitting them by channel, and goes back to:
    // two permutes of two registers each, the second taking what the first made and the rest
    // (32-bit pixels split into two halves blended).
    alignas(64) uint8_t split3[3][64], splitLast3[3][64], join3[3][64], joinLast3[3][64];
    alignas(64) uint8_t split4[3][64], join4[4][64], joinLast4[4][64];
    // The matrix as word pairs: (red, green) and (blue, 0) shares of each output channel.
    int32_t pairRG[3], pairB[3];
    // Where the first half octave starts: 16 octaves below the end of the last, which holds
    // the brightest sum a colour out of the output's gamut can make.
    float bottom;

    // The level, before rounding, that the vector code gives output channel i for a sum x.
    float level(int i, float x) const {
        x = std::max(x, bottom);
        uint32_t bits;
        std::memcpy(&bits, &x, sizeof bits);
        const size_t s = size_t((bits >> 22) & (kSegments - 1));
        return std::fmaf(std::fmaf(c2[i][s], x, c1[i][s]), x, c0[i][s]);
    }

    void indexes() {
        for (int c = 0; c < 3; ++c)
            for (int p = 0; p < 64; ++p) {
                const int at = 3 * p + c;
                split3[c][p] = uint8_t(at < 128 ? at : 0);
                splitLast3[c][p] = uint8_t(at < 128 ? p : 64 + at - 128);
                split4[c][p] = uint8_t(4 * p + c);
            }
        for (int k = 0; k < 4; ++k)
            for (int i = 0; i < 64; ++i) {
                for (const int step : {3, 4}) {
                    const int n = 64 * k + i, p = n / step, c = n % step;
                    if (step == 3 && k == 3) continue;
                    (step == 3 ? join3 : join4)[k][i] = uint8_t(c == 1 ? 64 + p : p);
                    (step == 3 ? joinLast3 : joinLast4)[k][i] = uint8_t(c == 2 ? 64 + p : i);
                }
            }
    }
};

namespace {

// Output level at a sum x, read between the exact levels of the neighbouring linear steps.
double levelAt(const float* levels, double x, int shift) {
    const double l = std::clamp(std::ldexp(x, -shift), 0.0, double(WideColorKernel::kTop));
    const int i = std::min(int(l), WideColorKernel::kTop - 1);
    const double f = l - i;
    return levels[i] * (1 - f) + levels[i + 1] * f;
}

// The quadratic through the curve at the three Chebyshev nodes of [a, b].
void fit(const float* levels, int shift, double a, double b, float& c0, float& c1, float& c2) {
    double x[3], y[3];
    for (int n = 0; n < 3; ++n) {
        x[n] = (a + b) / 2 + (b - a) / 2 * std::cos((2 * n + 1) * std::numbers::pi / 6);
        y[n] = levelAt(levels, x[n], shift);
    }
    const double d1 = (y[1] - y[0]) / (x[1] - x[0]);
    const double d2 = ((y[2] - y[1]) / (x[2] - x[1]) - d1) / (x[2] - x[0]);
    c2 = float(d2);
    c1 = float(d1 - d2 * (x[0] + x[1]));
    c0 = float(y[0] - d1 * x[0] + d2 * x[0] * x[1]);
}

#if KORVEL_WIDE_KERNEL

__mmask64 firstBytes(int n) { return n >= 64 ? ~__mmask64(0) : n <= 0 ? 0 : (__mmask64(1) << n) - 1; }

KORVEL_WIDE __m512i load(const void* p) { return _mm512_load_si512(p); }

// A table freshly loaded for a permute to overwrite: a load costs no shuffle port, where a
// copy of a register holding it would.
KORVEL_WIDE __m512i fresh(const void* p) {
    __m512i v;
    asm volatile("vmovdqa64 %1, %0" : "=v"(v) : "m"(*static_cast<const __m512i*>(p)));
    return v;
}

// A 256-entry byte table looked up for 64 indexes: two permutes of 128 entries each, and the
// index's top bit choosing between them.
KORVEL_WIDE __m512i lookUp(const uint8_t (&table)[256], __m512i v, __mmask64 upper) {
    const __m512i low = _mm512_permutex2var_epi8(fresh(table), v, load(table + 64));
    const __m512i high = _mm512_permutex2var_epi8(fresh(table + 128), v, load(table + 192));
    return _mm512_mask_blend_epi8(upper, low, high);
}

KORVEL_WIDE __m512 coefficient(const float (&c)[kSegments], __m512i segment) {
    return _mm512_permutex2var_ps(_mm512_castsi512_ps(fresh(c)), segment, _mm512_load_ps(c + 16));
}

// 16 sums of linear light to output levels.
KORVEL_WIDE __m512i encode(const WideColorKernel::Tables& t, int i, __m512i sum) {
    const __m512 x = _mm512_max_ps(_mm512_cvtepi32_ps(sum), _mm512_set1_ps(t.bottom));
    // x lies within the 32 half octaves, so the permutes' low five bits of its exponent and first
    // mantissa bit tell them apart.
    const __m512i s = _mm512_srli_epi32(_mm512_castps_si512(x), 22);
    const __m512 y = _mm512_fmadd_ps(_mm512_fmadd_ps(coefficient(t.c2[i], s), x, coefficient(t.c1[i], s)), x,
                                     coefficient(t.c0[i], s));
    return _mm512_cvtps_epi32(y);
}

// 64 pixels of Step bytes, the first `bytes` of them present (all in every block but the last).
template <int Step, bool Whole>
KORVEL_WIDE inline void convertBlock(const WideColorKernel::Tables& t, uint8_t* p, int bytes) {
    const __m512i zero = _mm512_setzero_si512();
    __m512i in[Step];
    for (int r = 0; r < Step; ++r)
        in[r] = Whole ? _mm512_loadu_si512(p + 64 * r) : _mm512_maskz_loadu_epi8(firstBytes(bytes - 64 * r), p + 64 * r);
    // Split into blue, green and red, 64 of each in pixel order.
    __m512i ch[3];
    for (int c = 0; c < 3; ++c) {
        if constexpr (Step == 3) {
            const __m512i first = _mm512_permutex2var_epi8(in[0], load(t.split3[c]), in[1]);
            ch[c] = _mm512_permutex2var_epi8(first, load(t.splitLast3[c]), in[2]);
        } else {
            const __m512i idx = load(t.split4[c]);
            ch[c] = _mm512_mask_blend_epi8(~__mmask64(0) << 32, _mm512_permutex2var_epi8(in[0], idx, in[1]),
                                           _mm512_permutex2var_epi8(in[2], idx, in[3]));
        }
    }
    // Linear light as words, red first; then two to a dword, (red, green) and (blue, 0), for the
    // multiply-adds. Unpacking works within 16-byte lanes; the packs below undo it.
    __m512i w[3][2];
    for (int j = 0; j < 3; ++j) {
        const __m512i v = ch[2 - j];
        const __mmask64 upper = _mm512_movepi8_mask(v);
        const __m512i lo = lookUp(t.lo[j], v, upper), hi = lookUp(t.hi[j], v, upper);
        w[j][0] = _mm512_unpacklo_epi8(lo, hi);
        w[j][1] = _mm512_unpackhi_epi8(lo, hi);
    }
    __m512i rg[4], b0[4];
    for (int h = 0; h < 2; ++h) {
        rg[2 * h] = _mm512_unpacklo_epi16(w[0][h], w[1][h]);
        rg[2 * h + 1] = _mm512_unpackhi_epi16(w[0][h], w[1][h]);
        b0[2 * h] = _mm512_unpacklo_epi16(w[2][h], zero);
        b0[2 * h + 1] = _mm512_unpackhi_epi16(w[2][h], zero);
    }
    __m512i out[3];  // red, green, blue
    for (int i = 0; i < 3; ++i) {
        const __m512i crg = _mm512_set1_epi32(t.pairRG[i]), cb = _mm512_set1_epi32(t.pairB[i]);
        __m512i d[4];
        for (int k = 0; k < 4; ++k) d[k] = encode(t, i, _mm512_dpwssd_epi32(_mm512_madd_epi16(rg[k], crg), b0[k], cb));
        out[i] = _mm512_packus_epi16(_mm512_packus_epi32(d[0], d[1]), _mm512_packus_epi32(d[2], d[3]));
    }
    // Back to blue, green, red (and the fourth byte as it was).
    for (int k = 0; k < Step; ++k) {
        const __m512i first = _mm512_permutex2var_epi8(out[2], load(Step == 3 ? t.join3[k] : t.join4[k]), out[1]);
        __m512i v = _mm512_permutex2var_epi8(first, load(Step == 3 ? t.joinLast3[k] : t.joinLast4[k]), out[0]);
        if constexpr (Step == 4) v = _mm512_mask_blend_epi8(0x8888888888888888ULL, v, in[k]);
        if constexpr (Whole)
            _mm512_storeu_si512(p + 64 * k, v);
        else
            _mm512_mask_storeu_epi8(p + 64 * k, firstBytes(bytes - 64 * k), v);
    }
}

template <int Step>
KORVEL_WIDE void convertWide(const WideColorKernel::Tables& t, uint8_t* p, int count) {
    for (; count >= 64; count -= 64, p += 64 * Step) convertBlock<Step, true>(t, p, 64 * Step);
    if (count > 0) convertBlock<Step, false>(t, p, count * Step);
}

bool processorHasWide() {
    static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                            __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vnni");
    return has;
}

#else

bool processorHasWide() { return false; }

#endif

}  // namespace

WideColorKernel::WideColorKernel(std::unique_ptr<Tables> t) : t_(std::move(t)) {}
WideColorKernel::~WideColorKernel() = default;

std::unique_ptr<const WideColorKernel> WideColorKernel::make(const Matrix& m, const Linear& linear, const Levels& levels) {
    if (!processorHasWide()) return nullptr;
    auto t = std::make_unique<Tables>();
    // The most fraction bits for which every share fits a signed word and a sum of three, at
    // most kTop times 65535, fits a signed dword.
    int shift = 14;
    auto fits = [&](int s) {
        for (const auto& row : m) {
            double sum = 0;
            for (double v : row) {
                if (std::fabs(v) * (1 << s) > 32767) return false;
                sum += std::fabs(v) * (1 << s) + 1;
            }
            if (sum > 65535) return false;
        }
        return true;
    };
    while (shift > 6 && !fits(shift)) --shift;
    if (!fits(shift)) return nullptr;
    for (size_t i = 0; i < 3; ++i) {
        int32_t c[3];
        for (size_t j = 0; j < 3; ++j) c[j] = int32_t(std::lround(std::ldexp(m[i][j], shift)));
        t->pairRG[i] = int32_t(uint32_t(uint16_t(c[0])) | uint32_t(uint16_t(c[1])) << 16);
        t->pairB[i] = int32_t(uint16_t(c[2]));
    }
    for (size_t c = 0; c < 3; ++c)
        for (size_t v = 0; v < 256; ++v) {
            const int l = int(std::lround(std::clamp(linear[c][v], 0.0, 1.0) * kTop));
            t->lo[c][v] = uint8_t(l), t->hi[c][v] = uint8_t(l >> 8);
        }
    // White is kTop << shift, just below 2^(15 + shift); a colour out of the output's gamut can
    // reach kTop times a row's positive shares, one or two octaves more. The 16 octaves of half
    // octaves end above that, and the first takes every sum under it.
    double brightest = 0;
    for (const auto& row : m) {
        double positive = 0;
        for (double v : row) positive += std::max(std::round(std::ldexp(v, shift)), 0.0);
        brightest = std::max(brightest, std::ldexp(positive, -shift));
    }
    const int topExponent = 15 + shift + (brightest < 2 ? 1 : 2);
    if (brightest >= 4) return nullptr;
    t->bottom = std::ldexp(1.0f, topExponent - 16);
    for (int c = 0; c < 3; ++c)
        for (int h = 0; h < kSegments; ++h) {
            const double octave = std::ldexp(1.0, topExponent - 16 + h / 2);
            const double a = octave * (h % 2 ? 1.5 : 1.0), b = octave * (h % 2 ? 2.0 : 1.5);
            // The permutes take the low five bits of the exponent and first mantissa bit.
            const int slot = ((127 + topExponent - 16 + h / 2) * 2 + h % 2) & (kSegments - 1);
            fit(levels[size_t(c)], shift, a, b, t->c0[c][slot], t->c1[c][slot], t->c2[c][slot]);
        }
    for (int c = 0; c < 3; ++c) {
        if (c > 0 && levels[size_t(c)] == levels[size_t(c - 1)]) continue;
        for (int l = 0; l <= kTop; ++l)
            if (!(std::fabs(t->level(c, float(l << shift)) - levels[size_t(c)][l]) <= kMaxError)) return nullptr;
    }
    t->indexes();
    return std::unique_ptr<const WideColorKernel>(new WideColorKernel(std::move(t)));
}

void WideColorKernel::convertRow(uint8_t* p, int count, int step) const noexcept {
#if KORVEL_WIDE_KERNEL
    if (step == 3)
        convertWide<3>(*t_, p, count);
    else
        convertWide<4>(*t_, p, count);
#else
    (void)p, (void)count, (void)step;
#endif
}

}  // namespace korvel
