// GIF files written with giflib's encoder: the first frame drawn onto the screen (offsets,
// clipping, interlace, local palettes, transparency); later frames, damage and odd headers.
#include <gtest/gtest.h>

#include <gif_lib.h>

#include "codecs/Gif.h"
#include "tests/support/CodecCases.h"
#include "tests/support/CodecSamples.h"

using namespace korvel;
using korvel::testing::Bytes;
using korvel::testing::loaded;

namespace {

struct Frame {
    int left = 0, top = 0, width = 0, height = 0;
    bool interlace = false;
    std::vector<Color> localMap;  // empty: none
    int transparent = -1;         // graphic control extension when >= 0
    std::vector<uint8_t> pixels;  // width x height, rows top-down
};

struct GifFile {
    int width = 0, height = 0, background = 0;
    std::vector<Color> globalMap;  // empty: none
    std::vector<Frame> frames;
};

ColorMapObject* makeMap(const std::vector<Color>& colours) {
    if (colours.empty()) return nullptr;
    std::vector<GifColorType> c;
    for (Color v : colours) c.push_back(GifColorType{redOf(v), greenOf(v), blueOf(v)});
    return GifMakeMapObject(int(c.size()), c.data());  // copies the colours
}

Bytes writeGif(const GifFile& f) {
    Bytes out;
    int err = 0;
    GifFileType* gif = EGifOpen(&out, korvel::testing::samples::appendGifBytes, &err);
    EGifSetGifVersion(gif, true);
    ColorMapObject* global = makeMap(f.globalMap);
    EGifPutScreenDesc(gif, f.width, f.height, 8, f.background, global);
    GifFreeMapObject(global);
    for (const Frame& fr : f.frames) {
        if (fr.transparent >= 0) {
            GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, fr.transparent};
            GifByteType ext[4];
            EGifGCBToExtension(&gcb, ext);
            EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
        }
        ColorMapObject* local = makeMap(fr.localMap);
        EGifPutImageDesc(gif, fr.left, fr.top, fr.width, fr.height, fr.interlace, local);
        GifFreeMapObject(local);
        // Rows in the order an interlaced frame stores them (GIF89a appendix E), written out plainly.
        const int starts[] = {0, 4, 2, 1}, steps[] = {8, 8, 4, 2};
        for (int p = 0; p < (fr.interlace ? 4 : 1); ++p)
            for (int y = fr.interlace ? starts[p] : 0; y < fr.height; y += fr.interlace ? steps[p] : 1)
                EGifPutLine(gif, const_cast<GifPixelType*>(&fr.pixels[size_t(y * fr.width)]), fr.width);
    }
    EXPECT_EQ(EGifCloseFile(gif, &err), GIF_OK);
    return out;
}

const std::vector<Color> kFour = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};

Frame patternFrame(int left, int top, int w, int h, int colours = 4) {
    Frame fr;
    fr.left = left, fr.top = top, fr.width = w, fr.height = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) fr.pixels.push_back(uint8_t((x + 2 * y) % colours));
    return fr;
}

// The screen pixel (x, y) must hold the frame's pixel inside it, else the fill.
void expectScreen(const TBitmap& b, const Frame& fr, int fill) {
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            const int fx = x - fr.left, fy = y - fr.top;
            const bool inside = fx >= 0 && fx < fr.width && fy >= 0 && fy < fr.height;
            const int want = inside ? fr.pixels[size_t(fy * fr.width + fx)] : fill;
            ASSERT_EQ(int(b.rawPixel(x, y)), want) << x << "," << y;
        }
}

std::vector<Color> paletteColours(const TBitmap& b) {
    std::vector<Color> c;
    for (const RGBQuad& q : b.palette()) c.push_back(q.color());
    return c;
}

}  // namespace

// Screen 0 x 0 in a case: the file says 0 x 0 and the frame's extent is the size.
TEST(Gif, FirstFrameIsDrawnOntoTheScreen) {
    struct Case {
        const char* name;
        int screenW, screenH, background;
        Frame frame;
        int fill;          // expected outside the frame
        Frame later = {};  // a second frame, never read
        size_t cut = 0;    // bytes cut off the end
    };
    auto withTransparency = [](Frame f, int t) { return f.transparent = t, f; };
    auto interlaced = [](Frame f) { return f.interlace = true, f; };
    auto withLocalMap = [](Frame f, std::vector<Color> map) { return f.localMap = map, f; };
    const Frame second = withLocalMap(withTransparency(patternFrame(0, 0, 12, 10), 2), {0xFFFFFF, 0xFFFFFF});
    const Case cases[] = {
        {"offset frame on background", 10, 8, 2, patternFrame(3, 2, 4, 3), 2},
        {"transparent frame", 10, 8, 2, withTransparency(patternFrame(1, 4, 5, 3), 3), 3},
        {"interlaced", 7, 19, 1, interlaced(patternFrame(0, 0, 7, 19)), 1},
        {"local palette", 8, 8, 0,
         withLocalMap(patternFrame(1, 1, 6, 6), {0x101010, 0x202020, 0x303030, 0x404040}), 0},
        {"clipped right and bottom", 10, 8, 3, patternFrame(6, 5, 8, 8), 3},
        {"clipped interlaced", 10, 8, 3, interlaced(patternFrame(6, 5, 8, 8)), 3},
        {"right of the screen", 10, 8, 3, patternFrame(12, 0, 4, 4), 3},
        {"a second frame is not read", 12, 10, 0, patternFrame(0, 0, 12, 10, 2), 0, second},
        {"nor is its damage", 12, 10, 0, patternFrame(0, 0, 12, 10, 2), 0, second, 12},
        {"no screen size", 0, 0, 0, patternFrame(2, 1, 5, 4), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GifFile f{c.screenW ? c.screenW : 10, c.screenH ? c.screenH : 10, c.background, kFour, {c.frame}};
        if (c.later.width) f.frames.push_back(c.later);
        Bytes file = writeGif(f);
        file.resize(file.size() - c.cut);
        if (!c.screenW) std::fill(file.begin() + 6, file.begin() + 10, 0);
        const TGIFImage g = loaded<TGIFImage>(file);
        const TBitmap& b = g.bitmap();
        ASSERT_EQ(b.width(), c.screenW ? c.screenW : c.frame.left + c.frame.width);
        ASSERT_EQ(b.height(), c.screenH ? c.screenH : c.frame.top + c.frame.height);
        ASSERT_EQ(b.pixelFormat(), PixelFormat::pf8bit);
        EXPECT_EQ(paletteColours(b), c.frame.localMap.empty() ? kFour : c.frame.localMap);
        expectScreen(b, c.frame, c.fill);
        EXPECT_EQ(b.transparency(), c.frame.transparent >= 0 ? Transparency::Index : Transparency::None);
        if (c.frame.transparent < 0) continue;
        EXPECT_EQ(b.transparentIndex(), c.frame.transparent);
        EXPECT_EQ(b.alphaAt(0, 0), 0);  // outside the frame
    }
}

TEST(Gif, TruncatedFrameKeepsTheRowsItHolds) {
    Frame fr = patternFrame(0, 0, 64, 64);
    uint32_t seed = 7;  // noise: poorly compressible, so half the file is half the rows
    for (uint8_t& p : fr.pixels) p = uint8_t((seed = seed * 1103515245u + 12345u) >> 16 & 3);
    const Bytes whole = writeGif({64, 64, 3, kFour, {fr}});
    const TGIFImage g = loaded<TGIFImage>(Bytes(whole.begin(), whole.begin() + whole.size() / 2));
    ASSERT_EQ(g.width(), 64);
    for (int x = 0; x < 64; ++x) {
        ASSERT_EQ(int(g.bitmap().rawPixel(x, 0)), fr.pixels[size_t(x)]);
        EXPECT_EQ(g.bitmap().rawPixel(x, 63), 3u);  // the last row was not in the file: the background
    }
}
