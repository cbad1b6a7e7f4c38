// Reading Windows bitmap files and device-independent bitmaps: uncompressed and bit-field
// pixels, the icon AND mask, and the file header's pixel offset.
#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "imaging/Bmp.h"
#include "imaging/BmpHeader.h"
#include "imaging/Bitmap.h"
#include "base/Errors.h"
#include "base/Limits.h"

namespace korvel {

namespace bmp {

namespace {

// One colour channel of a bit-field pixel, scaled to 8 bits.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;

    explicit Channel(uint32_t m) : mask(m) {
        if (m == 0) return;
        shift = std::countr_zero(m);
        bits = 32 - std::countl_zero(m >> shift);
    }
    uint8_t value(uint32_t pixel, uint8_t absent) const {
        if (bits == 0) return absent;
        uint64_t v = (pixel & mask) >> shift;
        if (bits >= 8) return uint8_t(v >> (bits - 8));
        uint64_t max = (uint64_t(1) << bits) - 1;
        return uint8_t((v * 255 + max / 2) / max);
    }
};

bool masksAre(const DibHeader& h, uint32_t r, uint32_t g, uint32_t b) {
    return h.masks[0] == r && h.masks[1] == g && h.masks[2] == b;
}

PixelFormat outputFormat(const DibHeader& h) {
    switch (h.bitCount) {
        case 1: return PixelFormat::pf1bit;
        case 2:  // no 2-bit raster: widened to 4 bits
        case 4: return PixelFormat::pf4bit;
        case 8: return PixelFormat::pf8bit;
        case 16:
            if (!h.bitfields) return PixelFormat::pf15bit;  // BI_RGB 16-bit is 5-5-5
            if (h.masks[3] == 0 && masksAre(h, 0x7C00, 0x03E0, 0x001F)) return PixelFormat::pf15bit;
            if (h.masks[3] == 0 && masksAre(h, 0xF800, 0x07E0, 0x001F)) return PixelFormat::pf16bit;
            return h.masks[3] ? PixelFormat::pf32bit : PixelFormat::pf24bit;
        case 24: return PixelFormat::pf24bit;
        default: return PixelFormat::pf32bit;
    }
}

// Whether the file's rows are already in the raster's layout.
bool copiesRows(const DibHeader& h, PixelFormat pf) {
    if (h.bitCount == 2) return false;
    if (!h.bitfields) return true;
    if (h.bitCount == 16) return pf == PixelFormat::pf15bit || pf == PixelFormat::pf16bit;
    return masksAre(h, 0xFF0000, 0x00FF00, 0x0000FF) && (h.masks[3] == 0 || h.masks[3] == 0xFF000000u);
}

void convertTwoBitRow(const uint8_t* src, int width, TBitmap& out, int y) {
    for (int x = 0; x < width; ++x) out.setRawPixel(x, y, (src[x >> 2] >> (6 - 2 * (x & 3))) & 3);
}

void convertBitfieldRow(const uint8_t* src, const DibHeader& h, TBitmap& out, int y) {
    const Channel r(h.masks[0]), g(h.masks[1]), b(h.masks[2]), a(h.masks[3]);
    uint8_t* dst = out.scanLine(y);
    const int step = out.pixelFormat() == PixelFormat::pf32bit ? 4 : 3;
    for (int64_t x = 0; x < h.width; ++x, dst += step) {
        uint32_t v = h.bitCount == 16 ? get16(src + 2 * x) : get32(src + 4 * x);
        dst[0] = b.value(v, 0);
        dst[1] = g.value(v, 0);
        dst[2] = r.value(v, 0);
        if (step == 4) dst[3] = a.value(v, 0);
    }
}

// The AND mask of an icon image: 1 bit per pixel, rows bottom-up like the colour image.
// Missing or incomplete masks leave the image opaque.
void applyAndMask(const uint8_t* data, size_t size, const DibHeader& h, TBitmap& out, uint64_t maxPixels) {
    const size_t stride = paddedRowBytes(h.width, 1);
    if (size / stride < size_t(h.height)) return;
    auto mask = std::make_unique<TBitmap>(out.width(), out.height(), PixelFormat::pf8bit, maxPixels);
    bool anyTransparent = false;
    for (int64_t r = 0; r < h.height; ++r) {
        const uint8_t* src = data + size_t(r) * stride;
        uint8_t* dst = mask->scanLine(int(h.topDown ? r : h.height - 1 - r));
        for (int64_t x = 0; x < h.width; ++x) {
            bool transparent = (src[x >> 3] >> (7 - (x & 7))) & 1;
            dst[x] = transparent ? 255 : 0;
            anyTransparent |= transparent;
        }
    }
    if (anyTransparent) out.setMask(std::move(mask));
}

}  // namespace

bool maskFromAlpha(TBitmap& out, uint64_t maxPixels) {
    if (out.pixelFormat() != PixelFormat::pf32bit || out.empty()) return false;
    bool anyAlpha = false;
    for (int y = 0; y < out.height() && !anyAlpha; ++y) {
        const uint8_t* row = out.scanLine(y);
        for (int x = 0; x < out.width(); ++x)
            if (row[4 * x + 3] != 0) {
                anyAlpha = true;
                break;
            }
    }
    if (!anyAlpha) return false;
    auto mask = std::make_unique<TBitmap>(out.width(), out.height(), PixelFormat::pf8bit, maxPixels);
    for (int y = 0; y < out.height(); ++y) {
        const uint8_t* row = out.scanLine(y);
        uint8_t* dst = mask->scanLine(y);
        for (int x = 0; x < out.width(); ++x) dst[x] = uint8_t(255 - row[4 * x + 3]);
    }
    out.setMask(std::move(mask));
    return true;
}

void decodePixels(const uint8_t* dib, size_t size, const DibHeader& h, size_t pixelOffset,
                  std::vector<RGBQuad> palette, bool iconDib, const char* context, TBitmap& out,
                  uint64_t maxPixels) {
    const PixelFormat pf = outputFormat(h);
    // Limits first: nothing is allocated or read for an image over the pixel limit.
    checkImageSize(h.width, h.height, std::max(h.bitCount, pf == PixelFormat::pf32bit ? 32 : 24), maxPixels);
    if (pixelOffset >= size) fail(context, "truncated pixel data");
    const uint8_t* pixels = dib + pixelOffset;
    const size_t available = size - pixelOffset;
    const bool rle = h.compression == BI_RLE8 || h.compression == BI_RLE4;

    const size_t srcStride = paddedRowBytes(h.width, h.bitCount);
    const size_t usedRowBytes = (size_t(h.width) * size_t(h.bitCount) + 7) / 8;  // width checked above
    // The last row's padding is often missing; only the bytes that hold pixels are required.
    const size_t needed = checkedAdd(checkedMul(srcStride, size_t(h.height - 1)), usedRowBytes);
    if (!rle && available < needed) fail(context, "truncated pixel data");

    TBitmap result(int(h.width), int(h.height), pf, maxPixels);
    if (isPaletteFormat(pf)) result.setPalette(std::move(palette));
    if (rle) {
        decodeRle(pixels, available, h, result);
    } else {
        const bool copy = copiesRows(h, pf);
        for (int64_t r = 0; r < h.height; ++r) {
            const uint8_t* src = pixels + size_t(r) * srcStride;
            const int y = int(h.topDown ? r : h.height - 1 - r);
            if (copy)
                std::memcpy(result.scanLine(y), src, usedRowBytes);
            else if (h.bitCount == 2)
                convertTwoBitRow(src, int(h.width), result, y);
            else
                convertBitfieldRow(src, h, result, y);
        }
    }
    // Colour images with an alpha channel carry their transparency there; icons without one
    // use the AND mask behind the pixels.
    bool alpha = h.masks[3] != 0 || (iconDib && h.bitCount == 32);
    bool masked = alpha && maskFromAlpha(result, maxPixels);
    if (iconDib && !masked && !rle) {
        size_t xorBytes = checkedMul(srcStride, size_t(h.height));
        if (xorBytes < available) applyAndMask(pixels + xorBytes, available - xorBytes, h, result, maxPixels);
    }
    out = std::move(result);
}

}  // namespace bmp

void readBmp(const uint8_t* data, size_t size, TBitmap& out, uint64_t maxPixels) {
    using namespace bmp;
    const char* context = "Bitmap";
    if (size < kFileHeaderSize || data[0] != 'B' || data[1] != 'M') fail(context, "not a bitmap file");
    const uint8_t* dib = data + kFileHeaderSize;
    const size_t dibSize = size - kFileHeaderSize;
    const DibHeader h = parseDibHeader(dib, dibSize, false, context);

    // bfOffBits is often wrong in files met in the wild. Trust it only when it points past the
    // header and into the file; otherwise the pixels follow the colour table.
    const uint32_t offBits = get32(data + 10);
    size_t pixelOffset = h.pixelOffset;
    size_t paletteLimit = std::numeric_limits<size_t>::max();
    if (offBits >= kFileHeaderSize + h.paletteOffset && offBits < size) {
        pixelOffset = offBits - kFileHeaderSize;
        // A table declared larger than the room before the pixels is cut at the pixels.
        if (pixelOffset < h.pixelOffset) paletteLimit = (pixelOffset - h.paletteOffset) / h.paletteEntrySize;
    }
    std::vector<RGBQuad> palette = readPalette(dib, dibSize, h, paletteLimit, context);
    decodePixels(dib, dibSize, h, pixelOffset, std::move(palette), false, context, out, maxPixels);
}

void readDib(const uint8_t* data, size_t size, TBitmap& out, bool iconDib, uint64_t maxPixels) {
    using namespace bmp;
    const char* context = iconDib ? "Icon" : "Bitmap";
    const DibHeader h = parseDibHeader(data, size, iconDib, context);
    std::vector<RGBQuad> palette = readPalette(data, size, h, std::numeric_limits<size_t>::max(), context);
    decodePixels(data, size, h, h.pixelOffset, std::move(palette), iconDib, context, out, maxPixels);
}

}  // namespace korvel
