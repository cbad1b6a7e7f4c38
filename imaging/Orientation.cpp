#include "imaging/Orientation.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// GCC 12's AVX-512 headers start some results from an undefined register and then warn of it.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#define KORVEL_WIDE_TURN 1
#define KORVEL_WIDE __attribute__((target("avx512f,avx512bw,avx512vbmi")))
#endif

namespace korvel {

namespace {

// Where the upright picture's pixel (x, y) comes from in the stored raster:
// sx = ax*x + bx*y + cx, sy = ay*x + by*y + cy, as EXIF defines each orientation.
struct Mapping {
    int ax, bx, cx, ay, by, cy;
};

Mapping mappingFor(int orientation, int sw, int sh) {
    switch (orientation) {
        case 2: return {-1, 0, sw - 1, 0, 1, 0};           // mirrored left to right
        case 3: return {-1, 0, sw - 1, 0, -1, sh - 1};     // turned 180 degrees
        case 4: return {1, 0, 0, 0, -1, sh - 1};           // mirrored top to bottom
        case 5: return {0, 1, 0, 1, 0, 0};                 // transposed
        case 6: return {0, 1, 0, -1, 0, sh - 1};           // needs a quarter turn right
        case 7: return {0, -1, sw - 1, -1, 0, sh - 1};     // transposed the other way
        case 8: return {0, -1, sw - 1, 1, 0, 0};           // needs a quarter turn left
        default: return {1, 0, 0, 0, 1, 0};
    }
}

// Copies the stored pixels of rows [from, to) and columns [x0, x1) to their upright places. The
// walk follows the stored rows, which a decoder has just written and the cache prefetches, in
// tiles that keep the upright rows written by a transposing orientation in the cache.
template <int N>
void remap(const TBitmap& src, TBitmap& dst, const Mapping& m, int from, int to, int x0, int x1) {
    constexpr int kTile = 32;
    // The inverse of a mapping whose matrix only swaps and mirrors is its transpose.
    const ptrdiff_t dstStride = ptrdiff_t(dst.stride()), stepX = m.bx * dstStride + m.ax * N;
    for (int ty = from; ty < to; ty += kTile) {
        const int yEnd = std::min(to, ty + kTile);
        for (int tx = x0; tx < x1; tx += kTile) {
            const int xEnd = std::min(x1, tx + kTile);
            for (int sy = ty; sy < yEnd; ++sy) {
                const int x = m.ax * (tx - m.cx) + m.ay * (sy - m.cy), y = m.bx * (tx - m.cx) + m.by * (sy - m.cy);
                const uint8_t* s = src.scanLine(sy) + ptrdiff_t(tx) * N;
                uint8_t* d = dst.scanLine(y) + ptrdiff_t(x) * N;
                for (int sx = tx; sx < xEnd; ++sx, s += N, d += stepX) std::memcpy(d, s, N);
            }
        }
    }
}

#if KORVEL_WIDE_TURN

bool processorHasWideTurn() {
    static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                            __builtin_cpu_supports("avx512vbmi");
    return has;
}

// Permute indexes: 16 three-byte pixels widened to dwords and narrowed back, the four stages of
// the transpose, and a run reversed.
struct WideTurnIndexes {
    alignas(64) uint8_t widen[64], narrow[64];
    alignas(64) uint32_t low[4][16], high[4][16], reverse[16];
    WideTurnIndexes() {
        for (int i = 0; i < 64; ++i) widen[i] = uint8_t(i % 4 < 3 ? i / 4 * 3 + i % 4 : 0);
        for (int i = 0; i < 64; ++i) narrow[i] = uint8_t(i < 48 ? i / 3 * 4 + i % 3 : 0);
        // Stage s swaps the off-diagonal blocks of side b = 8 >> s between rows i and i + b.
        for (int s = 0; s < 4; ++s)
            for (int l = 0, b = 8 >> s; l < 16; ++l) {
                low[s][l] = uint32_t(l & b ? 16 + l - b : l);
                high[s][l] = uint32_t(l & b ? 16 + l : l + b);
            }
        for (int l = 0; l < 16; ++l) reverse[l] = uint32_t(15 - l);
    }
};

// Blocks of 16 x 16 stored pixels: rows as dwords, transposed in registers, each column written
// as one run of 16 upright pixels. Returns the columns done, a multiple of 16 from 0.
template <int N>
KORVEL_WIDE int transposeBlocks(const TBitmap& src, TBitmap& dst, const Mapping& m, int sy0) {
    static const WideTurnIndexes ix;
    const __mmask64 pixelBytes = N == 3 ? (__mmask64(1) << 48) - 1 : ~__mmask64(0);
    const int columns = src.width() / 16 * 16;
    for (int sx0 = 0; sx0 < columns; sx0 += 16) {
        __m512i r[16];
        for (int i = 0; i < 16; ++i) {
            const uint8_t* s = src.scanLine(sy0 + i) + ptrdiff_t(sx0) * N;
            r[i] = _mm512_maskz_loadu_epi8(pixelBytes, s);
            if constexpr (N == 3) r[i] = _mm512_maskz_permutexvar_epi8(0x7777777777777777ULL, _mm512_load_si512(ix.widen), r[i]);
        }
        for (int st = 0; st < 4; ++st) {
            const int b = 8 >> st;
            const __m512i lo = _mm512_load_si512(ix.low[st]), hi = _mm512_load_si512(ix.high[st]);
            for (int i = 0; i < 16; ++i) {
                if (i & b) continue;
                const __m512i a = r[i], c = r[i + b];
                r[i] = _mm512_permutex2var_epi32(a, lo, c);
                r[i + b] = _mm512_permutex2var_epi32(a, hi, c);
            }
        }
        // r[j] now holds stored column sx0 + j, rows sy0 to sy0 + 15: one upright row's run.
        const int xFirst = m.ay * (sy0 - m.cy), xRun = m.ay > 0 ? xFirst : xFirst - 15;
        for (int j = 0; j < 16; ++j) {
            __m512i v = r[j];
            if (m.ay < 0) v = _mm512_permutexvar_epi32(_mm512_load_si512(ix.reverse), v);
            if constexpr (N == 3) v = _mm512_permutexvar_epi8(_mm512_load_si512(ix.narrow), v);
            uint8_t* d = dst.scanLine(m.bx * (sx0 + j - m.cx)) + ptrdiff_t(xRun) * N;
            _mm512_mask_storeu_epi8(d, pixelBytes, v);
        }
    }
    return columns;
}

#endif

void remapAny(const TBitmap& src, TBitmap& dst, const Mapping& m, int from, int to) {
    const int w = src.width();
    switch (src.bitsPerPixel()) {
        case 8: remap<1>(src, dst, m, from, to, 0, w); return;
        case 24:
        case 32: break;
        default: return;
    }
    const bool three = src.bitsPerPixel() == 24;
    auto plain = [&](int rowsFrom, int rowsTo, int x0) {
        three ? remap<3>(src, dst, m, rowsFrom, rowsTo, x0, w) : remap<4>(src, dst, m, rowsFrom, rowsTo, x0, w);
    };
#if KORVEL_WIDE_TURN
    // A quarter turn moves every pixel to another row: whole blocks go through registers.
    if (m.ax == 0 && processorHasWideTurn())
        for (; from + 16 <= to; from += 16)
            plain(from, from + 16, three ? transposeBlocks<3>(src, dst, m, from) : transposeBlocks<4>(src, dst, m, from));
#endif
    plain(from, to, 0);
}

}  // namespace

TBitmap OrientUpright(const TBitmap& stored, int orientation) {
    if (orientation < 2 || orientation > 8 || stored.empty()) return stored;
    const int bpp = stored.bitsPerPixel();
    if (bpp != 8 && bpp != 24 && bpp != 32) {
        // A palette widens index for index, so a transparent index stays the one it was.
        TBitmap wide(stored);
        wide.setPixelFormat(isPaletteFormat(stored.pixelFormat()) ? PixelFormat::pf8bit : PixelFormat::pf24bit);
        return OrientUpright(wide, orientation);
    }
    const bool swap = orientationSwapsSides(orientation);
    const int w = swap ? stored.height() : stored.width(), h = swap ? stored.width() : stored.height();
    TBitmap out(w, h, stored.pixelFormat(), uint64_t(w) * uint64_t(h));
    remapAny(stored, out, mappingFor(orientation, stored.width(), stored.height()), 0, stored.height());
    OrientExtrasInto(stored, out, orientation);
    return out;
}

void OrientRowsInto(const TBitmap& stored, TBitmap& upright, int orientation, int from, int to) {
    if (from >= to) return;
    const Mapping m = mappingFor(orientation, stored.width(), stored.height());
    remapAny(stored, upright, m, from, to);
}

void OrientExtrasInto(const TBitmap& stored, TBitmap& upright, int orientation) {
    if (isPaletteFormat(stored.pixelFormat())) upright.setPalette(stored.palette());
    if (const TBitmap* mask = stored.mask()) {
        auto turned = std::make_unique<TBitmap>(upright.width(), upright.height(), PixelFormat::pf8bit,
                                                uint64_t(upright.width()) * uint64_t(upright.height()));
        OrientRowsInto(*mask, *turned, orientation, 0, mask->height());
        upright.setMask(std::move(turned));
    } else {
        upright.clearMask();
    }
    upright.clearTransparency();
    if (stored.transparency() == Transparency::Color) upright.setTransparentColor(stored.transparentColor());
    if (stored.transparency() == Transparency::Index) upright.setTransparentIndex(stored.transparentIndex());
}

}  // namespace korvel
