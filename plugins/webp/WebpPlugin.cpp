// WebP plug-in on libwebp: still images, and the first frame of animations (composed on the
// canvas by libwebp's animation decoder). 32-bit output when the file has alpha, else 24-bit.
// The EXIF orientation and ICC profile chunks are reported, never applied, through GetPictureMeta.
#include <webp/decode.h>
#include <webp/demux.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "imaging/Exif.h"
#include "plugins/common/SpiKit.h"

namespace {

std::string aboutText() {
    const int v = WebPGetDecoderVersion();
    char text[64];
    std::snprintf(text, sizeof text, "Korvel WebP plug-in (libwebp %d.%d.%d)", (v >> 16) & 0xFF, (v >> 8) & 0xFF,
                  v & 0xFF);
    return text;
}

bool isWebp(const uint8_t* h, size_t n) {
    return n >= 12 && std::memcmp(h, "RIFF", 4) == 0 && std::memcmp(h + 8, "WEBP", 4) == 0;
}

int32_t readFeatures(const spikit::Source& src, WebPBitstreamFeatures& f) {
    if (!isWebp(src.data(), src.size())) return SPI_UNKNOWN_FORMAT;
    if (WebPGetFeatures(src.data(), src.size(), &f) != VP8_STATUS_OK) return SPI_BROKEN_DATA;
    if (!spikit::sizeAllowed(f.width, f.height)) return SPI_NO_MEMORY;
    return SPI_OK;
}

// Copies an RGBA canvas into the blocks.
void fill(spikit::DibBlocks& out, const uint8_t* rgba, int width, int height) {
    for (int y = 0; y < height; ++y) out.putRow(y, rgba + size_t(y) * size_t(width) * 4, 4);
}

int32_t decodeAnimation(const spikit::Source& src, bool alpha, spikit::DibBlocks& out) {
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) return SPI_INTERNAL_ERROR;
    options.color_mode = MODE_RGBA;
    options.use_threads = 0;
    WebPData data{src.data(), src.size()};
    WebPAnimDecoder* dec = WebPAnimDecoderNew(&data, &options);
    if (!dec) return SPI_BROKEN_DATA;
    int32_t rc = SPI_BROKEN_DATA;
    WebPAnimInfo info;
    uint8_t* frame = nullptr;
    int timestamp = 0;
    if (WebPAnimDecoderGetInfo(dec, &info) && spikit::sizeAllowed(info.canvas_width, info.canvas_height) &&
        WebPAnimDecoderGetNext(dec, &frame, &timestamp)) {
        if (!out.allocate(int(info.canvas_width), int(info.canvas_height), alpha)) {
            rc = SPI_NO_MEMORY;
        } else {
            fill(out, frame, int(info.canvas_width), int(info.canvas_height));
            rc = SPI_OK;
        }
    }
    WebPAnimDecoderDelete(dec);
    return rc;
}

int32_t decodeStill(const spikit::Source& src, bool alpha, spikit::DibBlocks& out) {
    int width = 0, height = 0;
    uint8_t* rgba = WebPDecodeRGBA(src.data(), src.size(), &width, &height);
    if (!rgba) return SPI_BROKEN_DATA;
    int32_t rc = SPI_NO_MEMORY;
    if (out.allocate(width, height, alpha)) {
        fill(out, rgba, width, height);
        rc = SPI_OK;
    }
    WebPFree(rgba);
    return rc;
}

// The EXIF chunk holds a TIFF-structured block; some writers keep the "Exif\0\0" of JPEG's APP1.
int exifOrientation(const WebPData& chunk) {
    if (chunk.size >= 6 && std::memcmp(chunk.bytes, "Exif\0", 6) == 0)
        return korvel::ExifOrientationOfApp1(chunk.bytes, chunk.size);
    return korvel::ExifOrientation(chunk.bytes, chunk.size);
}

}  // namespace

SPIKIT_EXPORT int32_t GetPluginInfo(int32_t infono, char* buf, int32_t buflen) {
    static const std::string about = aboutText();
    const char* const items[] = {"00IN", about.c_str(), "*.webp", "WebP image"};
    return spikit::pluginInfo(items, 4, infono, buf, buflen);
}

SPIKIT_EXPORT int32_t IsSupported(const char*, const void* header) {
    return header && isWebp(static_cast<const uint8_t*>(header), SPI_HEADER_BYTES) ? 1 : 0;
}

SPIKIT_EXPORT int32_t GetPictureInfo(const char* buf, intptr_t len, uint32_t flag, SpiPictureInfo* info) {
    try {
        spikit::Source src;
        if (int32_t rc = src.open(buf, len, flag); rc != SPI_OK) return rc;
        WebPBitstreamFeatures f;
        if (int32_t rc = readFeatures(src, f); rc != SPI_OK) return rc;
        std::memset(info, 0, sizeof *info);
        info->width = f.width;
        info->height = f.height;
        info->colorDepth = f.has_alpha ? 32 : 24;
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
        WebPBitstreamFeatures f;
        if (int32_t rc = readFeatures(src, f); rc != SPI_OK) return rc;
        if (spikit::cancelled(progress, 0, 1, data)) return SPI_ABORTED;
        spikit::DibBlocks out;
        const int32_t rc = f.has_animation ? decodeAnimation(src, f.has_alpha, out) : decodeStill(src, f.has_alpha, out);
        if (rc != SPI_OK) return rc;
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
        if (int32_t rc = src.open(buf, len, flag); rc != SPI_OK) return rc;
        if (!isWebp(src.data(), src.size())) return SPI_UNKNOWN_FORMAT;
        const WebPData data{src.data(), src.size()};
        WebPDemuxer* demux = WebPDemux(&data);
        if (!demux) return SPI_BROKEN_DATA;
        int orientation = 1;
        WebPChunkIterator it;
        if (WebPDemuxGetChunk(demux, "EXIF", 1, &it)) {
            orientation = exifOrientation(it.chunk);
            WebPDemuxReleaseChunkIterator(&it);
        }
        int32_t rc = SPI_OK;
        if (WebPDemuxGetChunk(demux, "ICCP", 1, &it)) {
            rc = spikit::putMeta(meta, orientation, it.chunk.bytes, it.chunk.size);
            WebPDemuxReleaseChunkIterator(&it);
        } else {
            rc = spikit::putMeta(meta, orientation, nullptr, 0);
        }
        WebPDemuxDelete(demux);
        return rc;
    } catch (...) {
        return SPI_INTERNAL_ERROR;
    }
}
