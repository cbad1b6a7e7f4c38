// TIFF plug-in on libtiff: the first page, through libtiff's RGBA reader (every bit depth and
// photometric interpretation it converts: bilevel, grey, palette, RGB, YCbCr, CMYK, Lab ...),
// turned as the orientation tag says. 32-bit output when the page has an alpha channel.
#include <tiffio.h>

#include <cstring>
#include <string>
#include <vector>

#include "plugins/common/SpiKit.h"

namespace {

// libtiff reads the source through these: a cursor over memory.
struct MemoryFile {
    const uint8_t* data;
    toff_t size, pos;
};

tsize_t readProc(thandle_t h, tdata_t buf, tsize_t n) {
    auto* f = static_cast<MemoryFile*>(h);
    if (n < 0 || f->pos >= f->size) return 0;
    const toff_t count = std::min<toff_t>(toff_t(n), f->size - f->pos);
    std::memcpy(buf, f->data + f->pos, size_t(count));
    f->pos += count;
    return tsize_t(count);
}
tsize_t writeProc(thandle_t, tdata_t, tsize_t) { return -1; }
toff_t seekProc(thandle_t h, toff_t off, int whence) {
    auto* f = static_cast<MemoryFile*>(h);
    int64_t base = whence == SEEK_CUR ? int64_t(f->pos) : whence == SEEK_END ? int64_t(f->size) : 0;
    const int64_t target = base + int64_t(off);
    if (target < 0) return toff_t(-1);
    f->pos = toff_t(target);
    return f->pos;
}
int closeProc(thandle_t) { return 0; }
toff_t sizeProc(thandle_t h) { return static_cast<MemoryFile*>(h)->size; }
int mapProc(thandle_t, tdata_t*, toff_t*) { return 0; }
void unmapProc(thandle_t, tdata_t, toff_t) {}

// libtiff reports problems on stderr by default; a failing result is all the host needs.
void quietTiff() {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
}

bool isTiff(const uint8_t* h, size_t n) {
    if (n < 4) return false;
    // Classic TIFF (42) and BigTIFF (43), either byte order.
    return (h[0] == 'I' && h[1] == 'I' && (h[2] == 42 || h[2] == 43) && h[3] == 0) ||
           (h[0] == 'M' && h[1] == 'M' && h[2] == 0 && (h[3] == 42 || h[3] == 43));
}

class Tiff {
public:
    explicit Tiff(const spikit::Source& src) : file_{src.data(), toff_t(src.size()), 0} {
        if (!isTiff(src.data(), src.size())) return;
        // "m": never map; the data is memory already.
        tif_ = TIFFClientOpen("tiff", "rm", &file_, readProc, writeProc, seekProc, closeProc, sizeProc, mapProc,
                              unmapProc);
    }
    ~Tiff() {
        if (tif_) TIFFClose(tif_);
    }
    TIFF* get() const { return tif_; }

private:
    MemoryFile file_;
    TIFF* tif_ = nullptr;
};

struct PageInfo {
    uint32_t width = 0, height = 0;
    uint16_t orientation = ORIENTATION_TOPLEFT;
    bool alpha = false;
    bool swapsSides() const { return orientation >= ORIENTATION_LEFTTOP; }
};

int32_t readPage(TIFF* tif, PageInfo& p) {
    if (!tif) return SPI_UNKNOWN_FORMAT;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &p.width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &p.height))
        return SPI_BROKEN_DATA;
    if (!spikit::sizeAllowed(p.width, p.height)) return SPI_NO_MEMORY;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &p.orientation);
    if (p.orientation < ORIENTATION_TOPLEFT || p.orientation > ORIENTATION_LEFTBOT) p.orientation = ORIENTATION_TOPLEFT;
    uint16_t count = 0;
    uint16_t* types = nullptr;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &count, &types))
        for (uint16_t i = 0; i < count; ++i)
            if (types[i] == EXTRASAMPLE_ASSOCALPHA || types[i] == EXTRASAMPLE_UNASSALPHA) p.alpha = true;
    char message[1024];
    if (!TIFFRGBAImageOK(tif, message)) return SPI_UNKNOWN_FORMAT;
    return SPI_OK;
}

// Where stored pixel (x, y) of a w x h page is shown, for each orientation of the TIFF 6.0
// orientation tag (row 0 / column 0 at: 1 top/left, 2 top/right, 3 bottom/right, 4 bottom/left,
// 5 left/top, 6 right/top, 7 right/bottom, 8 left/bottom).
void shownAt(uint16_t o, uint32_t x, uint32_t y, uint32_t w, uint32_t h, uint32_t& dx, uint32_t& dy) {
    switch (o) {
        case 2: dx = w - 1 - x, dy = y; break;
        case 3: dx = w - 1 - x, dy = h - 1 - y; break;
        case 4: dx = x, dy = h - 1 - y; break;
        case 5: dx = y, dy = x; break;
        case 6: dx = h - 1 - y, dy = x; break;
        case 7: dx = h - 1 - y, dy = w - 1 - x; break;
        case 8: dx = y, dy = w - 1 - x; break;
        default: dx = x, dy = y; break;
    }
}

int32_t decode(TIFF* tif, const PageInfo& p, spikit::DibBlocks& out) {
    std::vector<uint32_t> raster;
    try {
        raster.resize(size_t(p.width) * p.height);
    } catch (...) {
        return SPI_NO_MEMORY;
    }
    // Read the rows as stored and turn them here: libtiff's own handling covers only the flips.
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    if (!TIFFReadRGBAImageOriented(tif, p.width, p.height, raster.data(), ORIENTATION_TOPLEFT, 0))
        return SPI_BROKEN_DATA;
    const int shownW = int(p.swapsSides() ? p.height : p.width), shownH = int(p.swapsSides() ? p.width : p.height);
    if (!out.allocate(shownW, shownH, p.alpha)) return SPI_NO_MEMORY;
    for (uint32_t y = 0; y < p.height; ++y)
        for (uint32_t x = 0; x < p.width; ++x) {
            const uint32_t v = raster[size_t(y) * p.width + x];
            // libtiff hands back colour premultiplied by alpha; the blocks hold it straight.
            const uint8_t s[4] = {uint8_t(TIFFGetR(v)), uint8_t(TIFFGetG(v)), uint8_t(TIFFGetB(v)), uint8_t(TIFFGetA(v))};
            uint32_t dx, dy;
            shownAt(p.orientation, x, y, p.width, p.height, dx, dy);
            out.putPixel(int(dx), int(dy), s, 4, true);
        }
    return SPI_OK;
}

}  // namespace

SPIKIT_EXPORT int32_t GetPluginInfo(int32_t infono, char* buf, int32_t buflen) {
    static const std::string about = std::string("Korvel TIFF plug-in (libtiff ") +
                                     std::string(TIFFGetVersion()).substr(0, std::string(TIFFGetVersion()).find('\n')) +
                                     ")";
    const char* const items[] = {"00IN", about.c_str(), "*.tif;*.tiff", "TIFF image"};
    return spikit::pluginInfo(items, 4, infono, buf, buflen);
}

SPIKIT_EXPORT int32_t IsSupported(const char*, const void* header) {
    return header && isTiff(static_cast<const uint8_t*>(header), SPI_HEADER_BYTES) ? 1 : 0;
}

SPIKIT_EXPORT int32_t GetPictureInfo(const char* buf, intptr_t len, uint32_t flag, SpiPictureInfo* info) {
    try {
        quietTiff();
        spikit::Source src;
        if (int32_t rc = src.open(buf, len, flag); rc != SPI_OK) return rc;
        Tiff tif(src);
        PageInfo p;
        if (int32_t rc = readPage(tif.get(), p); rc != SPI_OK) return rc;
        std::memset(info, 0, sizeof *info);
        info->width = int32_t(p.swapsSides() ? p.height : p.width);
        info->height = int32_t(p.swapsSides() ? p.width : p.height);
        info->colorDepth = p.alpha ? 32 : 24;
        return SPI_OK;
    } catch (...) {
        return SPI_INTERNAL_ERROR;
    }
}

SPIKIT_EXPORT int32_t GetPicture(const char* buf, intptr_t len, uint32_t flag, void** pHBInfo, void** pHBm,
                                 SpiProgressCallback progress, intptr_t data) {
    try {
        if (!pHBInfo || !pHBm) return SPI_INTERNAL_ERROR;
        *pHBInfo = *pHBm = nullptr;
        quietTiff();
        spikit::Source src;
        if (int32_t rc = src.open(buf, len, flag); rc != SPI_OK) return rc;
        Tiff tif(src);
        PageInfo p;
        if (int32_t rc = readPage(tif.get(), p); rc != SPI_OK) return rc;
        if (spikit::cancelled(progress, 0, 1, data)) return SPI_ABORTED;
        spikit::DibBlocks out;
        if (int32_t rc = decode(tif.get(), p, out); rc != SPI_OK) return rc;
        if (spikit::cancelled(progress, 1, 1, data)) return SPI_ABORTED;
        out.release(pHBInfo, pHBm);
        return SPI_OK;
    } catch (...) {
        return SPI_INTERNAL_ERROR;
    }
}
