#pragma once
// Overflow-checked size arithmetic and the pixel limit every decoder honours before it allocates.
#include <cstddef>
#include <cstdint>

namespace korvel {

constexpr uint64_t kDefaultPixelLimit = uint64_t(1) << 28;

// Largest width x height a decoder may allocate. Process-wide; tests and tools may lower it.
uint64_t pixelLimit();
void setPixelLimit(uint64_t pixels);

// Throws EImageTooLarge when width x height is not positive or exceeds the pixel limit,
// or when the padded row size times height does not fit in memory arithmetic.
void checkImageSize(int64_t width, int64_t height, int bitsPerPixel);

// Bytes of one row padded to 4 bytes, as in Windows bitmaps. Throws EImageTooLarge on overflow.
size_t paddedRowBytes(int64_t width, int bitsPerPixel);

// Most bytes a file of one format may hold: bytesPerPixel for every pixel the limit allows, plus
// kMetadataAllowance for headers, palettes, profiles and comments. Saturates instead of overflowing.
constexpr uint64_t kMetadataAllowance = uint64_t(16) << 20;
uint64_t fileByteLimit(unsigned bytesPerPixel);

// a * b and a + b, throwing EImageTooLarge when the result does not fit in size_t.
size_t checkedMul(size_t a, size_t b);
size_t checkedAdd(size_t a, size_t b);

}  // namespace korvel
