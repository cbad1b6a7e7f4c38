#include "fileops/PngOutput.h"

#include "codecs/Png.h"
#include "fileops/ExtendedCopy.h"

namespace korvel {

namespace {
int zlibLevel(PngLevel level) {
    switch (level) {
        case PngLevel::Speed: return 1;
        case PngLevel::Size: return 9;
        case PngLevel::Normal: break;
    }
    return -1;
}
}  // namespace

void writePngOutput(const TBitmap& output, const ExtendedCopyOptions& options, std::ostream& out) {
    TGLDPNG png;
    png.assign(output);
    png.compressionLevel = zlibLevel(options.pngLevel);
    png.filterMode = 1;  // None on every row
    png.interlace = options.pngInterlace;
    png.saveToStream(out);
}

}  // namespace korvel
