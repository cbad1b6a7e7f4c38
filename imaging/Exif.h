#pragma once
// EXIF orientation and the metadata blocks that carry it, read with strict bounds: any damage
// gives "no orientation" (1), never a read outside the data.
#include <cstddef>
#include <cstdint>

namespace korvel {

// The numbers of a TIFF-structured block in its byte order; callers check has() before reading.
struct TiffBytes {
    const uint8_t* p;
    size_t size;
    bool big;
    bool has(size_t at, size_t n) const { return at <= size && n <= size - at; }
    uint16_t u16(size_t at) const {
        return big ? uint16_t(p[at] << 8 | p[at + 1]) : uint16_t(p[at] | p[at + 1] << 8);
    }
    uint32_t u32(size_t at) const {
        return big ? uint32_t(p[at]) << 24 | uint32_t(p[at + 1]) << 16 | uint32_t(p[at + 2]) << 8 | p[at + 3]
                   : uint32_t(p[at + 3]) << 24 | uint32_t(p[at + 2]) << 16 | uint32_t(p[at + 1]) << 8 | p[at];
    }
};

// The orientation tag (0x0112) of IFD0 in a TIFF-structured EXIF block (PNG eXIf, or a JPEG
// APP1 after its "Exif\0\0"), either byte order; 1 when absent, damaged or out of 1..8.
int ExifOrientation(const uint8_t* tiff, size_t size);

// The same for a whole APP1 payload: 1 unless it starts with "Exif\0\0".
int ExifOrientationOfApp1(const uint8_t* payload, size_t size);

}  // namespace korvel
