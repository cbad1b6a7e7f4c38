// Names as boxes show them: any bytes shown as text must read back to exactly those bytes, and
// the text must be valid UTF-8.
#include <string>

#include "base/NameText.h"
#include "fuzz/FuzzSupport.h"

using namespace korvel;

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = nameText(bytes);
    fuzz::check(nameBytes(text) == bytes);
    for (size_t i = 0, n; i < text.size(); i += n) {
        n = utf8SequenceLength(text, i);
        fuzz::check(n != 0);
    }
    // The input read as typed text never loses a byte that is not part of an escape.
    fuzz::check(nameBytes(bytes).size() <= bytes.size());
    return 0;
}
