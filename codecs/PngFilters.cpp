#include "codecs/PngFilters.h"

#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace korvel::png {

namespace {

// Paeth predictor without branches (PNG standard, filter type 4): the neighbour nearest to
// a + b - c, ties going to a, then b.
inline uint8_t paeth(int a, int b, int c) {
    const int p = b - c, q = a - c;
    const int pa = std::abs(p), pb = std::abs(q), pc = std::abs(p + q);
    const int ab = (pb < pa) ? b : a;
    const int pab = (pb < pa) ? pb : pa;
    return uint8_t((pc < pab) ? c : ab);
}

template <int Bpp>
void unSub(uint8_t* row, size_t n) {
    for (size_t i = Bpp; i < n; ++i) row[i] = uint8_t(row[i] + row[i - Bpp]);
}

void unUp(uint8_t* row, const uint8_t* prev, size_t n) {
    for (size_t i = 0; i < n; ++i) row[i] = uint8_t(row[i] + prev[i]);
}

template <int Bpp>
void unAverage(uint8_t* row, const uint8_t* prev, size_t n) {
    const size_t head = n < size_t(Bpp) ? n : Bpp;
    for (size_t i = 0; i < head; ++i) row[i] = uint8_t(row[i] + (prev[i] >> 1));
    for (size_t i = Bpp; i < n; ++i) row[i] = uint8_t(row[i] + ((row[i - Bpp] + prev[i]) >> 1));
}

template <int Bpp>
void unPaeth(uint8_t* row, const uint8_t* prev, size_t n) {
    const size_t head = n < size_t(Bpp) ? n : Bpp;
    for (size_t i = 0; i < head; ++i) row[i] = uint8_t(row[i] + prev[i]);
    for (size_t i = Bpp; i < n; ++i) row[i] = uint8_t(row[i] + paeth(row[i - Bpp], prev[i], prev[i - Bpp]));
}

#if defined(__SSE2__)
// Three- and four-byte pixels: one pixel's channels at a time in 16-bit lanes. The pixel chain
// is serial (each pixel needs its decoded left neighbour), so the win is across channels.
inline __m128i load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return _mm_cvtsi32_si128(int(v));
}
template <int Bpp>
inline void storePixel(uint8_t* p, __m128i v) {
    uint32_t w = uint32_t(_mm_cvtsi128_si32(v));
    std::memcpy(p, &w, Bpp);
}
inline __m128i abs16(__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v)); }
inline __m128i select(__m128i mask, __m128i yes, __m128i no) {
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// The row buffers carry kRowSlack spare bytes, so the 4-byte loads of 3-byte pixels stay inside.
template <int Bpp>
void unPaethSse(uint8_t* row, const uint8_t* prev, size_t n) {
    // The left neighbour stays in 16-bit lanes from pixel to pixel, so the serial chain holds
    // only the predictor itself; packing for the store is off the chain.
    const __m128i zero = _mm_setzero_si128(), low = _mm_set1_epi16(0xFF);
    __m128i a = zero, c = zero;
    for (size_t i = 0; i + Bpp <= n; i += Bpp) {
        const __m128i b = _mm_unpacklo_epi8(load32(prev + i), zero);
        const __m128i x = _mm_unpacklo_epi8(load32(row + i), zero);
        const __m128i p = _mm_sub_epi16(b, c);
        const __m128i pa = abs16(p);
        const __m128i q = _mm_sub_epi16(a, c);
        const __m128i pb = abs16(q), pc = abs16(_mm_add_epi16(p, q));
        const __m128i smallest = _mm_min_epi16(pc, _mm_min_epi16(pa, pb));
        __m128i pred = select(_mm_cmpeq_epi16(smallest, pb), b, c);
        pred = select(_mm_cmpeq_epi16(smallest, pa), a, pred);
        a = _mm_and_si128(_mm_add_epi16(x, pred), low);
        storePixel<Bpp>(row + i, _mm_packus_epi16(a, zero));
        c = b;
    }
}

template <int Bpp>
void unSubSse(uint8_t* row, size_t n) {
    __m128i a = _mm_setzero_si128();
    for (size_t i = 0; i + Bpp <= n; i += Bpp) {
        a = _mm_add_epi8(load32(row + i), a);
        storePixel<Bpp>(row + i, a);
    }
}

template <int Bpp>
void unAverageSse(uint8_t* row, const uint8_t* prev, size_t n) {
    const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi8(1);
    __m128i a = zero;
    for (size_t i = 0; i + Bpp <= n; i += Bpp) {
        const __m128i b = load32(prev + i);
        // avg_epu8 rounds up; the filter floors, so take off the carried low bit.
        const __m128i avg = _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), one));
        a = _mm_add_epi8(load32(row + i), avg);
        storePixel<Bpp>(row + i, a);
    }
}
#endif

template <int Bpp>
bool unfilterBpp(uint8_t type, uint8_t* row, const uint8_t* prev, size_t n) {
    switch (type) {
        case kFilterNone: return true;
        case kFilterSub:
#if defined(__SSE2__)
            if constexpr (Bpp == 3 || Bpp == 4) {
                unSubSse<Bpp>(row, n);
                return true;
            }
#endif
            unSub<Bpp>(row, n);
            return true;
        case kFilterUp: unUp(row, prev, n); return true;
        case kFilterAverage:
#if defined(__SSE2__)
            if constexpr (Bpp == 3 || Bpp == 4) {
                unAverageSse<Bpp>(row, prev, n);
                return true;
            }
#endif
            unAverage<Bpp>(row, prev, n);
            return true;
        case kFilterPaeth:
#if defined(__SSE2__)
            if constexpr (Bpp == 3 || Bpp == 4) {
                unPaethSse<Bpp>(row, prev, n);
                return true;
            }
#endif
            unPaeth<Bpp>(row, prev, n);
            return true;
        default: return false;
    }
}

template <int Bpp>
void filterBpp(uint8_t type, const uint8_t* row, const uint8_t* prev, uint8_t* out, size_t n) {
    const size_t head = n < size_t(Bpp) ? n : Bpp;
    switch (type) {
        case kFilterSub:
            for (size_t i = 0; i < head; ++i) out[i] = row[i];
            for (size_t i = Bpp; i < n; ++i) out[i] = uint8_t(row[i] - row[i - Bpp]);
            return;
        case kFilterUp:
            for (size_t i = 0; i < n; ++i) out[i] = uint8_t(row[i] - prev[i]);
            return;
        case kFilterAverage:
            for (size_t i = 0; i < head; ++i) out[i] = uint8_t(row[i] - (prev[i] >> 1));
            for (size_t i = Bpp; i < n; ++i) out[i] = uint8_t(row[i] - ((row[i - Bpp] + prev[i]) >> 1));
            return;
        case kFilterPaeth:
            for (size_t i = 0; i < head; ++i) out[i] = uint8_t(row[i] - prev[i]);
            for (size_t i = Bpp; i < n; ++i) out[i] = uint8_t(row[i] - paeth(row[i - Bpp], prev[i], prev[i - Bpp]));
            return;
        default: std::memcpy(out, row, n); return;
    }
}

}  // namespace

bool unfilterRow(uint8_t type, uint8_t* row, const uint8_t* prev, size_t n, int bpp) {
    switch (bpp) {
        case 1: return unfilterBpp<1>(type, row, prev, n);
        case 2: return unfilterBpp<2>(type, row, prev, n);
        case 3: return unfilterBpp<3>(type, row, prev, n);
        case 4: return unfilterBpp<4>(type, row, prev, n);
        case 6: return unfilterBpp<6>(type, row, prev, n);
        default: return unfilterBpp<8>(type, row, prev, n);
    }
}

void filterRow(uint8_t type, const uint8_t* row, const uint8_t* prev, uint8_t* out, size_t n, int bpp) {
    switch (bpp) {
        case 1: filterBpp<1>(type, row, prev, out, n); return;
        case 2: filterBpp<2>(type, row, prev, out, n); return;
        case 3: filterBpp<3>(type, row, prev, out, n); return;
        case 4: filterBpp<4>(type, row, prev, out, n); return;
        case 6: filterBpp<6>(type, row, prev, out, n); return;
        default: filterBpp<8>(type, row, prev, out, n); return;
    }
}

uint8_t chooseFilter(const uint8_t* row, const uint8_t* prev, uint8_t* scratch, size_t n, int bpp) {
    uint8_t best = kFilterNone;
    uint64_t bestScore = UINT64_MAX;
    for (uint8_t type = kFilterNone; type <= kFilterPaeth; ++type) {
        uint8_t* out = scratch + size_t(type) * n;
        filterRow(type, row, prev, out, n, bpp);
        uint64_t score = 0;
        // Bytes read as signed: small differences either way cost little after deflate.
        for (size_t i = 0; i < n; ++i) score += uint8_t(out[i] < 128 ? out[i] : 256 - out[i]);
        if (score < bestScore) bestScore = score, best = type;
    }
    return best;
}

}  // namespace korvel::png
