#include "imaging/BmpHeader.h"

#include <algorithm>

#include "base/Errors.h"

namespace korvel::bmp {

void fail(const char* context, const std::string& message) {
    throw EInvalidGraphic(std::string(context) + ": " + message);
}

namespace {

int32_t getS32(const uint8_t* p) { return int32_t(get32(p)); }

// Windows headers: 40 (info), 52 and 56 (info with RGB or RGBA masks), 108 (V4), 124 (V5).
bool isWindowsHeaderSize(uint32_t hs) { return hs == 40 || hs == 52 || hs == 56 || hs == 108 || hs == 124; }

std::string compressionName(uint32_t c, bool os2) {
    if (os2) {
        // OS/2 2.x reuses 3 and 4 for its own schemes.
        if (c == 3) return " (OS/2 Huffman 1D)";
        if (c == 4) return " (OS/2 RLE24)";
        return "";
    }
    switch (c) {
        case BI_JPEG: return " (JPEG)";
        case BI_PNG: return " (PNG)";
        case 11: case 12: case 13: return " (CMYK)";
        default: return "";
    }
}

bool compressionSupported(uint32_t c, bool os2) {
    if (c == BI_RGB || c == BI_RLE8 || c == BI_RLE4) return true;
    return !os2 && (c == BI_BITFIELDS || c == BI_ALPHABITFIELDS);
}

void checkDepthAndCompression(const DibHeader& h, const char* context) {
    if (!compressionSupported(h.compression, h.os2))
        fail(context, "unsupported compression " + std::to_string(h.compression) + compressionName(h.compression, h.os2));
    switch (h.bitCount) {
        case 1: case 2: case 4: case 8: case 16: case 24: case 32: break;
        default: fail(context, "unsupported bit depth " + std::to_string(h.bitCount));
    }
    if (h.compression == BI_RLE8 && h.bitCount != 8) fail(context, "RLE8 compression needs 8 bits per pixel");
    if (h.compression == BI_RLE4 && h.bitCount != 4) fail(context, "RLE4 compression needs 4 bits per pixel");
    if (h.bitfields && h.bitCount != 16 && h.bitCount != 32) fail(context, "bit fields need 16 or 32 bits per pixel");
}

// Where the colour table begins and how many masks lie between header and table.
void readMasks(const uint8_t* dib, size_t size, DibHeader& h, const char* context) {
    h.paletteOffset = h.headerSize;
    const bool withMasks = h.compression == BI_BITFIELDS || h.compression == BI_ALPHABITFIELDS;
    if (h.headerSize >= 52) {
        for (int i = 0; i < 3; ++i) h.masks[i] = get32(dib + 40 + 4 * i);
        if (h.headerSize >= 56) h.masks[3] = get32(dib + 52);
    } else if (withMasks) {
        // A 40-byte header is followed by three (or four, with alpha) masks.
        size_t count = h.compression == BI_ALPHABITFIELDS ? 4 : 3;
        if (size < h.headerSize + 4 * count) fail(context, "truncated header");
        for (size_t i = 0; i < count; ++i) h.masks[i] = get32(dib + h.headerSize + 4 * i);
        h.paletteOffset += 4 * count;
    }
    h.bitfields = withMasks;
    if (withMasks && h.masks[0] == 0 && h.masks[1] == 0 && h.masks[2] == 0) {
        // Some writers leave the masks empty; read the pixels with the default layout.
        h.masks[0] = h.bitCount == 16 ? 0x7C00 : 0xFF0000;
        h.masks[1] = h.bitCount == 16 ? 0x03E0 : 0x00FF00;
        h.masks[2] = h.bitCount == 16 ? 0x001F : 0x0000FF;
    }
    // Without bit fields only a 32-bit alpha mask of a newer header means anything.
    if (!withMasks) {
        uint32_t alpha = h.bitCount == 32 ? h.masks[3] : 0;
        h.masks[0] = h.masks[1] = h.masks[2] = 0;
        h.masks[3] = alpha == 0xFF000000u ? alpha : 0;
    }
}

}  // namespace

DibHeader parseDibHeader(const uint8_t* dib, size_t size, bool iconDib, const char* context) {
    if (size < 4) fail(context, "truncated header");
    DibHeader h;
    h.headerSize = get32(dib);
    uint32_t clrUsed = 0;
    if (h.headerSize == kCoreHeaderSize) {
        if (size < kCoreHeaderSize) fail(context, "truncated header");
        h.os2 = true;
        h.paletteEntrySize = 3;
        h.width = get16(dib + 4);
        h.height = get16(dib + 6);
        h.bitCount = get16(dib + 10);
    } else if (isWindowsHeaderSize(h.headerSize) || (h.headerSize >= 16 && h.headerSize <= kOs2HeaderMax)) {
        if (size < h.headerSize) fail(context, "truncated header");
        h.os2 = !isWindowsHeaderSize(h.headerSize);
        h.width = getS32(dib + 4);
        h.height = getS32(dib + 8);
        h.bitCount = get16(dib + 14);
        // OS/2 2.x headers may end early; missing fields are zero.
        if (h.headerSize >= 20) h.compression = get32(dib + 16);
        if (h.headerSize >= 36) clrUsed = get32(dib + 32);
    } else {
        fail(context, "unsupported header size " + std::to_string(h.headerSize));
    }
    if (h.height < 0) {
        h.topDown = true;
        h.height = -h.height;
    }
    if (iconDib) h.height /= 2;  // colour image and AND mask stacked
    if (h.width <= 0 || h.height <= 0)
        fail(context, "invalid image size " + std::to_string(h.width) + "x" + std::to_string(h.height));
    h.bitfields = h.compression == BI_BITFIELDS || h.compression == BI_ALPHABITFIELDS;
    if (h.os2) h.bitfields = false;
    checkDepthAndCompression(h, context);
    if (h.os2)
        h.paletteOffset = h.headerSize;
    else
        readMasks(dib, size, h, context);

    if (h.bitCount <= 8)
        h.paletteCount = clrUsed != 0 ? clrUsed : size_t(1) << h.bitCount;
    else
        h.paletteCount = clrUsed;  // an optional table for reducing displays; skipped
    h.pixelOffset = h.paletteOffset + h.paletteCount * h.paletteEntrySize;  // < 2^35, no overflow
    return h;
}

std::vector<RGBQuad> readPalette(const uint8_t* dib, size_t size, const DibHeader& h, size_t limit,
                                 const char* context) {
    std::vector<RGBQuad> palette;
    if (h.bitCount > 8) return palette;
    size_t n = std::min({h.paletteCount, limit, size_t(1) << h.bitCount});
    size_t available = size > h.paletteOffset ? (size - h.paletteOffset) / h.paletteEntrySize : 0;
    if (n > available) fail(context, "truncated colour table");
    palette.reserve(n);
    const uint8_t* p = dib + h.paletteOffset;
    for (size_t i = 0; i < n; ++i, p += h.paletteEntrySize) palette.push_back(RGBQuad{p[0], p[1], p[2], 0});
    return palette;
}

}  // namespace korvel::bmp
