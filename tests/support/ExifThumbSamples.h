#pragma once
// Camera-like JPEGs made in the test: a photo whose Exif APP1 carries an IFD1 thumbnail (itself a
// JPEG), with the orientation, the thumbnail's bytes and its placement chosen per case.
#include <cstdint>
#include <vector>

#include "tests/support/PhotoSamples.h"
#include "tests/support/TestImages.h"

namespace korvel::testing {

// A w x h raster of one colour, with an optional band of colour `bar` over rows/columns at the
// edges: barsTopBottom rows at top and bottom, barsSides columns at left and right.
inline TBitmap barredBitmap(int w, int h, Color c, int barsTopBottom = 0, int barsSides = 0, Color bar = 0) {
    TBitmap b(w, h, PixelFormat::pf24bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool inBar = y < barsTopBottom || y >= h - barsTopBottom || x < barsSides || x >= w - barsSides;
            b.setRawPixel(x, y, inBar ? bar : c);
        }
    return b;
}

// The Exif APP1 payload: IFD0 (orientation), IFD1 pointing at thumb, then thumb. thumbOffsetShift
// moves the recorded offset (a forged pointer); lengthShift the recorded length.
inline PhotoBytes exifWithThumbnail(const PhotoBytes& thumb, int orientation, bool big, int64_t thumbOffsetShift = 0,
                                    int64_t lengthShift = 0) {
    PhotoBytes b = big ? PhotoBytes{'M', 'M'} : PhotoBytes{'I', 'I'};
    putU16(b, 42, big);
    putU32(b, 8, big);
    putU16(b, 1, big);  // IFD0 at 8: one entry
    putU16(b, 0x0112, big), putU16(b, 3, big), putU32(b, 1, big), putU16(b, uint16_t(orientation), big), putU16(b, 0, big);
    putU32(b, 26, big);  // IFD1 right after
    putU16(b, 3, big);   // IFD1 at 26: three entries (26 + 2 + 36 + 4 = 68)
    const uint32_t at = 68;
    putU16(b, 0x0103, big), putU16(b, 3, big), putU32(b, 1, big), putU16(b, 6, big), putU16(b, 0, big);
    putU16(b, 0x0201, big), putU16(b, 4, big), putU32(b, 1, big), putU32(b, uint32_t(at + thumbOffsetShift), big);
    putU16(b, 0x0202, big), putU16(b, 4, big), putU32(b, 1, big), putU32(b, uint32_t(int64_t(thumb.size()) + lengthShift), big);
    putU32(b, 0, big);
    b.insert(b.end(), thumb.begin(), thumb.end());
    PhotoBytes p{'E', 'x', 'i', 'f', 0, 0};
    p.insert(p.end(), b.begin(), b.end());
    return p;
}

// photo as a JPEG with an Exif APP1 holding thumb (JPEG bytes) right after SOI.
inline PhotoBytes cameraJpeg(const TBitmap& photo, const PhotoBytes& thumb, int orientation = 1, bool big = false) {
    return withJpegSegment(jpegBytes(photo, 95), 0xE1, exifWithThumbnail(thumb, orientation, big));
}

}  // namespace korvel::testing
