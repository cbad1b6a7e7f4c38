#pragma once
// EXIF blocks that say when a photo was taken, and files that carry them, made in the test.
#include <ctime>
#include <string>

#include "tests/support/PhotoSamples.h"

namespace korvel::testing {

// IFD0 with only the Exif IFD pointer; the Exif IFD with DateTimeOriginal (its 20 bytes, NUL
// included) and, when offset is not empty, OffsetTimeOriginal.
inline PhotoBytes exifTakenBlock(const std::string& date, const std::string& offset = "", bool big = false) {
    PhotoBytes b = big ? PhotoBytes{'M', 'M'} : PhotoBytes{'I', 'I'};
    putU16(b, 42, big);
    putU32(b, 8, big);
    putU16(b, 1, big);
    putU16(b, 0x8769, big), putU16(b, 4, big), putU32(b, 1, big), putU32(b, 26, big);
    putU32(b, 0, big);
    const uint16_t entries = offset.empty() ? 1 : 2;
    const uint32_t data = 26 + 2 + 12 * entries + 4;
    putU16(b, entries, big);
    putU16(b, 0x9003, big), putU16(b, 2, big), putU32(b, uint32_t(date.size() + 1), big), putU32(b, data, big);
    if (!offset.empty())
        putU16(b, 0x9011, big), putU16(b, 2, big), putU32(b, uint32_t(offset.size() + 1), big),
            putU32(b, data + uint32_t(date.size() + 1), big);
    putU32(b, 0, big);
    b.insert(b.end(), date.begin(), date.end()), b.push_back(0);
    b.insert(b.end(), offset.begin(), offset.end());
    if (!offset.empty()) b.push_back(0);
    return b;
}

// The start of a JPEG file: SOI, an APP1 holding the block, EOI. Enough for the date readers.
inline PhotoBytes jpegWithExif(const PhotoBytes& tiff) {
    PhotoBytes app1{'E', 'x', 'i', 'f', 0, 0};
    app1.insert(app1.end(), tiff.begin(), tiff.end());
    return withJpegSegment({0xFF, 0xD8, 0xFF, 0xD9}, 0xE1, app1);
}

// Seconds since the epoch of a local clock time here.
inline time_t localTime(int year, int month, int day, int hour = 12, int minute = 0, int second = 0) {
    std::tm tm{};
    tm.tm_year = year - 1900, tm.tm_mon = month - 1, tm.tm_mday = day;
    tm.tm_hour = hour, tm.tm_min = minute, tm.tm_sec = second, tm.tm_isdst = -1;
    return std::mktime(&tm);
}

}  // namespace korvel::testing
