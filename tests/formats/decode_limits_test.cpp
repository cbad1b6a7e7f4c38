#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "base/Limits.h"
#include "codecs/Jpeg.h"
#include "codecs/Png.h"
#include "formats/Picture.h"
#include "imaging/Bitmap.h"
#include "tests/codecs/BmpBuilders.h"

using namespace korvel;
using Bytes = std::vector<uint8_t>;

namespace {

TBitmap noise(int w, int h) {
    TBitmap b(w, h, PixelFormat::pf24bit);
    uint32_t v = 12345;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < 3 * w; ++x) b.scanLine(y)[x] = uint8_t((v = v * 1103515245 + 12345) >> 16);
    return b;
}

Bytes saved(const TGraphic& g) {
    std::ostringstream out;
    g.saveToStream(out);
    const std::string s = out.str();
    return Bytes(s.begin(), s.end());
}

// 6 x 5 pixels; small IDAT chunks give the file many chunks, the comment one large tEXt chunk.
Bytes png() {
    TGLDPNG p;
    p.assign(noise(6, 5));
    p.setIdatSize(TGLDPNG::kMinIdatSize);
    p.compressionLevel = 0;
    p.comment = std::string(600, 'c');
    return saved(p);
}

Bytes jpeg(bool progressive) {
    TJPEGImage j;
    j.assign(noise(6, 5));
    j.progressiveEncoding = progressive;
    j.compress();
    return saved(j);
}

// A 1 x 1 GIF with `comments` comment extensions before its image.
Bytes gif(int comments) {
    Bytes b{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255};
    for (int i = 0; i < comments; ++i) b.insert(b.end(), {0x21, 0xFE, 1, 'x', 0});
    b.insert(b.end(), {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0, 0x3B});
    return b;
}

struct TempFile {
    std::string path;
    TempFile(const std::string& ext, const Bytes& bytes)
        : path((std::filesystem::temp_directory_path() / ("korvel-limits-" + std::to_string(::getpid()) + ext))
                   .string()) {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    ~TempFile() { std::filesystem::remove(path); }
};

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
        {"JPEG pixels", ".jpg", jpeg(false), {.maxPixels = 29}, {.maxPixels = 30}},
        {"JPEG scans", ".jpg", jpeg(true), {.maxJpegScans = 2}, {}},
        {"GIF pixels", ".gif", gif(0), {.maxPixels = 0}, {.maxPixels = 1}},
        {"GIF records", ".gif", gif(3), {.maxGifRecords = 2}, {.maxGifRecords = 3}},
    };
    for (const Row& r : rows) {
        const TempFile f(r.ext, r.file);
        EXPECT_TRUE(loads(f.path, DecodeLimits{})) << r.name;
        EXPECT_FALSE(loads(f.path, r.tight)) << r.name;
        EXPECT_TRUE(loads(f.path, r.enough)) << r.name;
        EXPECT_FALSE(loads(f.path, r.tight)) << r.name;
    }
}
