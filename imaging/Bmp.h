#pragma once
// Windows bitmap files: the reader accepts every variant a user may meet, the writer produces
// file header, 40-byte info header, colour table and bottom-up rows padded to 4 bytes.
#include <cstddef>
#include <cstdint>
#include <iosfwd>

#include "base/Limits.h"

namespace korvel {

class TBitmap;

// Decodes a bitmap file image into out (replaced). Throws EInvalidGraphic, or EImageTooLarge
// over maxPixels.
void readBmp(const uint8_t* data, size_t size, TBitmap& out, uint64_t maxPixels = kDefaultPixelLimit);
// Decodes a device-independent bitmap held in memory without the file header: info header,
// colour table and pixels, as in icon files and the clipboard. iconDib: the header's height
// counts the colour image and the AND mask behind it; the mask (or a 32-bit image's alpha
// channel) becomes out's mask, 255 = transparent.
void readDib(const uint8_t* data, size_t size, TBitmap& out, bool iconDib, uint64_t maxPixels = kDefaultPixelLimit);
// Encodes bmp as a bitmap file image. Throws EFileError when the stream fails.
void writeBmp(const TBitmap& bmp, std::ostream& out);
// Size in bytes of the file image writeBmp produces for bmp.
size_t bmpFileSize(const TBitmap& bmp);

}  // namespace korvel
