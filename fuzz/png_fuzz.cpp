// PNG files: chunks, inflate, filters, Adam7 and pixel conversion. The two reader options
// follow the input's length, so both settings get their share of the run. Animated files
// are then played frame by frame (acTL, fcTL, fdAT).
#include "codecs/Png.h"
#include "base/FileBytes.h"
#include "codecs/FrameSource.h"
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
    fuzz::expectCleanFailure([&] {
        std::unique_ptr<FrameSource> frames = openPngFrames(FileBytes::hold(std::vector<uint8_t>(data, data + size)), fuzz::limits());
        if (!frames) return;
        AnimFrame f;
        for (int i = 0; i < 8 && frames->next(f); ++i) {
            fuzz::check(f.width == frames->width() && f.height == frames->height());
            fuzz::check(f.rgba.size() == size_t(f.width) * size_t(f.height) * 4 && frames->rastersHeld() <= 2);
        }
    });
    return 0;
}
