#pragma once
// TSeekFile: what the file list keeps of each listed file, and the packed DOS date-time of its
// last-write time.
#include <cstdint>
#include <ctime>
#include <string>

namespace korvel {

struct TSeekFile {
    int32_t Size = 0;       // low 32 bits of the file size, read as signed (a 3 GiB file is negative)
    uint32_t Time = 0;      // packed DOS date-time of the last write, local time (packDosDateTime)
    int32_t ThumbPos = -1;  // offset of the thumbnail in the cache file; -1 until it is built
    std::string Ext;        // extension without the dot, ASCII upper case: "JPEG" for photo.jpeg
};

// The broken-down fields of a packed DOS date-time.
struct DosDateTime {
    int year = 1980, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0;  // second is even: DOS keeps two-second steps
};

// Packs t as local time: date in the high 16 bits ((year-1980)<<9 | month<<5 | day), time in
// the low 16 bits (hour<<11 | minute<<5 | second/2). The format holds only 1980..2107, so an
// earlier time packs as 1980-01-01 00:00:00 and a later one as 2107-12-31 23:59:58; a leap
// second counts as 59 so that the field stays in range.
uint32_t packDosDateTime(std::time_t t);
DosDateTime unpackDosDateTime(uint32_t packed);

// Size as the list keeps it: the low 32 bits of size, read as a signed number.
inline int32_t seekFileSize(int64_t size) { return static_cast<int32_t>(static_cast<uint32_t>(size)); }

}  // namespace korvel
