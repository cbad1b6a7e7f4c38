#pragma once
// Shared by the fuzz targets: the limits they decode under and the one error kind a
// decoder may end with. Anything else escaping a target (another exception, a crash, a
// sanitizer report) is a finding.
#include <cstddef>
#include <cstdint>

#include "base/Errors.h"
#include "base/Limits.h"

namespace korvel::fuzz {

// Enlarged size fields would otherwise spend the run filling hundreds of megapixels.
constexpr uint64_t kPixelLimit = uint64_t(1) << 20;

inline DecodeLimits limits() {
    DecodeLimits l;
    l.maxPixels = kPixelLimit;
    return l;
}

// Runs decode, swallowing the core's own errors.
template <typename F>
void expectCleanFailure(F decode) {
    try {
        decode();
    } catch (const Exception&) {
    }
}

// Stops the run on a broken invariant, so libFuzzer keeps the input.
inline void check(bool ok) {
    if (!ok) __builtin_trap();
}

}  // namespace korvel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
