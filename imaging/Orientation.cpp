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

// The upright rectangle [x0, x1) x [y0, y1) the stored rows [from, to) land in.
struct Region {
    int x0, y0, x1, y1;
};

Region regionOfRows(const Mapping& m, int sw, int from, int to) {
    // The inverse of a mapping whose matrix only swaps and mirrors is its transpose.
    auto upright = [&](int sx, int sy, int& x, int& y) {
        x = m.ax * (sx - m.cx) + m.ay * (sy - m.cy);
        y = m.bx * (sx - m.cx) + m.by * (sy - m.cy);
    };
    int xa, ya, xb, yb;
    upright(0, from, xa, ya);
    upright(sw - 1, to - 1, xb, yb);
    return {std::min(xa, xb), std::min(ya, yb), std::max(xa, xb) + 1, std::max(ya, yb) + 1};
}

template <int N>
void remap(const TBitmap& src, TBitmap& dst, const Mapping& m, const Region& r) {
    // Tiles keep the column walks of the transposing orientations inside the cache.
    constexpr int kTile = 32;
    const ptrdiff_t stride = ptrdiff_t(src.stride());
    const ptrdiff_t stepX = m.ax * N + m.ay * stride;
    for (int ty = r.y0; ty < r.y1; ty += kTile) {
        const int yEnd = std::min(r.y1, ty + kTile);
        for (int tx = r.x0; tx < r.x1; tx += kTile) {
            const int xEnd = std::min(r.x1, tx + kTile);
            for (int y = ty; y < yEnd; ++y) {
                const int sx = m.ax * tx + m.bx * y + m.cx, sy = m.ay * tx + m.by * y + m.cy;
                const uint8_t* s = src.scanLine(sy) + ptrdiff_t(sx) * N;
                uint8_t* d = dst.scanLine(y) + ptrdiff_t(tx) * N;
                for (int x = tx; x < xEnd; ++x, s += stepX, d += N) std::memcpy(d, s, N);
            }
        }
    }
}

void remapAny(const TBitmap& src, TBitmap& dst, const Mapping& m, const Region& r) {
    switch (src.bitsPerPixel()) {
        case 8: remap<1>(src, dst, m, r); break;
        case 24: remap<3>(src, dst, m, r); break;
        default: remap<4>(src, dst, m, r); break;
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
    const Region whole{0, 0, w, h};
    TBitmap out(w, h, stored.pixelFormat(), uint64_t(w) * uint64_t(h));
    if (isPaletteFormat(stored.pixelFormat())) out.setPalette(stored.palette());
    remapAny(stored, out, m, whole);
    if (const TBitmap* mask = stored.mask()) {
        auto turned = std::make_unique<TBitmap>(w, h, PixelFormat::pf8bit, uint64_t(w) * uint64_t(h));
        remapAny(*mask, *turned, m, whole);
        out.setMask(std::move(turned));
    }
    if (stored.transparency() == Transparency::Color) out.setTransparentColor(stored.transparentColor());
    if (stored.transparency() == Transparency::Index) out.setTransparentIndex(stored.transparentIndex());
    return out;
}

void OrientRowsInto(const TBitmap& stored, TBitmap& upright, int orientation, int from, int to) {
    if (from >= to) return;
    const Mapping m = mappingFor(orientation, stored.width(), stored.height());
    remapAny(stored, upright, m, regionOfRows(m, stored.width(), from, to));
}

}  // namespace korvel
