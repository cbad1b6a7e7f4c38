#pragma once
// Overflow-checked size arithmetic and the limits a decode honours before it allocates.
#include <cstddef>
#include <cstdint>
#include <limits>

namespace korvel {

constexpr uint64_t kDefaultPixelLimit = uint64_t(1) << 28;
constexpr uint64_t kNoByteLimit = std::numeric_limits<uint64_t>::max();
constexpr uint64_t kNoCountLimit = std::numeric_limits<uint64_t>::max();

// How a loaded photo is shown: turned upright by its EXIF orientation, and its embedded colour
// profile converted to sRGB. Both on unless the user turned them off. Windows set toDisplay to
// convert to the monitor's profile instead, where one is known; files written stay sRGB.
struct PhotoSwitches {
    bool exifRotate = true;
    bool colorManage = true;
    bool toDisplay = false;
};

// What one load may cost, handed to the decoder with the data: each decoder reads the fields
// that concern its format. The defaults are what Korvel allows everywhere.
struct DecodeLimits {
    // Largest width x height of any raster the decode allocates.
    uint64_t maxPixels = kDefaultPixelLimit;
    // Most bytes read from a file, on top of the bound each format derives from maxPixels.
    uint64_t maxFileBytes = kNoByteLimit;
    // PNG: chunks read before IEND, and the size of any one chunk other than IDAT.
    uint64_t maxPngChunks = kNoCountLimit;
    uint64_t maxPngChunkBytes = kNoByteLimit;
    // JPEG: scans of a progressive file (a hostile one can repeat scans without end; real
    // files use a dozen or so).
    int maxJpegScans = 1000;
    // GIF: extension records before the first image.
    uint64_t maxGifRecords = kNoCountLimit;
    // Applied once by TPicture after the decoder; decoders only record what they find.
    PhotoSwitches photo;
};

// Throws EImageTooLarge when width x height is not positive or exceeds maxPixels, or when the
// padded row size times height does not fit in memory arithmetic.
void checkImageSize(int64_t width, int64_t height, int bitsPerPixel, uint64_t maxPixels);

// Bytes of one row padded to 4 bytes, as in Windows bitmaps. Throws EImageTooLarge on overflow.
size_t paddedRowBytes(int64_t width, int bitsPerPixel);

// Most bytes a file of one format may hold: bytesPerPixel for every pixel limits.maxPixels
// allows, plus kMetadataAllowance for headers, palettes, profiles and comments, and never more
// than limits.maxFileBytes. Saturates instead of overflowing.
constexpr uint64_t kMetadataAllowance = uint64_t(16) << 20;
uint64_t fileByteLimit(const DecodeLimits& limits, unsigned bytesPerPixel);

// a * b and a + b, throwing EImageTooLarge when the result does not fit in size_t.
size_t checkedMul(size_t a, size_t b);
size_t checkedAdd(size_t a, size_t b);

}  // namespace korvel
