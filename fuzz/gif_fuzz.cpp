// GIF files through giflib: the first frame drawn onto the logical screen, then every frame of
// the animation composed in turn (a few at most, so each input stays quick).
#include "codecs/Gif.h"
#include "base/FileBytes.h"
#include "codecs/FrameSource.h"
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
    fuzz::expectCleanFailure([&] {
        std::unique_ptr<FrameSource> frames = openGifFrames(FileBytes::hold(std::vector<uint8_t>(data, data + size)), fuzz::limits());
        if (!frames) return;
        AnimFrame f;
        for (int i = 0; i < 8 && frames->next(f); ++i) {
            fuzz::check(f.width == frames->width() && f.height == frames->height());
            fuzz::check(f.rgba.size() == size_t(f.width) * size_t(f.height) * 4 && frames->rastersHeld() <= 2);
        }
    });
    return 0;
}
