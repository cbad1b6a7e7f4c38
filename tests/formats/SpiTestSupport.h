#pragma once
// Shared by the plug-in host's tests: where the test plug-ins are, the call trace they report
// to and small files.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/Errors.h"
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

// The trace line of a plug-in's IsSupported handed these bytes, zero-filled to the header's size.
inline std::string supportedLine(const std::string& name, std::vector<uint8_t> bytes) {
    bytes.resize(2048, 0);
    uint32_t h = 2166136261u;
    for (uint8_t b : bytes) h = (h ^ b) * 16777619u;
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", h);
    return name + ":IsSupported:hdr=" + hex;
}

// The message of the E that f throws; "no error" when it returns.
template <class E = korvel::Exception, class F>
std::string thrown(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.message();
    }
    return "no error";
}

}  // namespace spitest
