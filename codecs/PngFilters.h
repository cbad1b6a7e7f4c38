#pragma once
// PNG row filters (None, Sub, Up, Average, Paeth), undone when reading and applied when writing.
// bpp is the filter's bytes per pixel, (bits per pixel + 7) div 8, from 1 to 8.
#include <cstddef>
#include <cstdint>

namespace korvel::png {

enum FilterType : uint8_t { kFilterNone = 0, kFilterSub = 1, kFilterUp = 2, kFilterAverage = 3, kFilterPaeth = 4 };

// Bytes the row buffers handed to these functions must have after their n bytes, so that the
// vector paths may load a whole pixel group at the row's end.
inline constexpr size_t kRowSlack = 16;

// Undoes filter type on row (n bytes) in place, given the previous unfiltered row of the same
// pass (all zero for the first). Returns false for a type above 4.
bool unfilterRow(uint8_t type, uint8_t* row, const uint8_t* prev, size_t n, int bpp);

// Writes row filtered with type into out (n bytes).
void filterRow(uint8_t type, const uint8_t* row, const uint8_t* prev, uint8_t* out, size_t n, int bpp);

// Adaptive choice: filters row with every type into scratch (5 x n bytes) and returns the type
// whose output has the smallest sum of absolute signed byte values (the usual estimate of
// what deflates best); the winner's bytes start at scratch + type * n.
uint8_t chooseFilter(const uint8_t* row, const uint8_t* prev, uint8_t* scratch, size_t n, int bpp);

}  // namespace korvel::png
