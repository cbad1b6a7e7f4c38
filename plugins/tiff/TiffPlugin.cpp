// TIFF plug-in on libtiff: the first page, through libtiff's RGBA reader (every bit depth and
// photometric interpretation it converts: bilevel, grey, palette, RGB, YCbCr, CMYK, Lab ...),
// turned as the orientation tag says, unless the host turns pictures itself (SPI_HOST_ORIENTS):
// then the rows come as stored and GetPictureMeta reports the tag, with the ICC profile.
// 32-bit output when the page has an alpha channel.
//
// libtiff and the compression libraries it links take about a millisecond to load, and every
// Korvel start loads this plug-in. So the plug-in does not link libtiff: IsSupported reads the
// file header itself, and libtiff is opened when a picture is first read.
#include <tiffio.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "plugins/common/SpiKit.h"

namespace {

// The library's file name: libtiff 4.5, the first to define TIFFLIB_AT_LEAST, moved from
// libtiff.so.5 to libtiff.so.6.
#ifdef TIFFLIB_AT_LEAST
constexpr const char* kLibtiff = "libtiff.so.6";
#else
constexpr const char* kLibtiff = "libtiff.so.5";
#endif

// The libtiff functions used here; the table names them without their "TIFF" prefix.
#define KORVEL_TIFF_FUNCTIONS(X)                                                                       \
    X(TIFF, ClientOpen) X(TIFF, Close) X(TIFF, GetField) X(TIFF, GetFieldDefaulted) X(TIFF, SetField) \
    X(TIFF, RGBAImageOK) X(TIFF, ReadRGBAImageOriented) X(TIFF, SetErrorHandler) X(TIFF, SetWarningHandler)

// libtiff(), opened on the first call.
SPIKIT_LAZY_LIBRARY(TiffApi, libtiff, kLibtiff, KORVEL_TIFF_FUNCTIONS)

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

bool isTiff(const uint8_t* h, size_t n) {
    if (n < 4) return false;
    // Classic TIFF (42) and BigTIFF (43), either byte order.
    return (h[0] == 'I' && h[1] == 'I' && (h[2] == 42 || h[2] == 43) && h[3] == 0) ||
           (h[0] == 'M' && h[1] == 'M' && h[2] == 0 && (h[3] == 42 || h[3] == 43));
}

class Tiff {
public:
    Tiff(const TiffApi& api, const spikit::Source& src) : api_(api), file_{src.data(), toff_t(src.size()), 0} {
        // "m": never map; the data is memory already.
        tif_ = api_.ClientOpen("tiff", "rm", &file_, readProc, writeProc, seekProc, closeProc, sizeProc, mapProc,
                               unmapProc);
    }
    ~Tiff() {
        if (tif_) api_.Close(tif_);
    }
    const TiffApi& api() const { return api_; }
    TIFF* get() const { return tif_; }

private:
    const TiffApi& api_;
    MemoryFile file_;
    TIFF* tif_ = nullptr;
};

struct PageInfo {
    uint32_t width = 0, height = 0;
    uint16_t orientation = ORIENTATION_TOPLEFT;
    bool alpha = false;
    bool swapsSides() const { return orientation >= ORIENTATION_LEFTTOP; }
};

int32_t readPage(const Tiff& t, PageInfo& p, uint32_t flag) {
    TIFF* tif = t.get();
    const TiffApi& api = t.api();
    if (!tif) return SPI_UNKNOWN_FORMAT;
    if (!api.GetField(tif, TIFFTAG_IMAGEWIDTH, &p.width) || !api.GetField(tif, TIFFTAG_IMAGELENGTH, &p.height))
        return SPI_BROKEN_DATA;
    if (!spikit::sizeAllowed(p.width, p.height)) return SPI_NO_MEMORY;
    api.GetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &p.orientation);
    if (p.orientation < ORIENTATION_TOPLEFT || p.orientation > ORIENTATION_LEFTBOT) p.orientation = ORIENTATION_TOPLEFT;
    if (flag & SPI_HOST_ORIENTS) p.orientation = ORIENTATION_TOPLEFT;  // reported, not applied
    uint16_t count = 0;
    uint16_t* types = nullptr;
    if (api.GetField(tif, TIFFTAG_EXTRASAMPLES, &count, &types))
        for (uint16_t i = 0; i < count; ++i)
            if (types[i] == EXTRASAMPLE_ASSOCALPHA || types[i] == EXTRASAMPLE_UNASSALPHA) p.alpha = true;
    char message[1024];
    if (!api.RGBAImageOK(tif, message)) return SPI_UNKNOWN_FORMAT;
    return SPI_OK;
}

int32_t decodePage(const Tiff& t, const PageInfo& p, spikit::DibBlocks& out) {
    std::vector<uint32_t> raster;
    try {
        raster.resize(size_t(p.width) * p.height);
    } catch (...) {
        return SPI_NO_MEMORY;
    }
    // Read the rows as stored and turn them here: libtiff's own handling covers only the flips.
    t.api().SetField(t.get(), TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    if (!t.api().ReadRGBAImageOriented(t.get(), p.width, p.height, raster.data(), ORIENTATION_TOPLEFT, 0))
        return SPI_BROKEN_DATA;
    const int shownW = int(p.swapsSides() ? p.height : p.width), shownH = int(p.swapsSides() ? p.width : p.height);
    if (!out.allocate(shownW, shownH, p.alpha)) return SPI_NO_MEMORY;
    for (uint32_t y = 0; y < p.height; ++y)
        for (uint32_t x = 0; x < p.width; ++x) {
            const uint32_t v = raster[size_t(y) * p.width + x];
            // libtiff hands back colour premultiplied by alpha; the blocks hold it straight.
            const uint8_t s[4] = {uint8_t(TIFFGetR(v)), uint8_t(TIFFGetG(v)), uint8_t(TIFFGetB(v)), uint8_t(TIFFGetA(v))};
            uint32_t dx, dy;
            spikit::shownAt(p.orientation, x, y, p.width, p.height, dx, dy);
            out.putPixel(int(dx), int(dy), s, 4, true);
        }
    return SPI_OK;
}

class TiffPicture : public spikit::Picture {
public:
    TiffPicture(const TiffApi& api, const spikit::Source& src) : tif_(api, src) {}
    int32_t readHeader(uint32_t flag, spikit::Shape& shape) override {
        if (int32_t rc = readPage(tif_, page_, flag); rc != SPI_OK) return rc;
        shape.width = int32_t(page_.swapsSides() ? page_.height : page_.width);
        shape.height = int32_t(page_.swapsSides() ? page_.width : page_.height);
        shape.colorDepth = page_.alpha ? 32 : 24;
        return SPI_OK;
    }
    int32_t decode(spikit::DibBlocks& out) override { return decodePage(tif_, page_, out); }
    int32_t readMeta(uint32_t flag, SpiPictureMeta* meta) override {
        // Without the host's flag the plug-in turns the rows itself: nothing is left to turn.
        if (int32_t rc = readPage(tif_, page_, 0); rc != SPI_OK) return rc;
        const int orientation = flag & SPI_HOST_ORIENTS ? page_.orientation : 1;
        uint32_t count = 0;
        const void* icc = nullptr;
        if (!tif_.api().GetField(tif_.get(), TIFFTAG_ICCPROFILE, &count, &icc)) count = 0;
        return spikit::putMeta(meta, orientation, static_cast<const uint8_t*>(icc), icc ? count : 0);
    }

private:
    Tiff tif_;
    PageInfo page_;
};

int32_t openTiff(const spikit::Source& src, std::unique_ptr<spikit::Picture>& picture) {
    const TiffApi* api = libtiff();
    if (!api) return SPI_INTERNAL_ERROR;
    // libtiff reports problems on stderr by default; a failing result is all the host needs.
    // Set on every call: another user of libtiff in the process may have set its own.
    api->SetErrorHandler(nullptr);
    api->SetWarningHandler(nullptr);
    picture = std::make_unique<TiffPicture>(*api, src);
    return SPI_OK;
}

}  // namespace

const spikit::PluginDefinition& spikit::thisPlugin() {
    // The version built against: asking the library would load it.
    static const std::string version(TIFFLIB_VERSION_STR);
    static const PluginDefinition plugin{
        {"00IN", "Korvel TIFF plug-in (libtiff " + version.substr(0, version.find('\n')) + ")", "*.tif;*.tiff",
         "TIFF image"},
        isTiff, openTiff};
    return plugin;
}
