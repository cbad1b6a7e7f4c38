#include "codecs/Gif.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "base/Limits.h"
#include "codecs/GifMemory.h"

namespace korvel {

const GraphicClass TGIFImage::classInfo{"TGIFImage", &TGraphic::classInfo,
                                        [] { return std::unique_ptr<TGraphic>(new TGIFImage); }};

int readGifMemory(GifFileType* gif, GifByteType* buf, int len) {
    auto* r = static_cast<GifMemoryReader*>(gif->UserData);
    if (len <= 0 || r->pos >= r->size) return 0;
    const size_t n = std::min(size_t(len), r->size - r->pos);
    std::memcpy(buf, r->data + r->pos, n);
    r->pos += n;
    return int(n);
}

namespace {

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int err = 0;
        DGifCloseFile(gif, &err);
    }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

[[noreturn]] void throwGifError(int code) {
    const char* text = GifErrorString(code);
    throw EInvalidGraphic(std::string("GIF error: ") + (text ? text : "error " + std::to_string(code)));
}

std::vector<RGBQuad> paletteOf(const ColorMapObject* map) {
    std::vector<RGBQuad> pal;
    if (!map || !map->Colors || map->ColorCount <= 0) {
        // No colour table at all: a grey ramp, the usual stand-in.
        for (int i = 0; i < 256; ++i) pal.push_back(RGBQuad{uint8_t(i), uint8_t(i), uint8_t(i), 0});
        return pal;
    }
    const int count = std::min(map->ColorCount, 256);
    for (int i = 0; i < count; ++i) {
        const GifColorType& c = map->Colors[i];
        pal.push_back(RGBQuad{c.Blue, c.Green, c.Red, 0});
    }
    return pal;
}

// Row of the frame that the n-th stored line belongs to. Interlaced frames store every 8th row
// from 0, then every 8th from 4, every 4th from 2 and every 2nd from 1 (GIF89a, appendix E).
struct RowOrder {
    bool interlaced;
    int height;
    int pass = 0, next = 0;
    int take() {
        if (!interlaced) return next++;
        static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
        while (next >= height && pass < 3) next = start[++pass];
        int row = next;
        next += step[pass];
        return row;
    }
};

// Skips to the first image descriptor, remembering the transparent index of the graphic
// control extension that precedes it (-1 when none).
int skipToFirstImage(GifFileType* gif, uint64_t maxRecords) {
    int transparent = -1;
    for (uint64_t extensions = 0;;) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) throwGifError(gif->Error);
        if (type == IMAGE_DESC_RECORD_TYPE) return transparent;
        if (type == TERMINATE_RECORD_TYPE) throw EInvalidGraphic("GIF error: the file holds no image");
        if (type != EXTENSION_RECORD_TYPE) continue;
        if (++extensions > maxRecords)
            throw EImageTooLarge("GIF: more than " + std::to_string(maxRecords) + " records before the first image");
        int code = 0;
        GifByteType* ext = nullptr;
        if (DGifGetExtension(gif, &code, &ext) == GIF_ERROR) throwGifError(gif->Error);
        GraphicsControlBlock gcb;
        if (code == GRAPHICS_EXT_FUNC_CODE && ext && DGifExtensionToGCB(ext[0], ext + 1, &gcb) == GIF_OK)
            transparent = gcb.TransparentColor;
        while (ext)
            if (DGifGetExtensionNext(gif, &ext) == GIF_ERROR) throwGifError(gif->Error);
    }
}

// Draws the frame just described onto a new screen raster.
TBitmap drawFirstFrame(GifFileType* gif, int transparent, uint64_t maxPixels) {
    if (DGifGetImageDesc(gif) == GIF_ERROR) throwGifError(gif->Error);
    const GifImageDesc& d = gif->Image;
    int screenW = gif->SWidth, screenH = gif->SHeight;
    // A zero logical screen occurs in the wild; the frame's extent stands in for it.
    if (screenW <= 0 || screenH <= 0) {
        screenW = d.Left + d.Width;
        screenH = d.Top + d.Height;
    }
    checkImageSize(screenW, screenH, 8, maxPixels);
    TBitmap screen(screenW, screenH, PixelFormat::pf8bit, maxPixels);
    screen.setPalette(paletteOf(d.ColorMap ? d.ColorMap : gif->SColorMap));
    const int background = transparent >= 0 ? transparent : gif->SColorMap ? gif->SBackGroundColor : 0;
    for (int y = 0; y < screenH; ++y) std::memset(screen.scanLine(y), background, size_t(screenW));
    if (transparent >= 0) screen.setTransparentIndex(transparent);

    // Only the part of the frame inside the screen is kept.
    const int visibleW = std::min(d.Left + d.Width, screenW) - d.Left;
    int visibleRows = std::min(d.Top + d.Height, screenH) - d.Top;
    if (visibleW <= 0 || visibleRows <= 0 || d.Width <= 0) return screen;
    std::vector<GifPixelType> line(size_t(d.Width));
    RowOrder order{d.Interlace, d.Height};
    for (int n = 0; n < d.Height && visibleRows > 0; ++n) {
        const int row = order.take();
        if (DGifGetLine(gif, line.data(), d.Width) == GIF_ERROR) {
            // A truncated file shows the rows it holds, as a viewer should.
            if (gif->Error == D_GIF_ERR_READ_FAILED && n > 0) break;
            throwGifError(gif->Error);
        }
        const int y = d.Top + row;
        if (row >= d.Height || y >= screenH) continue;
        std::memcpy(screen.scanLine(y) + d.Left, line.data(), size_t(visibleW));
        --visibleRows;
    }
    return screen;
}

}  // namespace

void TGIFImage::loadFromMemory(const uint8_t* data, size_t size, const DecodeLimits& limits) {
    GifMemoryReader reader{data, size, 0};
    int err = 0;
    GifHandle gif(DGifOpen(&reader, readGifMemory, &err));
    if (!gif) throwGifError(err);
    // Only the first frame is read: the rest of an animation is never touched.
    const int transparent = skipToFirstImage(gif.get(), limits.maxGifRecords);
    bitmap_ = drawFirstFrame(gif.get(), transparent, limits.maxPixels);
}

}  // namespace korvel
