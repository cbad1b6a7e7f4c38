// Icon files: the directory, the chosen entry as a bitmap with its mask, or as a PNG.
#include "codecs/Icon.h"
#include "fuzz/FuzzSupport.h"

using namespace korvel;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::expectCleanFailure([&] {
        TIcon icon;
        icon.loadFromMemory(data, size, fuzz::limits());
        const TBitmap& b = icon.bitmap();
        if (const TBitmap* mask = b.mask()) fuzz::check(mask->width() == b.width() && mask->height() == b.height());
    });
    return 0;
}
