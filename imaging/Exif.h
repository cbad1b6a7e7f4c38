#pragma once
// EXIF orientation and the metadata blocks that carry it, read with strict bounds: any damage
// gives "no orientation" (1), never a read outside the data.
#include <cstddef>
#include <cstdint>

namespace korvel {

// The orientation tag (0x0112) of IFD0 in a TIFF-structured EXIF block (PNG eXIf, or a JPEG
// APP1 after its "Exif\0\0"), either byte order; 1 when absent, damaged or out of 1..8.
int ExifOrientation(const uint8_t* tiff, size_t size);

// The same for a whole APP1 payload: 1 unless it starts with "Exif\0\0".
int ExifOrientationOfApp1(const uint8_t* payload, size_t size);

}  // namespace korvel
