#include "base/Md5.h"

#include <cmath>
#include <cstring>

namespace korvel {

namespace {

// Per-round left rotations (RFC 1321, 3.4).
constexpr uint32_t kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

// T[i] = floor(2^32 * |sin(i + 1)|), the table RFC 1321 defines.
struct SineTable {
    uint32_t t[64];
    SineTable() {
        for (int i = 0; i < 64; ++i) t[i] = uint32_t(std::floor(std::fabs(std::sin(double(i + 1))) * 4294967296.0));
    }
};

uint32_t rotl(uint32_t x, uint32_t c) { return (x << c) | (x >> (32 - c)); }

uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void block(uint32_t state[4], const uint8_t* p) {
    static const SineTable sine;
    uint32_t m[16];
    for (int i = 0; i < 16; ++i) m[i] = le32(p + 4 * i);
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int g;
        if (i < 16) f = (b & c) | (~b & d), g = i;
        else if (i < 32) f = (d & b) | (~d & c), g = (5 * i + 1) % 16;
        else if (i < 48) f = b ^ c ^ d, g = (3 * i + 5) % 16;
        else f = c ^ (b | ~d), g = (7 * i) % 16;
        const uint32_t next = b + rotl(a + f + sine.t[i] + m[g], kShift[i]);
        a = d, d = c, c = b, b = next;
    }
    state[0] += a, state[1] += b, state[2] += c, state[3] += d;
}

}  // namespace

std::array<uint8_t, 16> md5(const std::string& bytes) {
    uint32_t state[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    const size_t n = bytes.size();
    size_t done = 0;
    for (; n - done >= 64; done += 64) block(state, data + done);
    // Padding: one 1 bit, zeros up to 56 bytes mod 64, then the bit length, little-endian.
    uint8_t tail[128] = {};
    const size_t rest = n - done;
    std::memcpy(tail, data + done, rest);
    tail[rest] = 0x80;
    const size_t tailSize = rest < 56 ? 64 : 128;
    const uint64_t bits = uint64_t(n) * 8;
    for (int i = 0; i < 8; ++i) tail[tailSize - 8 + i] = uint8_t(bits >> (8 * i));
    for (size_t off = 0; off < tailSize; off += 64) block(state, tail + off);
    std::array<uint8_t, 16> digest;
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 4; ++k) digest[size_t(4 * i + k)] = uint8_t(state[i] >> (8 * k));
    return digest;
}

std::string md5Hex(const std::string& bytes) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (uint8_t b : md5(bytes)) {
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    return out;
}

}  // namespace korvel
