// WebP plug-in on libwebp: still images, and the first frame of animations (composed on the
// canvas by libwebp's animation decoder). 32-bit output when the file has alpha, else 24-bit.
// Animations are also handed over frame by frame through the animation exports.
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

namespace {

// An animation being played: the file's bytes and libwebp's decoder on them, which keeps the
// canvas it composes the next frame on.
struct Animation {
    spikit::Source src;
    WebPAnimDecoder* dec = nullptr;
    int width = 0, height = 0, lastTimestamp = 0;
    ~Animation() { WebPAnimDecoderDelete(dec); }
};

}  // namespace

SPIKIT_EXPORT int32_t OpenAnimation(const char* buf, intptr_t len, uint32_t flag, SpiAnimationInfo* info,
                                   void** handle) {
    try {
        if (!info || !handle) return SPI_INTERNAL_ERROR;
        *handle = nullptr;
        auto anim = std::make_unique<Animation>();
        if (int32_t rc = anim->src.open(buf, len, flag); rc != SPI_OK) return rc;
        if (!isWebp(anim->src.data(), anim->src.size())) return SPI_UNKNOWN_FORMAT;
        WebPBitstreamFeatures f;
        if (int32_t rc = readFeatures(anim->src, f); rc != SPI_OK) return rc;
        if (!f.has_animation) return SPI_UNKNOWN_FORMAT;
        WebPAnimDecoderOptions options;
        if (!WebPAnimDecoderOptionsInit(&options)) return SPI_INTERNAL_ERROR;
        options.color_mode = MODE_RGBA;
        options.use_threads = 0;
        const WebPData data{anim->src.data(), anim->src.size()};
        anim->dec = WebPAnimDecoderNew(&data, &options);
        WebPAnimInfo ai;
        if (!anim->dec || !WebPAnimDecoderGetInfo(anim->dec, &ai)) return SPI_BROKEN_DATA;
        if (!spikit::sizeAllowed(ai.canvas_width, ai.canvas_height)) return SPI_NO_MEMORY;
        anim->width = int(ai.canvas_width), anim->height = int(ai.canvas_height);
        info->width = anim->width, info->height = anim->height;
        info->plays = int32_t(ai.loop_count);
        *handle = anim.release();
        return SPI_OK;
    } catch (...) {
        return SPI_NO_MEMORY;
    }
}

SPIKIT_EXPORT int32_t NextAnimationFrame(void* handle, uint8_t* rgba, int32_t* delayMs) {
    auto* anim = static_cast<Animation*>(handle);
    if (!anim || !rgba || !delayMs) return SPI_INTERNAL_ERROR;
    if (!WebPAnimDecoderHasMoreFrames(anim->dec)) return SPI_END_OF_FRAMES;
    uint8_t* frame = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(anim->dec, &frame, &timestamp)) return SPI_BROKEN_DATA;
    std::memcpy(rgba, frame, size_t(anim->width) * size_t(anim->height) * 4);
    // libwebp gives each frame's end time; the delay is the step from the frame before.
    *delayMs = timestamp - anim->lastTimestamp;
    anim->lastTimestamp = timestamp;
    return SPI_OK;
}

SPIKIT_EXPORT int32_t RewindAnimation(void* handle) {
    auto* anim = static_cast<Animation*>(handle);
    if (!anim) return SPI_INTERNAL_ERROR;
    WebPAnimDecoderReset(anim->dec);
    anim->lastTimestamp = 0;
    return SPI_OK;
}

SPIKIT_EXPORT void CloseAnimation(void* handle) { delete static_cast<Animation*>(handle); }

const spikit::PluginDefinition& spikit::thisPlugin() {
    static const PluginDefinition plugin{{"00IN", aboutText(), "*.webp", "WebP image"}, isWebp, openWebp};
    return plugin;
}
