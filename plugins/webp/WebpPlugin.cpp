// WebP plug-in on libwebp: still images, and the first frame of animations (composed on the
// canvas by libwebp's animation decoder). 32-bit output when the file has alpha, else 24-bit.
// The EXIF orientation and ICC profile chunks are reported, never applied, through GetPictureMeta.
#include <webp/decode.h>
#include <webp/demux.h>

#include <cstdio>
#include <cstring>
#include <memory>
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

class WebpPicture : public spikit::Picture {
public:
    explicit WebpPicture(const spikit::Source& src) : src_(src) {}
    int32_t readHeader(uint32_t, spikit::Shape& shape) override {
        if (int32_t rc = readFeatures(src_, features_); rc != SPI_OK) return rc;
        shape.width = features_.width;
        shape.height = features_.height;
        shape.colorDepth = features_.has_alpha ? 32 : 24;
        return SPI_OK;
    }
    int32_t decode(spikit::DibBlocks& out) override {
        return features_.has_animation ? decodeAnimation(src_, features_.has_alpha, out)
                                       : decodeStill(src_, features_.has_alpha, out);
    }
    int32_t readMeta(uint32_t, SpiPictureMeta* meta) override {
        const WebPData data{src_.data(), src_.size()};
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
    }

private:
    const spikit::Source& src_;
    WebPBitstreamFeatures features_{};
};

int32_t openWebp(const spikit::Source& src, std::unique_ptr<spikit::Picture>& picture) {
    picture = std::make_unique<WebpPicture>(src);
    return SPI_OK;
}

}  // namespace

const spikit::PluginDefinition& spikit::thisPlugin() {
    static const PluginDefinition plugin{{"00IN", aboutText(), "*.webp", "WebP image"}, isWebp, openWebp};
    return plugin;
}
