#pragma once
// When a photo was taken, as its EXIF block says: DateTimeOriginal, with OffsetTimeOriginal when
// the camera wrote one. Read from the start of a JPEG or TIFF-structured file only.
#include <cstddef>
#include <cstdint>
#include <optional>

namespace korvel {

// How much of a file the readers below need: a camera puts its EXIF block first, and one APP1
// segment holds at most 64 KiB.
constexpr size_t kTakenTimeReadBytes = size_t(64) << 10;

struct TakenTime {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0;  // the camera's wall clock
    bool hasOffset = false;
    int offsetMinutes = 0;  // east of UTC, when hasOffset

    // Seconds since the epoch: through the offset when there is one, else as local time here.
    int64_t epochSeconds() const;
    bool operator==(const TakenTime&) const = default;
};

// The taken time of a TIFF-structured EXIF block (JPEG APP1 after "Exif\0\0", or a TIFF file),
// either byte order. Nothing when the tag is absent, damaged, blank or not a real date; never a
// read outside the data.
std::optional<TakenTime> ExifTakenTime(const uint8_t* tiff, size_t size);

// The same for the first bytes of a file: a JPEG (its first Exif APP1, which may be cut short
// by the end of data) or a TIFF file. Anything else gives nothing.
std::optional<TakenTime> ReadTakenTime(const uint8_t* data, size_t size);

}  // namespace korvel
