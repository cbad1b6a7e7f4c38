// Lossless quarter and half turns. The quarter turns walk the image in square tiles so that
// both the rows read and the rows written stay in the cache, also for images of many megapixels.
#include <algorithm>
#include <cstring>

#include "imaging/Bitmap.h"
#include "imaging/PlainStretch.h"
#include "imaging/StretchUtils.h"

namespace korvel {

namespace {

constexpr int kTile = 64;

// Pixel x of a row at 1 or 4 bits: most significant bits first, as in bitmap files.
template <int Bits>
inline unsigned getPacked(const uint8_t* row, int x) {
    if constexpr (Bits == 1) return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    else return (x & 1) ? row[x >> 1] & 15u : row[x >> 1] >> 4;
}

// Sets or clears the target bits; the other pixels of the byte are left alone.
template <int Bits>
inline void setPacked(uint8_t* row, int x, unsigned v) {
    if constexpr (Bits == 1) {
        const uint8_t bit = uint8_t(0x80u >> (x & 7));
        row[x >> 3] = v ? uint8_t(row[x >> 3] | bit) : uint8_t(row[x >> 3] & ~bit);
    } else if (x & 1) {
        row[x >> 1] = uint8_t((row[x >> 1] & 0xF0) | v);
    } else {
        row[x >> 1] = uint8_t((row[x >> 1] & 0x0F) | (v << 4));
    }
}

// Moves source pixel (x, y) to result row x (right: column h-1-y) or row w-1-x (left: column y).
template <int Bits>
void turnQuarter(const TBitmap& src, TBitmap& dst, bool right) {
    const int w = src.width(), h = src.height();
    const uint8_t* rows[kTile];
    for (int y0 = 0; y0 < h; y0 += kTile) {
        const int y1 = std::min(h, y0 + kTile);
        for (int y = y0; y < y1; ++y) rows[y - y0] = src.scanLine(y);
        for (int x0 = 0; x0 < w; x0 += kTile) {
            const int x1 = std::min(w, x0 + kTile);
            for (int x = x0; x < x1; ++x) {
                uint8_t* d = dst.scanLine(right ? x : w - 1 - x);
                for (int y = y0; y < y1; ++y) {
                    const int col = right ? h - 1 - y : y;
                    const uint8_t* s = rows[y - y0];
                    if constexpr (Bits >= 8) {
                        constexpr int bytes = Bits / 8;
                        std::memcpy(d + size_t(col) * bytes, s + size_t(x) * bytes, bytes);
                    } else {
                        setPacked<Bits>(d, col, getPacked<Bits>(s, x));
                    }
                }
            }
        }
    }
}

void turnQuarterAnyFormat(const TBitmap& src, TBitmap& dst, bool right) {
    switch (src.pixelFormat()) {
        case PixelFormat::pf1bit: turnQuarter<1>(src, dst, right); return;
        case PixelFormat::pf4bit: turnQuarter<4>(src, dst, right); return;
        case PixelFormat::pf8bit: turnQuarter<8>(src, dst, right); return;
        case PixelFormat::pf15bit:
        case PixelFormat::pf16bit: turnQuarter<16>(src, dst, right); return;
        case PixelFormat::pf24bit: turnQuarter<24>(src, dst, right); return;
        case PixelFormat::pf32bit: turnQuarter<32>(src, dst, right); return;
    }
    throw ERotateError("Illegal Bitmap");
}

// An empty image of the result's size with the source's format, palette and transparency.
std::unique_ptr<TBitmap> newResult(const TBitmap& src, int width, int height) {
    auto r = std::make_unique<TBitmap>(width, height, src.pixelFormat());
    r->setPalette(src.palette());
    if (src.transparency() == Transparency::Color) r->setTransparentColor(src.transparentColor());
    if (src.transparency() == Transparency::Index) r->setTransparentIndex(src.transparentIndex());
    return r;
}

void checkSize(const TBitmap& src) {
    if (src.width() <= 0 || src.height() <= 0) throw ERotateError("Bitmap Size Error");
}

std::unique_ptr<TBitmap> rotateQuarter(const TBitmap& src, bool right) {
    checkSize(src);
    auto r = newResult(src, src.height(), src.width());
    turnQuarterAnyFormat(src, *r, right);
    if (const TBitmap* m = src.mask()) {
        auto mask = newResult(*m, m->height(), m->width());
        turnQuarterAnyFormat(*m, *mask, right);
        r->setMask(std::move(mask));
    }
    return r;
}

// Half a turn is the plain stretch onto a rectangle mirrored in both axes.
void mirrorBoth(const TBitmap& src, TBitmap& dst) {
    const int w = src.width(), h = src.height();
    stretchCopy(src, Rect{0, 0, w, h}, dst, Rect{w - 1, h - 1, -1, -1});
}

}  // namespace

std::unique_ptr<TBitmap> Rotate90Right(const TBitmap& source) { return rotateQuarter(source, true); }

std::unique_ptr<TBitmap> Rotate90Left(const TBitmap& source) { return rotateQuarter(source, false); }

std::unique_ptr<TBitmap> Rotate180(const TBitmap& source) {
    checkSize(source);
    auto r = newResult(source, source.width(), source.height());
    mirrorBoth(source, *r);
    if (const TBitmap* m = source.mask()) {
        auto mask = newResult(*m, m->width(), m->height());
        mirrorBoth(*m, *mask);
        r->setMask(std::move(mask));
    }
    return r;
}

}  // namespace korvel
