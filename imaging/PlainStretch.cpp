#include "imaging/PlainStretch.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
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

// Destination columns with a source column inside the source, in the order of the axis map.
struct Columns {
    std::vector<int> dst, src;
    int lo = 0, hi = -1;  // smallest and largest destination column
};

Columns validColumns(const AxisMap& xs, int srcWidth) {
    Columns c;
    for (size_t i = 0; i < xs.dst.size(); ++i) {
        if (xs.src[i] < 0 || xs.src[i] >= srcWidth) continue;
        c.dst.push_back(xs.dst[i]);
        c.src.push_back(xs.src[i]);
    }
    if (!c.dst.empty()) {
        auto [lo, hi] = std::minmax_element(c.dst.begin(), c.dst.end());
        c.lo = *lo;
        c.hi = *hi;
    }
    return c;
}

// Byte offsets of the columns for pixels of n bytes.
std::vector<size_t> offsets(const std::vector<int>& cols, size_t n) {
    std::vector<size_t> out(cols.size());
    for (size_t i = 0; i < cols.size(); ++i) out[i] = size_t(cols[i]) * n;
    return out;
}

template <size_t N>
void gatherRow(const uint8_t* s, uint8_t* d, const size_t* so, const size_t* dof, size_t count) {
    for (size_t i = 0; i < count; ++i) std::memcpy(d + dof[i], s + so[i], N);
}

// Source pixels as blue, green, red; a 32-bit destination gets a zero fourth byte, as the
// colour value 0x00RRGGBB has.
template <size_t N>
void gatherBgrRow(const uint8_t* bgr, uint8_t* d, const size_t* so, const size_t* dof, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        std::memcpy(d + dof[i], bgr + so[i], 3);
        if constexpr (N == 4) d[dof[i] + 3] = 0;
    }
}

// The fast cases: raw copies between equal byte-sized formats, and any format into 24 or 32
// bits. Each destination row is filled as the generic loop would fill it; a row that repeats
// the previous source row is copied from the destination row before it.
bool fastCopy(const TBitmap& src, TBitmap& dst, const AxisMap& xs, const AxisMap& ys, bool sameFormat) {
    const int bits = src.pixelFormat() == PixelFormat::pf15bit ? 16 : src.bitsPerPixel();
    const bool raw = sameFormat && bits >= 8;
    const bool toBgr = !sameFormat && (dst.pixelFormat() == PixelFormat::pf24bit || dst.pixelFormat() == PixelFormat::pf32bit);
    if (!raw && !toBgr) return false;
    const Columns cols = validColumns(xs, src.width());
    if (cols.dst.empty()) return true;
    const size_t n = raw ? size_t(bits / 8) : dst.pixelFormat() == PixelFormat::pf24bit ? 3 : 4;
    const std::vector<size_t> dof = offsets(cols.dst, n), so = offsets(cols.src, raw ? n : 3);
    const size_t count = cols.dst.size(), first = size_t(cols.lo) * n, span = size_t(cols.hi - cols.lo + 1) * n;
    std::vector<uint8_t> bgr(raw ? 0 : size_t(src.width()) * 3);
    int lastSy = -1, lastDy = -1;
    for (size_t j = 0; j < ys.dst.size(); ++j) {
        const int sy = ys.src[j], dy = ys.dst[j];
        if (sy < 0 || sy >= src.height()) continue;
        uint8_t* d = dst.scanLine(dy);
        if (sy == lastSy) {
            std::memcpy(d + first, dst.scanLine(lastDy) + first, span);
        } else if (raw) {
            const uint8_t* s = src.scanLine(sy);
            switch (n) {
                case 1: gatherRow<1>(s, d, so.data(), dof.data(), count); break;
                case 2: gatherRow<2>(s, d, so.data(), dof.data(), count); break;
                case 3: gatherRow<3>(s, d, so.data(), dof.data(), count); break;
                default: gatherRow<4>(s, d, so.data(), dof.data(), count); break;
            }
        } else {
            src.rowToBgr(sy, bgr.data());
            if (n == 3)
                gatherBgrRow<3>(bgr.data(), d, so.data(), dof.data(), count);
            else
                gatherBgrRow<4>(bgr.data(), d, so.data(), dof.data(), count);
        }
        lastSy = sy;
        lastDy = dy;
    }
    return true;
}

void copyImpl(const TBitmap& src, const Rect& sr, TBitmap& dst, const Rect& dr, bool honourAlpha) {
    if (src.empty() || dst.empty()) return;
    AxisMap xs = mapAxis(sr.left, sr.width(), dr.left, dr.width(), dst.width());
    AxisMap ys = mapAxis(sr.top, sr.height(), dr.top, dr.height(), dst.height());
    bool sameFormat = src.pixelFormat() == dst.pixelFormat() &&
                      (!isPaletteFormat(src.pixelFormat()) || src.palette() == dst.palette());
    bool anyAlpha = honourAlpha && (src.mask() || src.transparency() != Transparency::None);
    // A copy within one bitmap keeps the generic order of reads and writes.
    if (!anyAlpha && &src != &dst && fastCopy(src, dst, xs, ys, sameFormat)) return;
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
