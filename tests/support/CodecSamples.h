#pragma once
// Small good GIF and JPEG files for the mutation tests and the fuzzers' seed corpus.
#include <gif_lib.h>

#include <cstdint>
#include <vector>

#include "tests/support/TestImages.h"

namespace korvel::testing {

namespace samples {

inline int appendGifBytes(GifFileType* gif, const GifByteType* data, int len) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + len);
    return len;
}

// A frame of a pattern of indices 0 to 7, or of the indices of an 8-bit raster.
inline void putGifFrame(GifFileType* gif, int left, int top, int w, int h, bool interlace, ColorMapObject* local,
                        int transparent, const TBitmap* indices = nullptr) {
    GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 5, transparent};
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
    EGifPutImageDesc(gif, left, top, w, h, interlace, local);
    std::vector<GifPixelType> line(static_cast<size_t>(w));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            line[size_t(x)] = GifPixelType(indices ? indices->scanLine(y)[x] : (x * 3 + y * 5) & 7);
        EGifPutLine(gif, line.data(), w);
    }
}

}  // namespace samples

// An animation with a global and a local colour table, transparency and an interlaced frame.
inline std::vector<uint8_t> animatedGif(bool interlaceFirst) {
    std::vector<uint8_t> out;
    int err = 0;
    GifFileType* gif = EGifOpen(&out, samples::appendGifBytes, &err);
    EGifSetGifVersion(gif, true);
    GifColorType colours[8];
    for (int i = 0; i < 8; ++i) colours[i] = GifColorType{uint8_t(i * 30), uint8_t(255 - i * 30), uint8_t(i * 17)};
    ColorMapObject* global = GifMakeMapObject(8, colours);
    ColorMapObject* local = GifMakeMapObject(8, colours);
    EGifPutScreenDesc(gif, 24, 20, 8, 1, global);
    samples::putGifFrame(gif, 2, 3, 17, 13, interlaceFirst, local, 4);
    // giflib's encoder drops (and leaks) a frame's local table when the next frame has none.
    samples::putGifFrame(gif, 0, 0, 24, 20, false, local, -1);
    EGifCloseFile(gif, &err);
    GifFreeMapObject(global);
    GifFreeMapObject(local);
    return out;
}

// A one-frame GIF of an 8-bit raster of up to 8 colours: its palette as the global colour table,
// its indices, and the transparent index given (-1 for none).
inline std::vector<uint8_t> paletteGif(const TBitmap& indexed, int transparent) {
    std::vector<uint8_t> out;
    int err = 0;
    GifFileType* gif = EGifOpen(&out, samples::appendGifBytes, &err);
    EGifSetGifVersion(gif, true);
    GifColorType colours[8] = {}, *next = colours;
    for (const RGBQuad& q : indexed.palette()) *next++ = GifColorType{q.rgbRed, q.rgbGreen, q.rgbBlue};
    ColorMapObject* map = GifMakeMapObject(8, colours);
    EGifPutScreenDesc(gif, indexed.width(), indexed.height(), 8, 0, map);
    samples::putGifFrame(gif, 0, 0, indexed.width(), indexed.height(), false, nullptr, transparent, &indexed);
    EGifCloseFile(gif, &err);
    GifFreeMapObject(map);
    return out;
}

// A w x h gradient through the JPEG encoder.
inline std::vector<uint8_t> jpegSample(int w, int h, bool progressive, bool grey) {
    TBitmap b(w, h, PixelFormat::pf24bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setRawPixel(x, y, makeColor(uint8_t(x * 9), uint8_t(y * 13), uint8_t((x ^ y) * 7)));
    return jpegBytes(b, 80, progressive, grey);
}

}  // namespace korvel::testing
