// HEIF and AVIF plug-in on libheif: the primary image, turned and mirrored as the file says
// (libheif applies those transformations while decoding). 32-bit output when it has alpha.
#include <libheif/heif.h>

#include <cstring>
#include <string>

#include "plugins/common/SpiKit.h"

namespace {

// libheif's own limit on each side, below ours so it refuses before it allocates.
constexpr int kMaxSide = 32768;

struct Context {
    heif_context* ctx = heif_context_alloc();
    heif_image_handle* handle = nullptr;
    heif_image* image = nullptr;
    ~Context() {
        if (image) heif_image_release(image);
        if (handle) heif_image_handle_release(handle);
        if (ctx) heif_context_free(ctx);
    }
};

bool looksLikeHeif(const uint8_t* h, size_t n) {
    if (n < 12 || std::memcmp(h + 4, "ftyp", 4) != 0) return false;
    return heif_check_filetype(h, int(n)) == heif_filetype_yes_supported;
}

// Opens the primary image; its size is the shown size (after rotation).
int32_t openPrimary(const spikit::Source& src, Context& c) {
    if (!c.ctx) return SPI_NO_MEMORY;
    if (!looksLikeHeif(src.data(), src.size())) return SPI_UNKNOWN_FORMAT;
    heif_context_set_maximum_image_size_limit(c.ctx, kMaxSide);
    if (heif_context_read_from_memory_without_copy(c.ctx, src.data(), src.size(), nullptr).code != heif_error_Ok)
        return SPI_BROKEN_DATA;
    if (heif_context_get_primary_image_handle(c.ctx, &c.handle).code != heif_error_Ok) return SPI_BROKEN_DATA;
    if (!spikit::sizeAllowed(heif_image_handle_get_width(c.handle), heif_image_handle_get_height(c.handle)))
        return SPI_NO_MEMORY;
    return SPI_OK;
}

int32_t decode(Context& c, spikit::DibBlocks& out) {
    const bool alpha = heif_image_handle_has_alpha_channel(c.handle);
    heif_decoding_options* options = heif_decoding_options_alloc();
    if (!options) return SPI_NO_MEMORY;
    options->ignore_transformations = 0;
    const heif_error err = heif_decode_image(c.handle, &c.image, heif_colorspace_RGB,
                                             alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options);
    heif_decoding_options_free(options);
    if (err.code != heif_error_Ok || !c.image) return SPI_BROKEN_DATA;
    const int width = heif_image_get_width(c.image, heif_channel_interleaved);
    const int height = heif_image_get_height(c.image, heif_channel_interleaved);
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(c.image, heif_channel_interleaved, &stride);
    const int channels = alpha ? 4 : 3;
    if (!plane || width <= 0 || height <= 0 || stride < width * channels) return SPI_BROKEN_DATA;
    if (!out.allocate(width, height, alpha)) return SPI_NO_MEMORY;
    for (int y = 0; y < height; ++y) out.putRow(y, plane + size_t(y) * size_t(stride), channels);
    return SPI_OK;
}

}  // namespace

SPIKIT_EXPORT int32_t GetPluginInfo(int32_t infono, char* buf, int32_t buflen) {
    static const std::string about = std::string("Korvel HEIF/AVIF plug-in (libheif ") + heif_get_version() + ")";
    const char* const items[] = {"00IN", about.c_str(), "*.heic;*.heif", "HEIF image", "*.avif", "AVIF image"};
    return spikit::pluginInfo(items, 6, infono, buf, buflen);
}

SPIKIT_EXPORT int32_t IsSupported(const char*, const void* header) {
    return header && looksLikeHeif(static_cast<const uint8_t*>(header), SPI_HEADER_BYTES) ? 1 : 0;
}

SPIKIT_EXPORT int32_t GetPictureInfo(const char* buf, intptr_t len, uint32_t flag, SpiPictureInfo* info) {
    try {
        spikit::Source src;
        if (int32_t rc = src.open(buf, len, flag); rc != SPI_OK) return rc;
        Context c;
        if (int32_t rc = openPrimary(src, c); rc != SPI_OK) return rc;
        std::memset(info, 0, sizeof *info);
        info->width = heif_image_handle_get_width(c.handle);
        info->height = heif_image_handle_get_height(c.handle);
        info->colorDepth = heif_image_handle_has_alpha_channel(c.handle) ? 32 : 24;
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
        spikit::Source src;
        if (int32_t rc = src.open(buf, len, flag); rc != SPI_OK) return rc;
        Context c;
        if (int32_t rc = openPrimary(src, c); rc != SPI_OK) return rc;
        if (spikit::cancelled(progress, 0, 1, data)) return SPI_ABORTED;
        spikit::DibBlocks out;
        if (int32_t rc = decode(c, out); rc != SPI_OK) return rc;
        if (spikit::cancelled(progress, 1, 1, data)) return SPI_ABORTED;
        out.release(pHBInfo, pHBm);
        return SPI_OK;
    } catch (...) {
        return SPI_INTERNAL_ERROR;
    }
}
