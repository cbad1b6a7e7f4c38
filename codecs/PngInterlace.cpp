#include "codecs/PngInterlace.h"

#include <cstring>

namespace korvel::png {

namespace {

// Sub-byte pixels are packed from the most significant bit, in PNG rows and in the raster alike.
inline unsigned getBits(const uint8_t* row, size_t x, int bits) {
    const size_t bit = x * size_t(bits);
    const int shift = 8 - bits - int(bit & 7);
    return (row[bit >> 3] >> shift) & ((1u << bits) - 1);
}

inline void setBits(uint8_t* row, size_t x, int bits, unsigned v) {
    const size_t bit = x * size_t(bits);
    const int shift = 8 - bits - int(bit & 7);
    const unsigned mask = ((1u << bits) - 1) << shift;
    row[bit >> 3] = uint8_t((row[bit >> 3] & ~mask) | ((v << shift) & mask));
}

}  // namespace

void scatterPixels(const uint8_t* src, uint8_t* dst, int count, const Adam7Pass& pass, int bitsPerPixel) {
    if (bitsPerPixel < 8) {
        for (int i = 0; i < count; ++i)
            setBits(dst, size_t(pass.x0) + size_t(i) * pass.dx, bitsPerPixel, getBits(src, size_t(i), bitsPerPixel));
        return;
    }
    const size_t bytes = size_t(bitsPerPixel) / 8;
    uint8_t* out = dst + size_t(pass.x0) * bytes;
    const size_t step = size_t(pass.dx) * bytes;
    switch (bytes) {
        case 1:
            for (int i = 0; i < count; ++i, out += step) *out = src[i];
            return;
        case 3:
            for (int i = 0; i < count; ++i, out += step, src += 3) out[0] = src[0], out[1] = src[1], out[2] = src[2];
            return;
        default:
            for (int i = 0; i < count; ++i, out += step, src += bytes) std::memcpy(out, src, bytes);
            return;
    }
}

void gatherPixels(const uint8_t* src, uint8_t* dst, int count, const Adam7Pass& pass, int bitsPerPixel) {
    if (bitsPerPixel < 8) {
        std::memset(dst, 0, (size_t(count) * size_t(bitsPerPixel) + 7) / 8);
        for (int i = 0; i < count; ++i)
            setBits(dst, size_t(i), bitsPerPixel, getBits(src, size_t(pass.x0) + size_t(i) * pass.dx, bitsPerPixel));
        return;
    }
    const size_t bytes = size_t(bitsPerPixel) / 8;
    const uint8_t* in = src + size_t(pass.x0) * bytes;
    const size_t step = size_t(pass.dx) * bytes;
    for (int i = 0; i < count; ++i, in += step, dst += bytes) std::memcpy(dst, in, bytes);
}

}  // namespace korvel::png
