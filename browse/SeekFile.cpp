#include "browse/SeekFile.h"

namespace korvel {

namespace {
constexpr uint32_t pack(int year, int month, int day, int hour, int minute, int second) {
    uint32_t date = uint32_t((year - 1980) << 9 | month << 5 | day);
    uint32_t time = uint32_t(hour << 11 | minute << 5 | second / 2);
    return date << 16 | time;
}
constexpr uint32_t kEarliest = pack(1980, 1, 1, 0, 0, 0);
constexpr uint32_t kLatest = pack(2107, 12, 31, 23, 59, 58);
}  // namespace

uint32_t packDosDateTime(std::time_t t) {
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return t < 0 ? kEarliest : kLatest;
    // tm_year counts from 1900; compare in long to stay clear of overflow near INT_MAX.
    long year = long(tm.tm_year) + 1900;
    if (year < 1980) return kEarliest;
    if (year > 2107) return kLatest;
    int second = tm.tm_sec > 59 ? 59 : tm.tm_sec;
    return pack(int(year), tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, second);
}

DosDateTime unpackDosDateTime(uint32_t packed) {
    DosDateTime d;
    uint32_t date = packed >> 16, time = packed & 0xFFFF;
    d.year = int(date >> 9) + 1980;
    d.month = int(date >> 5 & 15);
    d.day = int(date & 31);
    d.hour = int(time >> 11);
    d.minute = int(time >> 5 & 63);
    d.second = int(time & 31) * 2;
    return d;
}

}  // namespace korvel
