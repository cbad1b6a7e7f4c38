#pragma once
// The marker segments of a JPEG file's head, from SOI to the first scan, as the metadata readers
// walk them. The data may be only the file's first bytes: a segment cut short by its end is still
// offered, marked incomplete, and ends the walk.
#include <cstddef>
#include <cstdint>

namespace korvel {

struct JpegHeaderSegment {
    uint8_t marker = 0;
    const uint8_t* payload = nullptr;  // after the length field
    size_t available = 0;              // payload bytes in the data
    bool complete = false;             // the whole segment, as its length says, lies in the data
};

// Calls visit(const JpegHeaderSegment&) for each segment with a length field until visit returns
// false, the scan or end marker comes, the data ends, or a segment is damaged. Nothing is visited
// when data does not start with SOI.
template <class Visit>
void walkJpegHeader(const uint8_t* data, size_t size, Visit&& visit) {
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8) return;
    size_t pos = 2;
    while (pos + 1 < size) {
        if (data[pos] != 0xFF) return;
        while (pos < size && data[pos] == 0xFF) ++pos;  // fill bytes
        if (pos >= size) return;
        const uint8_t marker = data[pos++];
        if (marker == 0xDA || marker == 0xD9) return;  // the scan starts: no metadata after it
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length field
        if (size - pos < 2) return;
        const size_t length = size_t(data[pos]) << 8 | data[pos + 1];
        if (length < 2) return;
        const bool complete = length <= size - pos;
        const JpegHeaderSegment s{marker, data + pos + 2, complete ? length - 2 : size - pos - 2, complete};
        if (!visit(s) || !complete) return;
        pos += length;
    }
}

}  // namespace korvel
