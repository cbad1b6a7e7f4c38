// HEIF and AVIF plug-in on libheif: the primary image, turned and mirrored as the file says
// (libheif applies those transformations while decoding, so GetPictureMeta reports orientation 1
// and the raw ICC profile only). 32-bit output when it has alpha.
//
// libheif and its codec libraries take milliseconds to load, and every Korvel start loads this
// plug-in. So the plug-in does not link libheif: IsSupported reads the file-type box itself, and
// libheif is opened when a picture is first read. The header gives only types and signatures.
#include <libheif/heif.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "plugins/common/SpiKit.h"

namespace {

// libheif's own limit on each side, below ours so it refuses before it allocates.
constexpr int kMaxSide = 32768;

// The libheif functions used here; the table names them without their "heif_" prefix.
#define KORVEL_HEIF_FUNCTIONS(X)                                                                             \
    X(heif_, context_alloc) X(heif_, context_free) X(heif_, context_set_maximum_image_size_limit)            \
    X(heif_, context_read_from_memory_without_copy) X(heif_, context_get_primary_image_handle)               \
    X(heif_, image_handle_release) X(heif_, image_handle_get_width) X(heif_, image_handle_get_height)        \
    X(heif_, image_handle_has_alpha_channel) X(heif_, decoding_options_alloc) X(heif_, decoding_options_free) \
    X(heif_, decode_image) X(heif_, image_release) X(heif_, image_get_width) X(heif_, image_get_height)      \
    X(heif_, image_get_plane_readonly) X(heif_, image_handle_get_color_profile_type)                         \
    X(heif_, image_handle_get_raw_color_profile_size) X(heif_, image_handle_get_raw_color_profile)

// heif(), opened on the first call.
SPIKIT_LAZY_LIBRARY(HeifApi, heif, "libheif.so.1", KORVEL_HEIF_FUNCTIONS)

struct Context {
    const HeifApi& h;
    heif_context* ctx = h.context_alloc();
    heif_image_handle* handle = nullptr;
    heif_image* image = nullptr;
    explicit Context(const HeifApi& api) : h(api) {}
    ~Context() {
        if (image) h.image_release(image);
        if (handle) h.image_handle_release(handle);
        if (ctx) h.context_free(ctx);
    }
};

// Brands of images libheif decodes here: HEVC (ISO/IEC 23008-12 'heic', 'heix') and AV1 ('avif').
bool decodableBrand(const uint8_t* b) {
    return std::memcmp(b, "heic", 4) == 0 || std::memcmp(b, "heix", 4) == 0 || std::memcmp(b, "avif", 4) == 0;
}

// An ISO base media file starts with its file-type box: 32-bit size, "ftyp", the major brand,
// a minor version, then compatible brands up to the end of the box (size 0: end of file).
// Files whose major brand is the generic 'mif1' name the coding brand among the compatible ones.
bool looksLikeHeif(const uint8_t* h, size_t n) {
    if (n < 12 || std::memcmp(h + 4, "ftyp", 4) != 0) return false;
    if (decodableBrand(h + 8)) return true;
    const uint32_t size = uint32_t(h[0]) << 24 | uint32_t(h[1]) << 16 | uint32_t(h[2]) << 8 | h[3];
    if (size != 0 && size < 16) return false;  // also size 1 (64-bit size): no such ftyp in practice
    const size_t end = size == 0 || size > n ? n : size;
    for (size_t at = 16; at + 4 <= end; at += 4)
        if (decodableBrand(h + at)) return true;
    return false;
}

// Opens the primary image; its size is the shown size (after rotation).
int32_t openPrimary(const spikit::Source& src, Context& c) {
    const HeifApi& h = c.h;
    if (!c.ctx) return SPI_NO_MEMORY;
    h.context_set_maximum_image_size_limit(c.ctx, kMaxSide);
    if (h.context_read_from_memory_without_copy(c.ctx, src.data(), src.size(), nullptr).code != heif_error_Ok)
        return SPI_BROKEN_DATA;
    if (h.context_get_primary_image_handle(c.ctx, &c.handle).code != heif_error_Ok) return SPI_BROKEN_DATA;
    if (!spikit::sizeAllowed(h.image_handle_get_width(c.handle), h.image_handle_get_height(c.handle)))
        return SPI_NO_MEMORY;
    return SPI_OK;
}

int32_t decodePrimary(Context& c, spikit::DibBlocks& out) {
    const HeifApi& h = c.h;
    const bool alpha = h.image_handle_has_alpha_channel(c.handle);
    heif_decoding_options* options = h.decoding_options_alloc();
    if (!options) return SPI_NO_MEMORY;
    options->ignore_transformations = 0;
    const heif_error err = h.decode_image(c.handle, &c.image, heif_colorspace_RGB,
                                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options);
    h.decoding_options_free(options);
    if (err.code != heif_error_Ok || !c.image) return SPI_BROKEN_DATA;
    const int width = h.image_get_width(c.image, heif_channel_interleaved);
    const int height = h.image_get_height(c.image, heif_channel_interleaved);
    int stride = 0;
    const uint8_t* plane = h.image_get_plane_readonly(c.image, heif_channel_interleaved, &stride);
    const int channels = alpha ? 4 : 3;
    if (!plane || width <= 0 || height <= 0 || stride < width * channels) return SPI_BROKEN_DATA;
    if (!out.allocate(width, height, alpha)) return SPI_NO_MEMORY;
    for (int y = 0; y < height; ++y) out.putRow(y, plane + size_t(y) * size_t(stride), channels);
    return SPI_OK;
}

class HeifPicture : public spikit::Picture {
public:
    HeifPicture(const HeifApi& api, const spikit::Source& src) : src_(src), c_(api) {}
    int32_t readHeader(uint32_t, spikit::Shape& shape) override {
        if (int32_t rc = openPrimary(src_, c_); rc != SPI_OK) return rc;
        shape.width = c_.h.image_handle_get_width(c_.handle);
        shape.height = c_.h.image_handle_get_height(c_.handle);
        shape.colorDepth = c_.h.image_handle_has_alpha_channel(c_.handle) ? 32 : 24;
        return SPI_OK;
    }
    int32_t decode(spikit::DibBlocks& out) override { return decodePrimary(c_, out); }
    int32_t readMeta(uint32_t, SpiPictureMeta* meta) override {
        if (int32_t rc = openPrimary(src_, c_); rc != SPI_OK) return rc;
        const HeifApi& h = c_.h;
        // An nclx colour description is no ICC profile; only "prof" and "rICC" carry one.
        const heif_color_profile_type type = h.image_handle_get_color_profile_type(c_.handle);
        const size_t size = type == heif_color_profile_type_prof || type == heif_color_profile_type_rICC
                                ? h.image_handle_get_raw_color_profile_size(c_.handle)
                                : 0;
        if (size == 0 || size > spikit::kMaxIccBytes) return spikit::putMeta(meta, 1, nullptr, 0);
        std::vector<uint8_t> icc(size);
        if (h.image_handle_get_raw_color_profile(c_.handle, icc.data()).code != heif_error_Ok)
            return spikit::putMeta(meta, 1, nullptr, 0);
        return spikit::putMeta(meta, 1, icc.data(), icc.size());
    }

private:
    const spikit::Source& src_;
    Context c_;
};

int32_t openHeif(const spikit::Source& src, std::unique_ptr<spikit::Picture>& picture) {
    const HeifApi* api = heif();
    if (!api) return SPI_INTERNAL_ERROR;
    picture = std::make_unique<HeifPicture>(*api, src);
    return SPI_OK;
}

}  // namespace

const spikit::PluginDefinition& spikit::thisPlugin() {
    // The version built against: asking the library would load it.
    static const PluginDefinition plugin{{"00IN", "Korvel HEIF/AVIF plug-in (libheif " LIBHEIF_VERSION ")",
                                          "*.heic;*.heif", "HEIF image", "*.avif", "AVIF image"},
                                         looksLikeHeif, openHeif};
    return plugin;
}
