// Bitmap files, and the same bytes as an icon's device-independent bitmap without file header.
#include "imaging/Bmp.h"
#include "fuzz/FuzzSupport.h"
#include "imaging/Bitmap.h"

using namespace korvel;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::expectCleanFailure([&] {
        TBitmap bmp;
        readBmp(data, size, bmp, fuzz::kPixelLimit);
    });
    if (size > 14) {
        fuzz::expectCleanFailure([&] {
            TBitmap dib;
            readDib(data + 14, size - 14, dib, (data[6] & 1) != 0, fuzz::kPixelLimit);
        });
    }
    return 0;
}
