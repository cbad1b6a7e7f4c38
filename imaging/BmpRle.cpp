// Run-length encoded bitmap pixels (BI_RLE8, BI_RLE4).
//
// A code is two bytes. A non-zero first byte is a run: that many pixels of the second byte
// (RLE4: its two nibbles alternating, high first). A zero first byte is an escape: 0 ends the
// line, 1 ends the bitmap, 2 moves right and up by the two bytes that follow, and 3..255 is an
// absolute run of that many pixels stored in the following bytes, padded to a 16-bit boundary.
#include <algorithm>

#include "imaging/BmpHeader.h"

namespace korvel::bmp {

namespace {

class RleTarget {
public:
    RleTarget(const DibHeader& h, TBitmap& out) : h_(h), out_(out) {}

    // Pixels beyond the row end or the last row are dropped, never wrapped.
    void put(int64_t x, int64_t y, unsigned value) {
        if (x < h_.width && y < h_.height) out_.setRawPixel(int(x), int(h_.topDown ? y : h_.height - 1 - y), value);
    }
    bool done(int64_t y) const { return y >= h_.height; }

private:
    const DibHeader& h_;
    TBitmap& out_;
};

unsigned nibble(uint8_t byte, int64_t k) { return (k & 1) ? byte & 15u : unsigned(byte >> 4); }

}  // namespace

void decodeRle(const uint8_t* data, size_t size, const DibHeader& h, TBitmap& out) {
    const bool four = h.compression == BI_RLE4;
    RleTarget target(h, out);
    int64_t x = 0, y = 0;  // y counts lines in file order
    size_t i = 0;
    while (size - i >= 2 && !target.done(y)) {
        const unsigned count = data[i], value = data[i + 1];
        i += 2;
        if (count > 0) {
            const int64_t end = std::min<int64_t>(x + count, h.width);
            for (int64_t k = 0; x + k < end; ++k) target.put(x + k, y, four ? nibble(uint8_t(value), k) : value);
            x += count;
            continue;
        }
        switch (value) {
            case 0:  // end of line
                x = 0;
                ++y;
                break;
            case 1:  // end of bitmap
                return;
            case 2:  // delta
                if (size - i < 2) return;
                x += data[i];
                y += data[i + 1];
                i += 2;
                break;
            default: {  // absolute run
                const size_t bytes = four ? (value + 1) / 2 : value;
                if (size - i < bytes) return;
                for (unsigned k = 0; k < value; ++k) {
                    uint8_t b = data[i + (four ? k / 2 : k)];
                    target.put(x + k, y, four ? nibble(b, k) : b);
                }
                x += value;
                i += bytes + (bytes & 1);
                if (i > size) return;
                break;
            }
        }
    }
}

}  // namespace korvel::bmp
