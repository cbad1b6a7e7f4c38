// PNG files: chunks, inflate, filters, Adam7 and pixel conversion. The two reader options
// follow the input's length, so both settings get their share of the run.
#include "codecs/Png.h"
#include "fuzz/FuzzSupport.h"

using namespace korvel;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::expectCleanFailure([&] {
        TGLDPNG png;
        png.read16Bit = (size & 1) != 0;
        png.readPaletteAlpha = (size & 2) != 0;
        png.loadFromMemory(data, size, fuzz::limits());
        const TBitmap& b = png.image();
        if (const TBitmap* mask = b.mask()) fuzz::check(mask->width() == b.width() && mask->height() == b.height());
    });
    return 0;
}
