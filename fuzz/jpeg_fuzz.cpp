// JPEG files: the header, then the pixels at full size and at the scale the last byte picks.
#include "codecs/Jpeg.h"
#include "fuzz/FuzzSupport.h"

using namespace korvel;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::expectCleanFailure([&] {
        TJPEGImage jpeg;
        jpeg.loadFromMemory(data, size, fuzz::limits());
        const TBitmap& full = jpeg.bitmap();
        fuzz::check(full.width() == jpeg.width() && full.height() == jpeg.height());
        // The byte after the end-of-image marker is ignored by the decoder, so it is free to choose.
        jpeg.setScale(JpegScale(1 + data[size - 1] % 3));
        const TBitmap& scaled = jpeg.bitmap();
        fuzz::check(scaled.width() == jpeg.width() && scaled.height() == jpeg.height());
    });
    return 0;
}
