#include <gtest/gtest.h>

#include <gif_lib.h>

#include "codecs/Gif.h"
#include "tests/support/CodecSamples.h"

using namespace korvel;

namespace {

using Bytes = std::vector<uint8_t>;

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

// Rows in the order an interlaced frame stores them (GIF89a appendix E), written out plainly.
std::vector<int> rowOrder(int height, bool interlace) {
    const int starts[] = {0, 4, 2, 1}, steps[] = {8, 8, 4, 2};
    std::vector<int> order;
    for (int p = 0; p < (interlace ? 4 : 1); ++p)
        for (int y = interlace ? starts[p] : 0; y < height; y += interlace ? steps[p] : 1) order.push_back(y);
    return order;
}

// Writes the file with giflib's encoder.
Bytes writeGif(const GifFile& f) {
    Bytes out;
    int err = 0;
    GifFileType* gif = EGifOpen(&out, korvel::testing::samples::appendGifBytes, &err);
    EXPECT_NE(gif, nullptr);
    EGifSetGifVersion(gif, true);
    ColorMapObject* global = makeMap(f.globalMap);
    EXPECT_EQ(EGifPutScreenDesc(gif, f.width, f.height, 8, f.background, global), GIF_OK);
    GifFreeMapObject(global);
    for (const Frame& fr : f.frames) {
        if (fr.transparent >= 0) {
            GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, fr.transparent};
            GifByteType ext[4];
            EGifGCBToExtension(&gcb, ext);
            EXPECT_EQ(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext), GIF_OK);
        }
        ColorMapObject* local = makeMap(fr.localMap);
        EXPECT_EQ(EGifPutImageDesc(gif, fr.left, fr.top, fr.width, fr.height, fr.interlace, local), GIF_OK);
        GifFreeMapObject(local);
        for (int y : rowOrder(fr.height, fr.interlace)) {
            std::vector<GifPixelType> line(fr.pixels.begin() + y * fr.width,
                fr.pixels.begin() + (y + 1) * fr.width);
            EXPECT_EQ(EGifPutLine(gif, line.data(), fr.width), GIF_OK);
        }
    }
    EXPECT_EQ(EGifCloseFile(gif, &err), GIF_OK);
    return out;
}

std::vector<Color> fourColours() { return {0x000000, 0xFF0000, 0x00FF00, 0x0000FF}; }

Frame patternFrame(int left, int top, int w, int h, int colours) {
    Frame fr;
    fr.left = left, fr.top = top, fr.width = w, fr.height = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) fr.pixels.push_back(uint8_t((x + 2 * y) % colours));
    return fr;
}

TGIFImage load(const Bytes& file) {
    TGIFImage g;
    g.loadFromMemory(file.data(), file.size());
    return g;
}

// The value the screen pixel (x, y) must hold: the frame's pixel inside it, else the fill.
int expectedIndex(const Frame& fr, int x, int y, int fill) {
    if (x >= fr.left && x < fr.left + fr.width && y >= fr.top && y < fr.top + fr.height)
        return fr.pixels[size_t((y - fr.top) * fr.width + (x - fr.left))];
    return fill;
}

std::vector<RGBQuad> quads(const std::vector<Color>& colours) {
    std::vector<RGBQuad> q;
    for (Color c : colours) q.push_back(RGBQuad::of(c));
    return q;
}

}  // namespace

TEST(Gif, FirstFrameIsDrawnOntoTheScreen) {
    struct Case {
        const char* name;
        int screenW, screenH, background;
        Frame frame;
        bool useLocalMap;
        int fill;  // expected outside the frame
    };
    auto withTransparency = [](Frame f, int t) { return f.transparent = t, f; };
    auto interlaced = [](Frame f) { return f.interlace = true, f; };
    Case cases[] = {
        {"whole screen", 6, 5, 0, patternFrame(0, 0, 6, 5, 4), false, 0},
        {"offset frame on background", 10, 8, 2, patternFrame(3, 2, 4, 3, 4), false, 2},
        {"transparent frame", 10, 8, 2, withTransparency(patternFrame(1, 4, 5, 3, 4), 3), false, 3},
        {"interlaced", 7, 19, 1, interlaced(patternFrame(0, 0, 7, 19, 4)), false, 1},
        {"interlaced offset", 9, 23, 0, interlaced(patternFrame(2, 3, 5, 17, 4)), false, 0},
        {"local palette", 8, 8, 0, patternFrame(1, 1, 6, 6, 4), true, 0},
        {"clipped right and bottom", 10, 8, 3, patternFrame(6, 5, 8, 8, 4), false, 3},
        {"clipped interlaced", 10, 8, 3, interlaced(patternFrame(6, 5, 8, 8, 4)), false, 3},
        {"larger than the screen", 10, 8, 3, patternFrame(0, 0, 30, 20, 4), false, 3},
        {"right of the screen", 10, 8, 3, patternFrame(12, 0, 4, 4, 4), false, 3},
        {"below the screen", 10, 8, 3, patternFrame(0, 9, 4, 4, 4), false, 3},
    };
    for (Case& c : cases) {
        const std::vector<Color> local = {0x101010, 0x202020, 0x303030, 0x404040};
        if (c.useLocalMap) c.frame.localMap = local;
        const TGIFImage g = load(writeGif({c.screenW, c.screenH, c.background, fourColours(), {c.frame}}));
        const TBitmap& b = g.bitmap();
        ASSERT_EQ(b.width(), c.screenW) << c.name;
        ASSERT_EQ(b.height(), c.screenH) << c.name;
        ASSERT_EQ(b.pixelFormat(), PixelFormat::pf8bit);
        EXPECT_EQ(b.palette(), quads(c.useLocalMap ? local : fourColours())) << c.name;
        for (int y = 0; y < c.screenH; ++y)
            for (int x = 0; x < c.screenW; ++x)
                ASSERT_EQ(int(b.rawPixel(x, y)), expectedIndex(c.frame, x, y, c.fill))
                    << c.name << " " << x << "," << y;
        if (c.frame.transparent >= 0) {
            EXPECT_EQ(b.transparency(), Transparency::Index) << c.name;
            EXPECT_EQ(b.transparentIndex(), c.frame.transparent);
            EXPECT_EQ(b.alphaAt(0, 0), 0);  // outside the frame
        } else {
            EXPECT_EQ(b.transparency(), Transparency::None) << c.name;
        }
    }
}

TEST(Gif, OnlyTheFirstFrameIsRead) {
    const Frame first = patternFrame(0, 0, 12, 10, 2);
    Frame second = patternFrame(0, 0, 12, 10, 4);
    second.transparent = 2;
    second.localMap = {0xFFFFFF, 0xFFFFFF};
    const Bytes whole = writeGif({12, 10, 0, fourColours(), {first, second}});
    // Cutting the file inside the second frame must not matter: it is never read.
    const Bytes cut(whole.begin(), whole.end() - 12);
    for (const Bytes* file : {&whole, &cut}) {
        const TGIFImage g = load(*file);
        EXPECT_EQ(g.bitmap().palette(), quads(fourColours()));
        EXPECT_EQ(g.bitmap().transparency(), Transparency::None);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 12; ++x) ASSERT_EQ(int(g.bitmap().rawPixel(x, y)),
                expectedIndex(first, x, y, 0));
    }
}

TEST(Gif, IndexBeyondTheColourTableReadsAsBlack) {
    // Written with a 256-entry table, then the table is cut to two entries; the image data
    // still holds index 200.
    GifFile f;
    f.width = 4, f.height = 2;
    for (int i = 0; i < 256; ++i) f.globalMap.push_back(i == 1 ? 0xFFFFFF : 0x123456);
    Frame fr;
    fr.width = 4, fr.height = 2;
    fr.pixels = {1, 200, 1, 200, 0, 1, 255, 1};
    f.frames = {fr};
    Bytes file = writeGif(f);
    ASSERT_EQ(file[10] & 0x87, 0x87);               // global table flag, 2^(7+1) entries
    file[10] = uint8_t((file[10] & ~0x07) | 0x00);  // 2 entries
    file.erase(file.begin() + 13 + 6, file.begin() + 13 + 768);
    const TGIFImage g = load(file);
    const TBitmap& b = g.bitmap();
    ASSERT_EQ(b.palette().size(), 2u);
    EXPECT_EQ(b.rawPixel(1, 0), 200u);
    EXPECT_EQ(b.pixel(1, 0), 0x000000u);
    EXPECT_EQ(b.pixel(0, 0), 0xFFFFFFu);
    EXPECT_EQ(b.pixel(0, 1), 0x123456u);
    EXPECT_EQ(b.pixel(2, 1), 0x000000u);
}

TEST(Gif, MissingScreenSizeFallsBackToTheFrame) {
    const GifFile f{10, 10, 0, fourColours(), {patternFrame(2, 1, 5, 4, 4)}};
    Bytes file = writeGif(f);
    for (int i = 6; i < 10; ++i) file[i] = 0;  // logical screen 0 x 0
    const TGIFImage g = load(file);
    EXPECT_EQ(g.width(), 7);
    EXPECT_EQ(g.height(), 5);
    EXPECT_EQ(int(g.bitmap().rawPixel(2, 1)), f.frames[0].pixels[0]);
}

TEST(Gif, TruncatedFrameKeepsTheRowsItHolds) {
    Frame fr = patternFrame(0, 0, 64, 64, 4);
    uint32_t seed = 7;  // noise: poorly compressible, so half the file is half the rows
    for (uint8_t& p : fr.pixels) p = uint8_t((seed = seed * 1103515245u + 12345u) >> 16 & 3);
    const Bytes whole = writeGif({64, 64, 3, fourColours(), {fr}});
    const Bytes cut(whole.begin(), whole.begin() + whole.size() / 2);
    const TGIFImage g = load(cut);
    ASSERT_EQ(g.width(), 64);
    for (int x = 0; x < 64; ++x) ASSERT_EQ(int(g.bitmap().rawPixel(x, 0)), fr.pixels[size_t(x)]);
    int backgroundPixels = 0;  // the last row was not in the file: it keeps the background
    for (int x = 0; x < 64; ++x) backgroundPixels += g.bitmap().rawPixel(x, 63) == 3;
    EXPECT_EQ(backgroundPixels, 64);
}
