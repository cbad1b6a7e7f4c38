#pragma once
// MD5 (RFC 1321): names files in the shared thumbnail folders; not used for any security purpose.
#include <array>
#include <cstdint>
#include <string>

namespace korvel {

// The 16-byte digest of bytes.
std::array<uint8_t, 16> md5(const std::string& bytes);
// The digest as 32 lower-case hexadecimal digits.
std::string md5Hex(const std::string& bytes);

}  // namespace korvel
