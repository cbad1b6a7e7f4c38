#pragma once
// Bounded mutation of a good input: truncations, bit flips, byte patches and enlarged header
// fields, from a fixed seed so every run (and every failure) is repeatable.
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

namespace korvel::testing {

using Bytes = std::vector<uint8_t>;

// Calls check(mutant) for about `count` mutants of good: every truncation point of the first
// 256 bytes and a spread of later ones, single and multiple bit flips, bytes set to 0x00/0xFF/0x7F/0x80,
// and 16/32-bit little- and big-endian fields inside the first headerBytes set to huge values.
inline void forEachMutation(const Bytes& good, int count, const std::function<void(const Bytes&)>& check,
                            size_t headerBytes = 64, uint32_t seed = 0x4B6F7276) {
    std::mt19937 rng(seed);
    auto pick = [&](size_t n) { return n ? size_t(rng() % n) : 0; };
    for (size_t len = 0; len < good.size() && len < 256; ++len) check(Bytes(good.begin(), good.begin() + len));
    for (int i = 0; i < 32 && good.size() > 256; ++i) {
        size_t len = 256 + pick(good.size() - 256);
        check(Bytes(good.begin(), good.begin() + len));
    }
    if (good.empty()) return;
    const size_t hdr = std::min(headerBytes, good.size());
    for (int i = 0; i < count; ++i) {
        Bytes m = good;
        switch (i % 4) {
            case 0: m[pick(m.size())] ^= uint8_t(1u << (rng() % 8)); break;
            case 1:
                for (int k = 0; k < 8; ++k) m[pick(m.size())] ^= uint8_t(rng());
                break;
            case 2: {
                static const uint8_t values[] = {0x00, 0xFF, 0x7F, 0x80};
                m[pick(hdr)] = values[rng() % 4];
                break;
            }
            case 3: {
                size_t at = pick(hdr);
                int width = (rng() % 2) ? 2 : 4;
                for (int k = 0; k < width && at + k < m.size(); ++k) m[at + k] = (rng() % 2) ? 0xFF : 0x7F;
                break;
            }
        }
        check(m);
    }
}

}  // namespace korvel::testing
