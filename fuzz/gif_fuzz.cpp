// GIF files through giflib: the first frame drawn onto the logical screen.
#include "codecs/Gif.h"
#include "fuzz/FuzzSupport.h"

using namespace korvel;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::expectCleanFailure([&] {
        TGIFImage gif;
        gif.loadFromMemory(data, size, fuzz::limits());
        const TBitmap& b = gif.bitmap();
        fuzz::check(b.pixelFormat() == PixelFormat::pf8bit && b.palette().size() <= 256);
    });
    return 0;
}
