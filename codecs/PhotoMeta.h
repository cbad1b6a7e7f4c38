#pragma once
// What JPEG and PNG files carry about how to show them: the EXIF orientation and the ICC profile.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/Graphic.h"

namespace korvel {

// Largest ICC profile taken from any file; the biggest real profiles (LUT-based printer
// profiles) stay well under it.
constexpr size_t kMaxIccProfileBytes = size_t(8) << 20;

// The markers of a JPEG file before its first scan: the EXIF orientation (APP1) and the ICC
// profile (APP2 "ICC_PROFILE" chunks, reassembled in order). Never throws: a damaged marker ends the walk with what was found so far, and an incomplete
// or inconsistent set of ICC chunks gives no profile.
PhotoMeta ReadJpegPhotoMeta(const uint8_t* data, size_t size);

// The profile of a PNG iCCP chunk's data (keyword, 0, method 0, zlib stream), inflated to at
// most kMaxIccProfileBytes; empty when damaged or larger.
std::vector<uint8_t> ReadPngIccProfile(const uint8_t* data, size_t size);

}  // namespace korvel
