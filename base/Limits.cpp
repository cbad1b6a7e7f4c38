#include "base/Limits.h"

#include <algorithm>
#include <limits>
#include <string>

#include "base/Errors.h"

namespace korvel {

size_t checkedMul(size_t a, size_t b) {
    size_t r;
    if (__builtin_mul_overflow(a, b, &r)) throw EImageTooLarge("Image size arithmetic overflows");
    return r;
}

size_t checkedAdd(size_t a, size_t b) {
    size_t r;
    if (__builtin_add_overflow(a, b, &r)) throw EImageTooLarge("Image size arithmetic overflows");
    return r;
}

uint64_t fileByteLimit(const DecodeLimits& limits, unsigned bytesPerPixel) {
    uint64_t pixels, total;
    if (__builtin_mul_overflow(limits.maxPixels, uint64_t(bytesPerPixel), &pixels) ||
        __builtin_add_overflow(pixels, kMetadataAllowance, &total))
        total = std::numeric_limits<uint64_t>::max();
    return std::min(total, limits.maxFileBytes);
}

size_t paddedRowBytes(int64_t width, int bitsPerPixel) {
    if (width < 0 || bitsPerPixel <= 0) throw EImageTooLarge("Invalid image row size");
    size_t bits = checkedMul(size_t(width), size_t(bitsPerPixel));
    return checkedAdd(bits, 31) / 32 * 4;
}

void checkImageSize(int64_t width, int64_t height, int bitsPerPixel, uint64_t maxPixels) {
    if (width <= 0 || height <= 0)
        throw EInvalidGraphic("Invalid image size " + std::to_string(width) + "x" + std::to_string(height));
    if (width > std::numeric_limits<int32_t>::max() || height > std::numeric_limits<int32_t>::max() ||
        uint64_t(width) * uint64_t(height) > maxPixels)
        throw EImageTooLarge("Image too large: " + std::to_string(width) + "x" + std::to_string(height) +
                             " exceeds the limit of " + std::to_string(maxPixels) + " pixels");
    checkedMul(paddedRowBytes(width, bitsPerPixel), size_t(height));
}

}  // namespace korvel
