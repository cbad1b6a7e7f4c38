#pragma once
// Shared by the plug-in host's tests: where the test plug-ins are, the call trace they report
// to and small files.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TempTree.h"

namespace spitest {

namespace fs = std::filesystem;

inline std::string appDir() { return std::string(KORVEL_TEST_SPI_DIR) + "/app/"; }
inline std::string susieDir() { return std::string(KORVEL_TEST_SPI_DIR) + "/susie/"; }
inline std::string plugin(const std::string& name) { return appDir() + name + ".spi"; }

// Lines the test plug-ins report ("name:Call:details"), in call order.
std::vector<std::string>& trace();

using korvel::testing::TempTree;
using korvel::testing::writeFile;

inline void put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
}

// The test plug-ins' "KVTIMG01" image: a size, filled by the plug-in with its colour.
inline std::vector<uint8_t> kvtImage(uint32_t w, uint32_t h) {
    std::vector<uint8_t> v{'K', 'V', 'T', 'I', 'M', 'G', '0', '1'};
    put32(v, w);
    put32(v, h);
    return v;
}

// The test plug-ins' "KVRAWBLK" file: both blocks handed back byte for byte.
inline std::vector<uint8_t> rawBlocks(const std::vector<uint8_t>& info, const std::vector<uint8_t>& pixels) {
    std::vector<uint8_t> v{'K', 'V', 'R', 'A', 'W', 'B', 'L', 'K'};
    put32(v, uint32_t(info.size()));
    put32(v, uint32_t(pixels.size()));
    v.insert(v.end(), info.begin(), info.end());
    v.insert(v.end(), pixels.begin(), pixels.end());
    return v;
}

inline uint32_t fnv1a(const uint8_t* p, size_t n) {
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 16777619u;
    return h;
}

}  // namespace spitest
