// The journal reader: any bytes (a torn append, a disk full of garbage) give steps without a
// crash, and the steps it read write back to bytes that read as the same steps.
#include <string>

#include "fuzz/FuzzSupport.h"
#include "fileops/Journal.h"

using namespace korvel;

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<JournalStep> steps = parseJournal(bytes);
    std::string again;
    for (const JournalStep& s : steps) {
        fuzz::check(uint8_t(s.kind) >= 1 && uint8_t(s.kind) <= kLastStepKind);
        again += encodeStep(s);
    }
    fuzz::check(parseJournal(again) == steps);
    return 0;
}
