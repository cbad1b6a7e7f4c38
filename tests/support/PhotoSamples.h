#pragma once
// Photos with metadata made in the test: EXIF orientation blocks in either byte order, and the
// JPEG segment or PNG chunk that carries a block, inserted into a file our encoders wrote.
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/TestImages.h"

namespace korvel::testing {

using PhotoBytes = std::vector<uint8_t>;

inline void putU16(PhotoBytes& b, uint16_t v, bool big) {
    if (big) b.insert(b.end(), {uint8_t(v >> 8), uint8_t(v)});
    else b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)});
}
inline void putU32(PhotoBytes& b, uint32_t v, bool big) {
    putU16(b, uint16_t(big ? v >> 16 : v), big);
    putU16(b, uint16_t(big ? v : v >> 16), big);
}

// A TIFF-structured EXIF block: IFD0 with an unrelated tag, then Orientation, then a pointer to
// an IFD1 (a thumbnail's, with one tag), as cameras write it.
inline PhotoBytes exifBlock(int orientation, bool bigEndian) {
    PhotoBytes b = bigEndian ? PhotoBytes{'M', 'M'} : PhotoBytes{'I', 'I'};
    putU16(b, 42, bigEndian);
    putU32(b, 8, bigEndian);
    putU16(b, 2, bigEndian);
    putU16(b, 0x010F, bigEndian), putU16(b, 2, bigEndian), putU32(b, 4, bigEndian), b.insert(b.end(), {'K', 'v', 'l', 0});
    putU16(b, 0x0112, bigEndian), putU16(b, 3, bigEndian), putU32(b, 1, bigEndian);
    putU16(b, uint16_t(orientation), bigEndian), putU16(b, 0, bigEndian);
    putU32(b, 38, bigEndian);  // IFD1
    putU16(b, 1, bigEndian);
    putU16(b, 0x0103, bigEndian), putU16(b, 3, bigEndian), putU32(b, 1, bigEndian), putU32(b, 6, bigEndian);
    putU32(b, 0, bigEndian);
    return b;
}

inline PhotoBytes encodedJpeg(const TBitmap& b, int quality = 100) { return jpegBytes(b, quality); }

// jpeg with a marker segment (payload after the length) inserted right after SOI.
inline PhotoBytes withJpegSegment(PhotoBytes jpeg, uint8_t marker, const PhotoBytes& payload) {
    PhotoBytes seg{0xFF, marker, uint8_t((payload.size() + 2) >> 8), uint8_t(payload.size() + 2)};
    seg.insert(seg.end(), payload.begin(), payload.end());
    jpeg.insert(jpeg.begin() + 2, seg.begin(), seg.end());
    return jpeg;
}

inline PhotoBytes exifApp1(int orientation, bool bigEndian) {
    PhotoBytes p{'E', 'x', 'i', 'f', 0, 0};
    const PhotoBytes tiff = exifBlock(orientation, bigEndian);
    p.insert(p.end(), tiff.begin(), tiff.end());
    return p;
}

// png with a chunk inserted before its first IDAT.
inline PhotoBytes withPngChunk(PhotoBytes png, const char (&type)[5], const PhotoBytes& data) {
    PhotoBytes chunk;
    putU32(chunk, uint32_t(data.size()), true);
    chunk.insert(chunk.end(), type, type + 4);
    chunk.insert(chunk.end(), data.begin(), data.end());
    putU32(chunk, uint32_t(crc32(0, chunk.data() + 4, uInt(chunk.size() - 4))), true);
    size_t at = 8;
    while (at + 8 <= png.size() && std::string(png.begin() + at + 4, png.begin() + at + 8) != "IDAT")
        at += 12 + (size_t(png[at]) << 24 | size_t(png[at + 1]) << 16 | size_t(png[at + 2]) << 8 | png[at + 3]);
    png.insert(png.begin() + at, chunk.begin(), chunk.end());
    return png;
}

// jpeg with profile in APP2 "ICC_PROFILE" segments of at most chunk bytes each.
inline PhotoBytes withJpegIcc(PhotoBytes jpeg, const PhotoBytes& profile, size_t chunk = 60000) {
    const size_t count = (profile.size() + chunk - 1) / chunk;
    for (size_t i = count; i-- > 0;) {
        PhotoBytes p{'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, uint8_t(i + 1), uint8_t(count)};
        p.insert(p.end(), profile.begin() + ptrdiff_t(i * chunk), profile.begin() + ptrdiff_t(std::min(profile.size(), (i + 1) * chunk)));
        jpeg = withJpegSegment(jpeg, 0xE2, p);
    }
    return jpeg;
}

// The data of a PNG iCCP chunk holding profile.
inline PhotoBytes iccpData(const PhotoBytes& profile) {
    PhotoBytes d{'i', 'c', 'c', 0, 0};
    uLongf n = compressBound(uLong(profile.size()));
    PhotoBytes z(n);
    compress(z.data(), &n, profile.data(), uLong(profile.size()));
    d.insert(d.end(), z.begin(), z.begin() + ptrdiff_t(n));
    return d;
}

}  // namespace korvel::testing
