// The resampler for images one pixel wide or high, where the four-tap passes have no
// neighbours to work with: bilinear over both axes at once, enlarging or reducing, with
// pixel centres aligned, in double precision.
#include <cmath>
#include <vector>

#include "imaging/Bitmap.h"
#include "base/Errors.h"
#include "imaging/StretchPasses.h"

namespace korvel::stretch {

namespace {

// Nearest integer, halves to even (the default rounding mode), kept inside a byte.
uint8_t roundedByte(double v) {
    double r = std::nearbyint(v);
    return uint8_t(r < 0 ? 0 : r > 255 ? 255 : r);
}

}  // namespace

TBitmap bilinearResample(const TBitmap& image, int nw, int nh) {
    const int w = image.width(), h = image.height();
    if (w < 1 || h < 1) throw Exception("Assertion failure");
    const double xs = double(w) / nw, ys = double(h) / nh;
    TBitmap dst(nw, nh, PixelFormat::pf24bit);
    TBitmap converted;
    const TBitmap* src = &image;
    if (image.pixelFormat() != PixelFormat::pf24bit) {
        converted = image;
        converted.convertTo24();
        src = &converted;
    }
    std::vector<const uint8_t*> srcRows(static_cast<size_t>(h));
    for (int y = 0; y < h; ++y) srcRows[size_t(y)] = src->scanLine(y);

    for (int y = 0; y < nh; ++y) {
        const double sy = (y + 0.5) * ys - 0.5;
        const int iy = int(std::floor(sy));
        const double fy = sy - iy;
        const uint8_t* upper = srcRows[size_t(iy < 0 ? 0 : iy)];
        const uint8_t* lower = srcRows[size_t(iy + 1 > h - 1 ? h - 1 : iy + 1)];
        uint8_t* out = dst.scanLine(y);
        for (int x = 0; x < nw; ++x, out += 3) {
            const double sx = (x + 0.5) * xs - 0.5;
            const int ix = int(std::floor(sx));
            const double fx = sx - ix;
            const size_t l = 3 * size_t(ix < 0 ? 0 : ix), r = 3 * size_t(ix + 1 > w - 1 ? w - 1 : ix + 1);
            for (int c = 0; c < 3; ++c) {
                const int tl = upper[l + c], tr = upper[r + c], bl = lower[l + c], br = lower[r + c];
                out[c] = roundedByte(fx * (tr - tl) + fx * fy * (br + tl - tr - bl) + fy * (bl - tl) + tl);
            }
        }
    }
    return dst;
}

}  // namespace korvel::stretch
