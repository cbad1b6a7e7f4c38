#include "imaging/Exif.h"

#include <cstring>

namespace korvel {

namespace {

using Reader = TiffBytes;

constexpr uint16_t kOrientationTag = 0x0112;
constexpr uint16_t kTypeShort = 3;

}  // namespace

int ExifOrientation(const uint8_t* tiff, size_t size) {
    if (!tiff || size < 8) return 1;
    Reader r{tiff, size, false};
    if (tiff[0] == 'M' && tiff[1] == 'M') r.big = true;
    else if (!(tiff[0] == 'I' && tiff[1] == 'I')) return 1;
    if (r.u16(2) != 42) return 1;
    // Orientation lives in IFD0 only, so the chain of later IFDs (where loops hide) is never walked.
    const size_t ifd = r.u32(4);
    if (ifd < 8 || !r.has(ifd, 2)) return 1;
    // A count that runs past the end means the directory is not what it claims: trust none of it.
    const size_t count = r.u16(ifd);
    if (!r.has(ifd + 2, 12 * count)) return 1;
    for (size_t i = 0; i < count; ++i) {
        const size_t entry = ifd + 2 + 12 * i;
        if (r.u16(entry) != kOrientationTag) continue;
        if (r.u16(entry + 2) != kTypeShort || r.u32(entry + 4) != 1) return 1;
        // A single SHORT sits in the first two bytes of the value field, in the file's byte order.
        const int value = r.u16(entry + 8);
        return value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}

int ExifOrientationOfApp1(const uint8_t* payload, size_t size) {
    static const char kExifId[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (!payload || size < sizeof kExifId || std::memcmp(payload, kExifId, sizeof kExifId) != 0) return 1;
    return ExifOrientation(payload + sizeof kExifId, size - sizeof kExifId);
}

}  // namespace korvel
