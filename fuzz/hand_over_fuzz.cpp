// What a second start hands the running instance: any bytes a local client sends. A message
// read whole must encode back to exactly the bytes it came from.
#include <string>

#include "fuzz/FuzzSupport.h"
#include "settings/CommandLine.h"

using namespace korvel;

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    HandOver h;
    if (decodeHandOver(bytes, h) != HandOverRead::Complete) return 0;
    fuzz::check(encodeHandOver(h) == std::string(bytes));
    // Every beginning of a whole message is incomplete, never bad.
    HandOver part;
    fuzz::check(decodeHandOver(bytes.substr(0, size / 2), part) == HandOverRead::Incomplete);
    return 0;
}
