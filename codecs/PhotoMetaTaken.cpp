#include "codecs/PhotoMetaTaken.h"

#include "codecs/JpegHeaderWalk.h"
#include "imaging/Exif.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string_view>

namespace korvel {

namespace {

constexpr uint16_t kExifIfdPointer = 0x8769, kDateTimeOriginal = 0x9003, kOffsetTimeOriginal = 0x9011;
constexpr uint16_t kAscii = 2, kLong = 4;

using Tiff = TiffBytes;

struct Entry {
    uint16_t type = 0;
    uint32_t count = 0;
    size_t valueAt = 0;  // where the value lies: in the entry itself when it fits in 4 bytes
};

// The entry of tag in the IFD at offset, with its value's bytes inside the data.
std::optional<Entry> findEntry(const Tiff& t, uint32_t offset, uint16_t tag) {
    if (!t.has(offset, 2)) return std::nullopt;
    const size_t count = t.u16(offset);
    if (!t.has(size_t(offset) + 2, count * 12)) return std::nullopt;
    for (size_t i = 0; i < count; ++i) {
        const size_t at = size_t(offset) + 2 + i * 12;
        if (t.u16(at) != tag) continue;
        Entry e{t.u16(at + 2), t.u32(at + 4), at + 8};
        const size_t unit = e.type == kLong ? 4 : 1;
        if (e.count > t.size / unit) return std::nullopt;
        const size_t bytes = size_t(e.count) * unit;
        if (bytes > 4) e.valueAt = t.u32(at + 8);
        if (!t.has(e.valueAt, bytes)) return std::nullopt;
        return e;
    }
    return std::nullopt;
}

// The ASCII value of an entry up to its first NUL.
std::string_view asciiOf(const Tiff& t, const Entry& e) {
    std::string_view s(reinterpret_cast<const char*>(t.p + e.valueAt), e.count);
    return s.substr(0, s.find('\0'));
}

bool digitsAt(std::string_view s, size_t at, size_t n, int& out) {
    out = 0;
    for (size_t i = at; i < at + n; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}

int daysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// "YYYY:MM:DD HH:MM:SS"; a blank or zeroed date (what a camera without a clock writes) is none.
std::optional<TakenTime> parseDateTime(std::string_view s) {
    if (s.size() < 19 || s[4] != ':' || s[7] != ':' || s[10] != ' ' || s[13] != ':' || s[16] != ':')
        return std::nullopt;
    TakenTime t;
    if (!digitsAt(s, 0, 4, t.year) || !digitsAt(s, 5, 2, t.month) || !digitsAt(s, 8, 2, t.day) ||
        !digitsAt(s, 11, 2, t.hour) || !digitsAt(s, 14, 2, t.minute) || !digitsAt(s, 17, 2, t.second))
        return std::nullopt;
    if (t.year < 1000 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > daysInMonth(t.year, t.month) ||
        t.hour > 23 || t.minute > 59 || t.second > 60)
        return std::nullopt;
    if (t.second == 60) t.second = 59;  // a leap second stays within the minute
    return t;
}

// "+HH:MM" or "-HH:MM".
std::optional<int> parseOffset(std::string_view s) {
    int h = 0, m = 0;
    if (s.size() < 6 || (s[0] != '+' && s[0] != '-') || s[3] != ':' || !digitsAt(s, 1, 2, h) || !digitsAt(s, 4, 2, m) ||
        h > 14 || m > 59)
        return std::nullopt;
    return (s[0] == '-' ? -1 : 1) * (h * 60 + m);
}

}  // namespace

int64_t TakenTime::epochSeconds() const {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    if (hasOffset) return int64_t(timegm(&tm)) - int64_t(offsetMinutes) * 60;
    tm.tm_isdst = -1;
    return int64_t(std::mktime(&tm));
}

std::optional<TakenTime> ExifTakenTime(const uint8_t* tiff, size_t size) {
    if (!tiff || size < 8) return std::nullopt;
    Tiff t{tiff, size, false};
    if (tiff[0] == 'M' && tiff[1] == 'M') t.big = true;
    else if (tiff[0] != 'I' || tiff[1] != 'I') return std::nullopt;
    if (t.u16(2) != 42) return std::nullopt;
    const auto pointer = findEntry(t, t.u32(4), kExifIfdPointer);
    if (!pointer || pointer->type != kLong || pointer->count != 1) return std::nullopt;
    const uint32_t exifIfd = t.u32(pointer->valueAt);
    const auto date = findEntry(t, exifIfd, kDateTimeOriginal);
    if (!date || date->type != kAscii) return std::nullopt;
    std::optional<TakenTime> taken = parseDateTime(asciiOf(t, *date));
    if (!taken) return std::nullopt;
    if (const auto offset = findEntry(t, exifIfd, kOffsetTimeOriginal); offset && offset->type == kAscii)
        if (const auto minutes = parseOffset(asciiOf(t, *offset))) {
            taken->hasOffset = true;
            taken->offsetMinutes = *minutes;
        }
    return taken;
}

std::optional<TakenTime> ReadTakenTime(const uint8_t* data, size_t size) {
    if (!data || size < 4) return std::nullopt;
    if ((data[0] == 'I' && data[1] == 'I') || (data[0] == 'M' && data[1] == 'M')) return ExifTakenTime(data, size);
    std::optional<TakenTime> taken;
    // The segment may run past what was read; its start is what holds the IFDs.
    walkJpegHeader(data, size, [&](const JpegHeaderSegment& s) {
        if (s.marker != 0xE1 || s.available < 6 || std::memcmp(s.payload, "Exif\0", 6) != 0) return true;
        taken = ExifTakenTime(s.payload + 6, s.available - 6);
        return false;
    });
    return taken;
}

}  // namespace korvel
