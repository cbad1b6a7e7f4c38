#include <cstring>
#include <ostream>
#include <vector>

#include "imaging/Bmp.h"
#include "imaging/Bitmap.h"
#include "base/Errors.h"
#include "base/Limits.h"

namespace korvel {

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t BI_RGB = 0, BI_BITFIELDS = 3;

void put16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

struct Layout {
    std::vector<RGBQuad> palette;
    bool bitfields = false;  // 5-6-5 needs explicit masks; 5-5-5 is the BI_RGB default
    uint32_t headerBytes = 0;
    size_t imageBytes = 0;
};

Layout layoutOf(const TBitmap& bmp) {
    Layout l;
    if (isPaletteFormat(bmp.pixelFormat())) {
        l.palette = bmp.palette().empty() ? defaultPalette(bmp.pixelFormat()) : bmp.palette();
        size_t maxEntries = size_t(1) << bmp.bitsPerPixel();
        if (l.palette.size() > maxEntries) l.palette.resize(maxEntries);
    }
    l.bitfields = bmp.pixelFormat() == PixelFormat::pf16bit;
    l.headerBytes = kFileHeaderSize + kInfoHeaderSize + (l.bitfields ? 12 : 0) + uint32_t(l.palette.size()) * 4;
    l.imageBytes = checkedMul(bmp.stride(), size_t(bmp.height()));
    return l;
}

}  // namespace

size_t bmpFileSize(const TBitmap& bmp) {
    Layout l = layoutOf(bmp);
    return checkedAdd(l.headerBytes, l.imageBytes);
}

void writeBmp(const TBitmap& bmp, std::ostream& out) {
    if (bmp.empty()) throw EInvalidGraphic("Cannot save an empty bitmap");
    Layout l = layoutOf(bmp);
    size_t fileSize = checkedAdd(l.headerBytes, l.imageBytes);
    if (fileSize > 0xFFFFFFFFu) throw EImageTooLarge("Bitmap too large for a bitmap file");
    std::vector<uint8_t> h;
    h.reserve(l.headerBytes);
    h.push_back('B');
    h.push_back('M');
    put32(h, uint32_t(fileSize));
    put32(h, 0);
    put32(h, l.headerBytes);
    put32(h, kInfoHeaderSize);
    put32(h, uint32_t(bmp.width()));
    put32(h, uint32_t(bmp.height()));  // positive: rows bottom-up
    put16(h, 1);
    put16(h, uint16_t(bmp.pixelFormat() == PixelFormat::pf15bit ? 16 : bmp.bitsPerPixel()));
    put32(h, l.bitfields ? BI_BITFIELDS : BI_RGB);
    put32(h, uint32_t(l.imageBytes));
    put32(h, 0);
    put32(h, 0);
    put32(h, uint32_t(l.palette.size()));
    put32(h, 0);
    if (l.bitfields) {
        put32(h, 0xF800);
        put32(h, 0x07E0);
        put32(h, 0x001F);
    }
    for (const RGBQuad& q : l.palette) {
        h.push_back(q.rgbBlue);
        h.push_back(q.rgbGreen);
        h.push_back(q.rgbRed);
        h.push_back(0);
    }
    out.write(reinterpret_cast<const char*>(h.data()), std::streamsize(h.size()));
    for (int y = bmp.height() - 1; y >= 0; --y)
        out.write(reinterpret_cast<const char*>(bmp.scanLine(y)), std::streamsize(bmp.stride()));
    if (!out) throw EFileError("Write Error: the bitmap could not be written");
}

}  // namespace korvel
