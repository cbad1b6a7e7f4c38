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

template <int N>
void remap(const TBitmap& src, TBitmap& dst, const Mapping& m) {
    // Tiles keep the column walks of the transposing orientations inside the cache.
    constexpr int kTile = 32;
    const ptrdiff_t stride = ptrdiff_t(src.stride());
    const ptrdiff_t stepX = m.ax * N + m.ay * stride;
    for (int ty = 0; ty < dst.height(); ty += kTile) {
        const int yEnd = std::min(dst.height(), ty + kTile);
        for (int tx = 0; tx < dst.width(); tx += kTile) {
            const int xEnd = std::min(dst.width(), tx + kTile);
            for (int y = ty; y < yEnd; ++y) {
                const int sx = m.ax * tx + m.bx * y + m.cx, sy = m.ay * tx + m.by * y + m.cy;
                const uint8_t* s = src.scanLine(sy) + ptrdiff_t(sx) * N;
                uint8_t* d = dst.scanLine(y) + ptrdiff_t(tx) * N;
                for (int x = tx; x < xEnd; ++x, s += stepX, d += N) std::memcpy(d, s, N);
            }
        }
    }
}

void remapAny(const TBitmap& src, TBitmap& dst, const Mapping& m) {
    switch (src.bitsPerPixel()) {
        case 8: remap<1>(src, dst, m); break;
        case 24: remap<3>(src, dst, m); break;
        default: remap<4>(src, dst, m); break;
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
    remapAny(stored, out, m);
    if (const TBitmap* mask = stored.mask()) {
        auto turned = std::make_unique<TBitmap>(w, h, PixelFormat::pf8bit, uint64_t(w) * uint64_t(h));
        remapAny(*mask, *turned, m);
        out.setMask(std::move(turned));
    }
    if (stored.transparency() == Transparency::Color) out.setTransparentColor(stored.transparentColor());
    if (stored.transparency() == Transparency::Index) out.setTransparentIndex(stored.transparentIndex());
    return out;
}

}  // namespace korvel
