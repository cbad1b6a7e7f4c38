#pragma once
// The small JPEG picture cameras store in a photo's EXIF block (IFD1), found in the first bytes of
// the file, and the photo's own size and orientation to judge it by.
#include <cstddef>
#include <cstdint>

#include "imaging/Bitmap.h"

namespace korvel {

struct ExifThumbnailSpan {
    size_t offset = 0, size = 0;          // the embedded JPEG inside the data; size 0: none
    int photoWidth = 0, photoHeight = 0;  // the photo's frame as stored (before orientation)
    int orientation = 1;
    bool found() const { return size > 0 && photoWidth > 0 && photoHeight > 0; }
};

// Walks the markers of a JPEG file's head (which may end anywhere) up to its frame header. The
// thumbnail counts only when it lies wholly inside the first Exif APP1 segment and the frame
// header is inside the data; otherwise nothing is found. Never reads outside data.
ExifThumbnailSpan FindJpegExifThumbnail(const uint8_t* data, size_t size);

// Decodes an embedded thumbnail into a 24-bit raster. False for anything that is not a whole
// baseline-sized JPEG (no end marker, an edge outside 8..1024, a decode error): a damaged
// thumbnail is better not shown at all.
bool DecodeExifThumbnail(const uint8_t* data, size_t size, TBitmap& out);

}  // namespace korvel
