#pragma once
// The PNG codec's reading and writing passes over a file image. TGLDPNG drives them.
#include <cstddef>
#include <cstdint>
#include <iosfwd>

#include "base/Limits.h"

namespace korvel {

class TGLDPNG;

// Decodes a whole file image held in memory into `into` (a fresh graphic whose reader options
// are set). Throws EGLDPNG, or EImageTooLarge for input over limits.
class TGLDPNGReadStream {
public:
    TGLDPNGReadStream(const uint8_t* data, size_t size, const DecodeLimits& limits)
        : data_(data), size_(size), limits_(limits) {}
    void read(TGLDPNG& into);

private:
    const uint8_t* data_;
    size_t size_;
    DecodeLimits limits_;
};

// Encodes a graphic's image with its settings. Throws EGLDPNG.
class TGLDPNGWriteStream {
public:
    explicit TGLDPNGWriteStream(std::ostream& out) : out_(out) {}
    void write(const TGLDPNG& png);

private:
    std::ostream& out_;
};

}  // namespace korvel
