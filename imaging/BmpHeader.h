#pragma once
// Internals of the bitmap reader shared by its source files and the icon codec: the parsed
// device-independent bitmap header and the pixel decoders.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"

namespace korvel::bmp {

// Compression values of the info header.
enum : uint32_t {
    BI_RGB = 0,
    BI_RLE8 = 1,
    BI_RLE4 = 2,
    BI_BITFIELDS = 3,
    BI_JPEG = 4,
    BI_PNG = 5,
    BI_ALPHABITFIELDS = 6,
};

// Header sizes that mean a particular layout.
constexpr uint32_t kCoreHeaderSize = 12;   // OS/2 1.x / Windows 2.x: 16-bit sizes, RGBTRIPLE palette
constexpr uint32_t kInfoHeaderSize = 40;   // BITMAPINFOHEADER
constexpr uint32_t kOs2HeaderMax = 64;     // OS/2 2.x headers are 16..64 bytes
constexpr uint32_t kFileHeaderSize = 14;

struct DibHeader {
    uint32_t headerSize = 0;
    int64_t width = 0;
    int64_t height = 0;      // always positive; see topDown
    bool topDown = false;    // negative height in the file
    int bitCount = 0;
    uint32_t compression = BI_RGB;
    bool os2 = false;        // core or 2.x header: other compression codes, no bit fields
    // Channel masks (red, green, blue, alpha) when the pixels are bit fields.
    bool bitfields = false;
    uint32_t masks[4] = {0, 0, 0, 0};
    // Colour table: where it starts (from the start of the header), bytes per entry, entries declared.
    size_t paletteOffset = 0;
    unsigned paletteEntrySize = 4;
    size_t paletteCount = 0;
    // End of header, masks and declared colour table: where the pixels follow when no offset is given.
    size_t pixelOffset = 0;
};

// "context: message" as EInvalidGraphic.
[[noreturn]] void fail(const char* context, const std::string& message);

inline uint16_t get16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t get32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// Parses the info header at the start of dib (size bytes available). An icon image stores the
// height of colour image and AND mask together; iconDib halves it.
DibHeader parseDibHeader(const uint8_t* dib, size_t size, bool iconDib, const char* context);

// Reads at most `limit` colour table entries (clamped to the data and to 2^bitCount).
std::vector<RGBQuad> readPalette(const uint8_t* dib, size_t size, const DibHeader& h, size_t limit,
                                 const char* context);

// Decodes the pixels starting at dib + pixelOffset into out (created here, palette set).
// The data ends at dib + size. iconDib also applies the AND mask that follows the pixels.
void decodePixels(const uint8_t* dib, size_t size, const DibHeader& h, size_t pixelOffset,
                  std::vector<RGBQuad> palette, bool iconDib, const char* context, TBitmap& out,
                  uint64_t maxPixels);

// Run-length decoders (BI_RLE8, BI_RLE4) into an 8- or 4-bit raster of the header's size.
// Runs past the row end or the last row are clipped; data that ends without the
// end-of-bitmap code leaves the remaining pixels at index 0.
void decodeRle(const uint8_t* data, size_t size, const DibHeader& h, TBitmap& out);

// Sets out's mask to 255 - alpha from the fourth byte of each pf32bit pixel, when any alpha
// value is non-zero. Returns whether a mask was set.
bool maskFromAlpha(TBitmap& out, uint64_t maxPixels);

}  // namespace korvel::bmp
