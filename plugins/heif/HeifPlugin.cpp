// HEIF and AVIF plug-in on libheif: the primary image, turned and mirrored as the file says
// (libheif applies those transformations while decoding, so GetPictureMeta reports orientation 1
// and the raw ICC profile only). 32-bit output when it has alpha.
//
// libheif and its codec libraries take milliseconds to load, and every Korvel start loads this
// plug-in. So the plug-in does not link libheif: IsSupported reads the file-type box itself, and
// libheif is opened when a picture is first read. The header gives only types and signatures.
#include <libheif/heif.h>

#include <cstring>
#include <string>
#include <vector>

#include "plugins/common/SpiKit.h"

namespace {

// libheif's own limit on each side, below ours so it refuses before it allocates.
constexpr int kMaxSide = 32768;

// The libheif functions used here, without their "heif_" prefix.
#define KORVEL_HEIF_FUNCTIONS(X)                                                                         \
    X(context_alloc) X(context_free) X(context_set_maximum_image_size_limit)                             \
    X(context_read_from_memory_without_copy) X(context_get_primary_image_handle) X(image_handle_release) \
    X(image_handle_get_width) X(image_handle_get_height) X(image_handle_has_alpha_channel)               \
    X(decoding_options_alloc) X(decoding_options_free) X(decode_image) X(image_release) X(image_get_width) \
    X(image_get_height) X(image_get_plane_readonly) X(image_handle_get_color_profile_type)              \
    X(image_handle_get_raw_color_profile_size) X(image_handle_get_raw_color_profile)

struct HeifApi {
#define KORVEL_HEIF_POINTER(name) decltype(&::heif_##name) name = nullptr;
    KORVEL_HEIF_FUNCTIONS(KORVEL_HEIF_POINTER)
#undef KORVEL_HEIF_POINTER
};

// libheif, opened on the first call; null when it is not installed or lacks a function.
const HeifApi* heif() {
    static const HeifApi* const api = []() -> const HeifApi* {
        static HeifApi table;
        const spikit::LibrarySymbol symbols[] = {
#define KORVEL_HEIF_SYMBOL(name) {"heif_" #name, reinterpret_cast<void**>(&table.name)},
            KORVEL_HEIF_FUNCTIONS(KORVEL_HEIF_SYMBOL)
#undef KORVEL_HEIF_SYMBOL
        };
        return spikit::openLibrary("libheif.so.1", symbols, sizeof symbols / sizeof symbols[0]) ? &table : nullptr;
    }();
    return api;
}

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

// Reads the source and, when it is HEIF, opens libheif on it. Other data never loads libheif.
int32_t openSource(const char* buf, intptr_t len, uint32_t flag, spikit::Source& src, const HeifApi*& api) {
    if (int32_t rc = src.open(buf, len, flag); rc != SPI_OK) return rc;
    if (!looksLikeHeif(src.data(), src.size())) return SPI_UNKNOWN_FORMAT;
    api = heif();
    return api ? SPI_OK : SPI_INTERNAL_ERROR;
}

int32_t decode(Context& c, spikit::DibBlocks& out) {
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

}  // namespace

SPIKIT_EXPORT int32_t GetPluginInfo(int32_t infono, char* buf, int32_t buflen) {
    // The version built against: asking the library would load it.
    const char* const items[] = {"00IN", "Korvel HEIF/AVIF plug-in (libheif " LIBHEIF_VERSION ")", "*.heic;*.heif", "HEIF image", "*.avif", "AVIF image"};
    return spikit::pluginInfo(items, 6, infono, buf, buflen);
}

SPIKIT_EXPORT int32_t IsSupported(const char*, const void* header) {
    return header && looksLikeHeif(static_cast<const uint8_t*>(header), SPI_HEADER_BYTES) ? 1 : 0;
}

SPIKIT_EXPORT int32_t GetPictureInfo(const char* buf, intptr_t len, uint32_t flag, SpiPictureInfo* info) {
    try {
        spikit::Source src;
        const HeifApi* api = nullptr;
        if (int32_t rc = openSource(buf, len, flag, src, api); rc != SPI_OK) return rc;
        Context c(*api);
        if (int32_t rc = openPrimary(src, c); rc != SPI_OK) return rc;
        std::memset(info, 0, sizeof *info);
        info->width = api->image_handle_get_width(c.handle);
        info->height = api->image_handle_get_height(c.handle);
        info->colorDepth = api->image_handle_has_alpha_channel(c.handle) ? 32 : 24;
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
        const HeifApi* api = nullptr;
        if (int32_t rc = openSource(buf, len, flag, src, api); rc != SPI_OK) return rc;
        Context c(*api);
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

SPIKIT_EXPORT int32_t GetPictureMeta(const char* buf, intptr_t len, uint32_t flag, SpiPictureMeta* meta) {
    try {
        if (!meta) return SPI_INTERNAL_ERROR;
        spikit::Source src;
        const HeifApi* api = nullptr;
        if (int32_t rc = openSource(buf, len, flag, src, api); rc != SPI_OK) return rc;
        Context c(*api);
        if (int32_t rc = openPrimary(src, c); rc != SPI_OK) return rc;
        // An nclx colour description is no ICC profile; only "prof" and "rICC" carry one.
        const heif_color_profile_type type = api->image_handle_get_color_profile_type(c.handle);
        const size_t size = type == heif_color_profile_type_prof || type == heif_color_profile_type_rICC
                                ? api->image_handle_get_raw_color_profile_size(c.handle)
                                : 0;
        if (size == 0 || size > spikit::kMaxIccBytes) return spikit::putMeta(meta, 1, nullptr, 0);
        std::vector<uint8_t> icc(size);
        if (api->image_handle_get_raw_color_profile(c.handle, icc.data()).code != heif_error_Ok)
            return spikit::putMeta(meta, 1, nullptr, 0);
        return spikit::putMeta(meta, 1, icc.data(), icc.size());
    } catch (...) {
        return SPI_INTERNAL_ERROR;
    }
}
