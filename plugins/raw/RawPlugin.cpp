// Camera RAW plug-in on LibRaw. The full picture is LibRaw's demosaic with the camera's white
// balance, in sRGB, 8 bits a sample. When the host asks for a picture covering a smaller size
// (thumbnails, the preview pane), the embedded JPEG preview LibRaw finds (the largest the file
// holds) is decoded instead, provided it covers that size: milliseconds instead of a second.
//
// The orientation comes from the file's metadata. With SPI_HOST_ORIENTS the rows come as stored
// and GetPictureMeta reports it; otherwise LibRaw turns the full picture and the preview is
// turned here.
//
// LibRaw is large and every Korvel start loads this plug-in, so the library is opened on the first
// picture, through its C interface. libjpeg is Korvel's own dependency and loaded anyway.
#include <libraw/libraw.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "plugins/common/SpiKit.h"

namespace {

#define KORVEL_LIBRAW_FUNCTIONS(X)                                                                      \
    X(libraw_, init) X(libraw_, close) X(libraw_, open_buffer) X(libraw_, open_file) X(libraw_, unpack) X(libraw_, unpack_thumb) \
    X(libraw_, adjust_sizes_info_only) X(libraw_, dcraw_process) X(libraw_, dcraw_make_mem_image)       \
    X(libraw_, dcraw_make_mem_thumb) X(libraw_, dcraw_clear_mem)

// libraw(), opened on the first call.
#define KORVEL_STR2(x) #x
#define KORVEL_STR(x) KORVEL_STR2(x)
SPIKIT_LAZY_LIBRARY(RawApi, libraw, "libraw.so." KORVEL_STR(LIBRAW_SHLIB_CURRENT), KORVEL_LIBRAW_FUNCTIONS)

uint32_t be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

// The containers LibRaw reads: TIFF and its relatives (DNG, CR2, NEF, ARW, PEF, SRW ...; Olympus
// "IIRO"/"IIRS"/"MMOR", Panasonic "IIU"), CR3 (an ISO media file of brand "crx "), Fujifilm RAF
// and Sigma X3F.
bool looksLikeRaw(const uint8_t* h, size_t n) {
    if (n < 16) return false;
    if ((h[0] == 'I' && h[1] == 'I' && h[3] == 0 && (h[2] == 42 || h[2] == 'U')) ||
        (h[0] == 'M' && h[1] == 'M' && h[2] == 0 && h[3] == 42))
        return true;
    if (std::memcmp(h, "IIRO", 4) == 0 || std::memcmp(h, "IIRS", 4) == 0 || std::memcmp(h, "MMOR", 4) == 0)
        return true;
    if (std::memcmp(h + 4, "ftypcrx ", 8) == 0 && be32(h) >= 16) return true;
    return std::memcmp(h, "FUJIFILMCCD-RAW", 15) == 0 || std::memcmp(h, "FOVb", 4) == 0;
}

// LibRaw's flip (bit 4 swaps the axes, bit 2 mirrors the rows, bit 1 the columns) as EXIF orientation.
int exifOrientation(int flip) {
    static const int table[8] = {1, 2, 4, 3, 5, 8, 6, 7};
    return table[flip & 7];
}

// A decoded 8-bit RGB picture, rows top-down without padding.
struct Rgb {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
};

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

void jpegFail(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1); }
void jpegQuiet(j_common_ptr, int) {}

// Decodes a JPEG reduced by libjpeg's DCT scaling as far as it still covers wantW x wantH.
bool decodeJpeg(const uint8_t* data, size_t size, int wantW, int wantH, Rgb& out) {
    jpeg_decompress_struct cinfo;
    JpegError err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegFail;
    err.mgr.emit_message = jpegQuiet;
    // Nothing below needs cleaning up but the decompressor.
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, (unsigned long)size);
    jpeg_read_header(&cinfo, TRUE);
    if (!spikit::sizeAllowed(cinfo.image_width, cinfo.image_height)) longjmp(err.jump, 1);
    cinfo.out_color_space = JCS_RGB;
    for (unsigned denom : {8u, 4u, 2u, 1u}) {
        cinfo.scale_num = 1;
        cinfo.scale_denom = denom;
        jpeg_calc_output_dimensions(&cinfo);
        if (denom == 1 || (int(cinfo.output_width) >= wantW && int(cinfo.output_height) >= wantH)) break;
    }
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != 3) longjmp(err.jump, 1);
    out.width = int(cinfo.output_width);
    out.height = int(cinfo.output_height);
    out.pixels.assign(size_t(out.width) * size_t(out.height) * 3, 0);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out.pixels.data() + size_t(cinfo.output_scanline) * size_t(out.width) * 3;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

class RawPicture : public spikit::Picture {
public:
    RawPicture(const RawApi& api, const spikit::Source& src) : api_(api), src_(src) {}
    ~RawPicture() override {
        if (raw_) api_.close(raw_);
    }

    int32_t readHeader(uint32_t flag, spikit::Shape& shape) override {
        if (int32_t rc = open(flag); rc != SPI_OK) return rc;
        shape.width = width_;
        shape.height = height_;
        shape.colorDepth = 24;
        return SPI_OK;
    }

    int32_t decode(spikit::DibBlocks& out) override {
        if (int32_t rc = ready(); rc != SPI_OK) return rc;
        const uint64_t rawPixels = uint64_t(raw_->sizes.raw_width) * raw_->sizes.raw_height;
        if (rawPixels == 0 || rawPixels > spikit::kMaxPixels) return SPI_NO_MEMORY;
        if (api_.unpack(raw_) != LIBRAW_SUCCESS) return SPI_BROKEN_DATA;
        if (api_.dcraw_process(raw_) != LIBRAW_SUCCESS) return SPI_BROKEN_DATA;
        int err = 0;
        libraw_processed_image_t* img = api_.dcraw_make_mem_image(raw_, &err);
        if (!img) return err == LIBRAW_UNSUFFICIENT_MEMORY ? SPI_NO_MEMORY : SPI_BROKEN_DATA;
        struct Free {
            const RawApi& api;
            libraw_processed_image_t* img;
            ~Free() { api.dcraw_clear_mem(img); }
        } owned{api_, img};
        if (img->type != LIBRAW_IMAGE_BITMAP || img->bits != 8 || (img->colors != 3 && img->colors != 1) ||
            size_t(img->width) * img->height * img->colors > img->data_size)
            return SPI_BROKEN_DATA;
        if (!out.allocate(img->width, img->height, false)) return SPI_NO_MEMORY;
        std::vector<uint8_t> row(size_t(img->width) * 3);
        for (int y = 0; y < img->height; ++y) {
            const uint8_t* s = img->data + size_t(y) * img->width * img->colors;
            if (img->colors == 1)
                for (int x = 0; x < img->width; ++x) row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = s[x];
            else
                std::memcpy(row.data(), s, row.size());
            out.putRow(y, row.data(), 3);
        }
        return SPI_OK;
    }

    // The embedded preview when it covers wantW x wantH (stored orientation), else the full picture.
    int32_t decodeForSize(int32_t wantW, int32_t wantH, spikit::DibBlocks& out) override {
        if (int32_t rc = ready(); rc != SPI_OK) return rc;
        Rgb preview;
        if (wantW <= 0 || wantH <= 0 || !readPreview(wantW, wantH, preview)) return decode(out);
        const int o = hostOrients_ ? 1 : orientation_;
        const bool swaps = o >= 5;
        if (!out.allocate(swaps ? preview.height : preview.width, swaps ? preview.width : preview.height, false))
            return SPI_NO_MEMORY;
        const auto w = uint32_t(preview.width), h = uint32_t(preview.height);
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x) {
                uint32_t dx, dy;
                spikit::shownAt(o, x, y, w, h, dx, dy);
                out.putPixel(int(dx), int(dy), preview.pixels.data() + (size_t(y) * w + x) * 3, 3);
            }
        return SPI_OK;
    }

    int32_t readMeta(uint32_t flag, SpiPictureMeta* meta) override {
        if (int32_t rc = open(flag); rc != SPI_OK) return rc;
        return spikit::putMeta(meta, hostOrients_ ? orientation_ : 1, nullptr, 0);
    }

private:
    // A fresh LibRaw on the source: SPI_OK or a failure result.
    int32_t start() {
        if (raw_) api_.close(raw_);
        raw_ = api_.init(0);
        if (!raw_) return SPI_NO_MEMORY;
        raw_->params.use_camera_wb = 1;
        raw_->params.output_color = 1;  // sRGB
        raw_->params.output_bps = 8;
        if (hostOrients_) raw_->params.user_flip = 0;  // rows as stored; reported instead
        // A file is read by LibRaw itself, only the parts it needs; memory is only read too.
        const int rc = src_.whole() ? api_.open_buffer(raw_, const_cast<uint8_t*>(src_.data()), src_.size())
                                    : api_.open_file(raw_, src_.path().c_str());
        if (rc == LIBRAW_FILE_UNSUPPORTED) return SPI_UNKNOWN_FORMAT;
        if (rc == LIBRAW_IO_ERROR) return SPI_READ_ERROR;
        if (rc != LIBRAW_SUCCESS) return rc == LIBRAW_UNSUFFICIENT_MEMORY ? SPI_NO_MEMORY : SPI_BROKEN_DATA;
        measured_ = false;
        return SPI_OK;
    }

    int32_t open(uint32_t flag) {
        if (raw_) return SPI_OK;
        hostOrients_ = (flag & SPI_HOST_ORIENTS) != 0;
        if (int32_t rc = start(); rc != SPI_OK) return rc;
        orientation_ = exifOrientation(raw_->sizes.flip);
        // Sizes as the full decode hands them back (after any turn LibRaw itself makes).
        if (api_.adjust_sizes_info_only(raw_) != LIBRAW_SUCCESS) return SPI_BROKEN_DATA;
        measured_ = true;
        width_ = raw_->sizes.iwidth;
        height_ = raw_->sizes.iheight;
        if (!hostOrients_ && (raw_->sizes.flip & 4)) std::swap(width_, height_);
        if (!spikit::sizeAllowed(width_, height_)) return SPI_NO_MEMORY;
        return SPI_OK;
    }

    // Measuring the sizes changes LibRaw's state: a decode starts afresh after it.
    int32_t ready() { return measured_ ? start() : SPI_OK; }

    bool readPreview(int wantW, int wantH, Rgb& out) {
        const libraw_thumbnail_t& t = raw_->thumbnail;
        // The format is known only once unpacked (LibRaw 0.20 leaves DNG previews' unknown until then).
        if (t.twidth == 0 || t.theight == 0) return false;
        if (t.twidth < wantW || t.theight < wantH) return false;
        if (api_.unpack_thumb(raw_) != LIBRAW_SUCCESS) return false;
        int err = 0;
        libraw_processed_image_t* img = api_.dcraw_make_mem_thumb(raw_, &err);
        if (!img) return false;
        const bool ok = img->type == LIBRAW_IMAGE_JPEG && decodeJpeg(img->data, img->data_size, wantW, wantH, out);
        api_.dcraw_clear_mem(img);
        // A preview of another shape than the picture (a cropped or letterboxed one) is not used.
        return ok && (out.width >= out.height) == (raw_->sizes.width >= raw_->sizes.height);
    }

    const RawApi& api_;
    const spikit::Source& src_;
    libraw_data_t* raw_ = nullptr;
    bool hostOrients_ = false;
    bool measured_ = false;
    int orientation_ = 1;
    int width_ = 0, height_ = 0;
};

int32_t openRaw(const spikit::Source& src, std::unique_ptr<spikit::Picture>& picture) {
    const RawApi* api = libraw();
    if (!api) return SPI_INTERNAL_ERROR;
    picture = std::make_unique<RawPicture>(*api, src);
    return SPI_OK;
}

}  // namespace

const spikit::PluginDefinition& spikit::thisPlugin() {
    static const PluginDefinition plugin{
        {"00IN", "Korvel camera RAW plug-in (LibRaw " LIBRAW_VERSION_STR ")",
         "*.dng;*.cr2;*.cr3;*.nef;*.nrw;*.arw;*.srf;*.sr2;*.orf;*.rw2;*.raf;*.pef;*.srw;*.x3f", "Camera RAW image"},
        looksLikeRaw, openRaw, true};
    return plugin;
}
