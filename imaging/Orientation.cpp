#include "imaging/Orientation.h"

#include <algorithm>
#include <cstring>

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

// Copies the stored rows [from, to) to their upright places. The walk follows the stored rows,
// which a decoder has just written and the cache prefetches, in tiles that keep the upright
// rows written by a transposing orientation in the cache.
template <int N>
void remap(const TBitmap& src, TBitmap& dst, const Mapping& m, int from, int to) {
    constexpr int kTile = 32;
    // The inverse of a mapping whose matrix only swaps and mirrors is its transpose.
    const ptrdiff_t dstStride = ptrdiff_t(dst.stride()), stepX = m.bx * dstStride + m.ax * N;
    for (int ty = from; ty < to; ty += kTile) {
        const int yEnd = std::min(to, ty + kTile);
        for (int tx = 0; tx < src.width(); tx += kTile) {
            const int xEnd = std::min(src.width(), tx + kTile);
            for (int sy = ty; sy < yEnd; ++sy) {
                const int x = m.ax * (tx - m.cx) + m.ay * (sy - m.cy), y = m.bx * (tx - m.cx) + m.by * (sy - m.cy);
                const uint8_t* s = src.scanLine(sy) + ptrdiff_t(tx) * N;
                uint8_t* d = dst.scanLine(y) + ptrdiff_t(x) * N;
                for (int sx = tx; sx < xEnd; ++sx, s += N, d += stepX) std::memcpy(d, s, N);
            }
        }
    }
}

void remapAny(const TBitmap& src, TBitmap& dst, const Mapping& m, int from, int to) {
    switch (src.bitsPerPixel()) {
        case 8: remap<1>(src, dst, m, from, to); break;
        case 24: remap<3>(src, dst, m, from, to); break;
        default: remap<4>(src, dst, m, from, to); break;
    }
}

}  // namespace

TBitmap OrientUpright(const TBitmap& stored, int orientation) {
    if (orientation < 2 || orientation > 8 || stored.empty()) return stored;
    const int bpp = stored.bitsPerPixel();
    if (bpp != 8 && bpp != 24 && bpp != 32) {
        TBitmap wide(stored);
        wide.convertTo24();
        return OrientUpright(wide, orientation);
    }
    const bool swap = orientationSwapsSides(orientation);
    const int w = swap ? stored.height() : stored.width(), h = swap ? stored.width() : stored.height();
    const Mapping m = mappingFor(orientation, stored.width(), stored.height());
    TBitmap out(w, h, stored.pixelFormat(), uint64_t(w) * uint64_t(h));
    if (isPaletteFormat(stored.pixelFormat())) out.setPalette(stored.palette());
    remapAny(stored, out, m, 0, stored.height());
    if (const TBitmap* mask = stored.mask()) {
        auto turned = std::make_unique<TBitmap>(w, h, PixelFormat::pf8bit, uint64_t(w) * uint64_t(h));
        remapAny(*mask, *turned, m, 0, stored.height());
        out.setMask(std::move(turned));
    }
    if (stored.transparency() == Transparency::Color) out.setTransparentColor(stored.transparentColor());
    if (stored.transparency() == Transparency::Index) out.setTransparentIndex(stored.transparentIndex());
    return out;
}

void OrientRowsInto(const TBitmap& stored, TBitmap& upright, int orientation, int from, int to) {
    if (from >= to) return;
    const Mapping m = mappingFor(orientation, stored.width(), stored.height());
    remapAny(stored, upright, m, from, to);
}

}  // namespace korvel
