// ICC profiles: a PNG iCCP chunk's data is inflated within bounds; whatever profile results (or
// the input itself) is opened, described and, when it makes a transform, converts a few pixels.
#include "codecs/PhotoMeta.h"
#include "fuzz/FuzzSupport.h"
#include "imaging/Bitmap.h"
#include "imaging/ColorManage.h"

using namespace korvel;

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> inflated = ReadPngIccProfile(data, size);
    fuzz::check(inflated.size() <= kMaxIccProfileBytes);
    for (const std::vector<uint8_t>& profile : {inflated, std::vector<uint8_t>(data, data + size)}) {
        IccProfileDescription(profile);
        if (auto transform = TransformForProfile(profile)) {
            TBitmap b(7, 3, PixelFormat::pf24bit);
            for (int x = 0; x < 7; ++x) b.setRawPixel(x, 1, makeColor(uint8_t(x * 40), 255, 0));
            transform->apply(b);
            fuzz::check(b.width() == 7 && b.height() == 3);
        }
    }
    return 0;
}
