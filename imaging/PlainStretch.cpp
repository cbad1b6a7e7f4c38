#include "imaging/PlainStretch.h"

#include <cstdlib>
#include <vector>

#include "imaging/Bitmap.h"

namespace korvel {

namespace {

// Maps each destination step k (0..|dstLen|-1) to a source coordinate; negative dstLen mirrors.
struct AxisMap {
    std::vector<int> dst, src;
};

AxisMap mapAxis(int srcStart, int srcLen, int dstStart, int dstLen, int dstLimit) {
    AxisMap m;
    int n = std::abs(dstLen);
    if (n == 0 || srcLen <= 0) return m;
    m.dst.reserve(n);
    m.src.reserve(n);
    for (int k = 0; k < n; ++k) {
        int d = dstLen > 0 ? dstStart + k : dstStart - k;
        if (d < 0 || d >= dstLimit) continue;
        m.dst.push_back(d);
        m.src.push_back(srcStart + int(int64_t(k) * srcLen / n));
    }
    return m;
}

uint32_t encodeFor(const TBitmap& dst, Color c) {
    switch (dst.pixelFormat()) {
        case PixelFormat::pf15bit: return packColor15(c);
        case PixelFormat::pf16bit: return packColor16(c);
        case PixelFormat::pf24bit:
        case PixelFormat::pf32bit: return c;
        default: return uint32_t(nearestPaletteIndex(dst.palette(), c));
    }
}

uint8_t blend(uint8_t s, uint8_t d, unsigned a) { return uint8_t((s * a + d * (255 - a) + 127) / 255); }

void copyImpl(const TBitmap& src, const Rect& sr, TBitmap& dst, const Rect& dr, bool honourAlpha) {
    if (src.empty() || dst.empty()) return;
    AxisMap xs = mapAxis(sr.left, sr.width(), dr.left, dr.width(), dst.width());
    AxisMap ys = mapAxis(sr.top, sr.height(), dr.top, dr.height(), dst.height());
    bool sameFormat = src.pixelFormat() == dst.pixelFormat() &&
                      (!isPaletteFormat(src.pixelFormat()) || src.palette() == dst.palette());
    bool anyAlpha = honourAlpha && (src.mask() || src.transparency() != Transparency::None);
    for (size_t j = 0; j < ys.dst.size(); ++j) {
        int sy = ys.src[j], dy = ys.dst[j];
        if (sy < 0 || sy >= src.height()) continue;
        for (size_t i = 0; i < xs.dst.size(); ++i) {
            int sx = xs.src[i], dx = xs.dst[i];
            if (sx < 0 || sx >= src.width()) continue;
            unsigned a = anyAlpha ? src.alphaAt(sx, sy) : 255;
            if (a == 0) continue;
            if (a == 255 && sameFormat) {
                dst.setRawPixel(dx, dy, src.rawPixel(sx, sy));
                continue;
            }
            Color c = src.pixel(sx, sy);
            if (a != 255) {
                Color d = dst.pixel(dx, dy);
                c = makeColor(blend(redOf(c), redOf(d), a), blend(greenOf(c), greenOf(d), a),
                              blend(blueOf(c), blueOf(d), a));
            }
            dst.setRawPixel(dx, dy, encodeFor(dst, c));
        }
    }
}

}  // namespace

void stretchCopy(const TBitmap& src, const Rect& srcRect, TBitmap& dst, const Rect& dstRect) {
    copyImpl(src, srcRect, dst, dstRect, false);
}

void stretchDraw(const TBitmap& src, const Rect& srcRect, TBitmap& dst, const Rect& dstRect) {
    copyImpl(src, srcRect, dst, dstRect, true);
}

}  // namespace korvel
