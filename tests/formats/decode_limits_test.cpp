#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Errors.h"
#include "base/Limits.h"
#include "codecs/Png.h"
#include "formats/Picture.h"
#include "imaging/Bitmap.h"
#include "tests/codecs/BmpBuilders.h"
#include "tests/support/CodecSamples.h"
#include "tests/support/TempTree.h"
#include "tests/support/TestImages.h"

using namespace korvel;
using korvel::testing::savedBytes;
using Bytes = std::vector<uint8_t>;

namespace {

// 6 x 5 pixels; small IDAT chunks give the file many chunks, the comment one large tEXt chunk.
Bytes png() {
    TGLDPNG p;
    p.assign(korvel::testing::randomBitmap(PixelFormat::pf24bit, 6, 5, 1));
    p.setIdatSize(TGLDPNG::kMinIdatSize);
    p.compressionLevel = 0;
    p.comment = std::string(600, 'c');
    return savedBytes(p);
}

// A 1 x 1 GIF with `comments` comment extensions before its image.
Bytes gif(int comments) {
    Bytes b{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255};
    for (int i = 0; i < comments; ++i) b.insert(b.end(), {0x21, 0xFE, 1, 'x', 0});
    b.insert(b.end(), {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0, 0x3B});
    return b;
}

// Loads the file through the registry as the windows do, the raster included (JPEG decodes late).
bool loads(const std::string& path, const DecodeLimits& limits) {
    try {
        TPicture picture;
        picture.loadFromFile(path, limits);
        LoadPictureAsBitmap(picture, limits.maxPixels);
        return picture.width() > 0;
    } catch (const EImageTooLarge&) {
        return false;
    }
}

}  // namespace

// Each limit is honoured by the load it is given to: loads with the defaults and with the tight
// limit alternate in one process, so a limit that leaked into later loads, or was never read,
// fails a row.
TEST(DecodeLimits, EachLimitHoldsForItsOwnLoad) {
    using namespace bmptest;
    const Bytes bmp = bmpFile(infoHeader(Info{.width = 6, .height = 5, .bpp = 24}), Bytes(5 * 20, 0x40));
    const Bytes ico = iconFile({{0, 0, 32, png()}});
    const Bytes pngFile = png();
    struct Row {
        const char* name;
        const char* ext;
        Bytes file;
        DecodeLimits tight, enough;
    };
    const Row rows[] = {
        {"BMP pixels", ".bmp", bmp, {.maxPixels = 29}, {.maxPixels = 30}},
        {"BMP file bytes", ".bmp", bmp, {.maxFileBytes = bmp.size() - 1}, {.maxFileBytes = bmp.size()}},
        {"PNG pixels", ".png", pngFile, {.maxPixels = 29}, {.maxPixels = 30}},
        {"PNG chunk count", ".png", pngFile, {.maxPngChunks = 3}, {}},
        {"PNG chunk bytes", ".png", pngFile, {.maxPngChunkBytes = 500}, {.maxPngChunkBytes = 700}},
        {"icon's PNG pixels", ".ico", ico, {.maxPixels = 29}, {.maxPixels = 30}},
        {"JPEG pixels", ".jpg", korvel::testing::jpegSample(6, 5, false, false), {.maxPixels = 29}, {.maxPixels = 30}},
        {"JPEG scans", ".jpg", korvel::testing::jpegSample(6, 5, true, false), {.maxJpegScans = 2}, {}},
        {"GIF pixels", ".gif", gif(0), {.maxPixels = 0}, {.maxPixels = 1}},
        {"GIF records", ".gif", gif(3), {.maxGifRecords = 2}, {.maxGifRecords = 3}},
    };
    korvel::testing::TempTree t;
    for (const Row& r : rows) {
        const std::string path = t.write(std::string("f") + r.ext, std::string(r.file.begin(), r.file.end()));
        EXPECT_TRUE(loads(path, DecodeLimits{})) << r.name;
        EXPECT_FALSE(loads(path, r.tight)) << r.name;
        EXPECT_TRUE(loads(path, r.enough)) << r.name;
        EXPECT_FALSE(loads(path, r.tight)) << r.name;
    }
}
