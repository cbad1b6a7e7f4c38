#include <gtest/gtest.h>

#include <gif_lib.h>

#include "codecs/Gif.h"
#include "base/Errors.h"
#include "base/Limits.h"
#include "tests/support/Mutation.h"

using namespace korvel;
using korvel::testing::Bytes;

namespace {

extern "C" int appendToBytes(GifFileType* gif, const GifByteType* data, int len) {
    static_cast<Bytes*>(gif->UserData)->insert(static_cast<Bytes*>(gif->UserData)->end(), data, data + len);
    return len;
}

void putFrame(GifFileType* gif, int left, int top, int w, int h, bool interlace, ColorMapObject* local,
              int transparent) {
    GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 5, transparent};
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
    EGifPutImageDesc(gif, left, top, w, h, interlace, local);
    std::vector<GifPixelType> line(static_cast<size_t>(w));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) line[size_t(x)] = GifPixelType((x * 3 + y * 5) & 7);
        EGifPutLine(gif, line.data(), w);
    }
}

// An animation with a global and a local colour table, transparency and an interlaced frame.
Bytes animatedGif(bool interlaceFirst) {
    Bytes out;
    int err = 0;
    GifFileType* gif = EGifOpen(&out, appendToBytes, &err);
    EGifSetGifVersion(gif, true);
    GifColorType colours[8];
    for (int i = 0; i < 8; ++i) colours[i] = GifColorType{uint8_t(i * 30), uint8_t(255 - i * 30), uint8_t(i * 17)};
    ColorMapObject* global = GifMakeMapObject(8, colours);
    ColorMapObject* local = GifMakeMapObject(8, colours);
    EGifPutScreenDesc(gif, 24, 20, 8, 1, global);
    putFrame(gif, 2, 3, 17, 13, interlaceFirst, local, 4);
    // giflib's encoder drops (and leaks) a frame's local table when the next frame has none.
    putFrame(gif, 0, 0, 24, 20, false, local, -1);
    EGifCloseFile(gif, &err);
    GifFreeMapObject(global);
    GifFreeMapObject(local);
    return out;
}

void decodeMutant(const Bytes& data, int& decoded) {
    try {
        TGIFImage g;
        g.loadFromMemory(data.data(), data.size(), DecodeLimits{.maxPixels = 1 << 20});
        const TBitmap& b = g.bitmap();
        if (b.pixelFormat() != PixelFormat::pf8bit || b.palette().size() > 256) ADD_FAILURE() << "bad raster";
        ++decoded;
    } catch (const EInvalidGraphic&) {
    }
}

class GifMutation : public ::testing::Test {};

}  // namespace

TEST_F(GifMutation, DamagedFilesFailCleanlyOrDecode) {
    for (bool interlace : {false, true}) {
        const Bytes good = animatedGif(interlace);
        int decoded = 0;
        decodeMutant(good, decoded);
        ASSERT_EQ(decoded, 1) << "the unmutated file must decode";
        korvel::testing::forEachMutation(
            good, 2000, [&](const Bytes& m) { decodeMutant(m, decoded); }, 64);
        EXPECT_GT(decoded, 100) << interlace;
    }
}
