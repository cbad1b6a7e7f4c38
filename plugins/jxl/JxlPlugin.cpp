// JPEG XL plug-in on libjxl: the first frame (composed, for animations), 16-bit and float
// samples rounded to 8 bits by libjxl, 32-bit output when the image has alpha (colour handed
// over straight, also for premultiplied files). Recompressed JPEG files decode to pixels like
// any other.
//
// Orientation: with SPI_HOST_ORIENTS the rows come as stored and GetPictureMeta reports the
// codestream's orientation for the host to apply; without it libjxl turns the rows and 1 is
// reported, so a picture is never turned twice. The ICC profile reported is the one that
// describes the decoded samples; plain sRGB is left out, as the host assumes it anyway.
//
// libjxl links brotli and highway and takes milliseconds to load, and every Korvel start loads
// this plug-in. So the plug-in does not link it: IsSupported checks the signature itself, and
// libjxl is opened when a picture is first read.
#include <jxl/decode.h>
#include <jxl/thread_parallel_runner.h>
#include <jxl/version.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "plugins/common/SpiKit.h"

namespace {

#define KORVEL_JXL_STR2(x) #x
#define KORVEL_JXL_STR(x) KORVEL_JXL_STR2(x)
// The 0.x releases put major and minor version in the soname.
#if JPEGXL_MAJOR_VERSION == 0
#define KORVEL_JXL_SOVERSION KORVEL_JXL_STR(JPEGXL_MAJOR_VERSION) "." KORVEL_JXL_STR(JPEGXL_MINOR_VERSION)
#else
#define KORVEL_JXL_SOVERSION KORVEL_JXL_STR(JPEGXL_MAJOR_VERSION)
#endif

// The libjxl functions used here; the table names them without their "JxlDecoder" prefix.
#define KORVEL_JXL_FUNCTIONS(X)                                                                               \
    X(JxlDecoder, Create) X(JxlDecoder, Destroy) X(JxlDecoder, SubscribeEvents) X(JxlDecoder, SetKeepOrientation) \
    X(JxlDecoder, SetUnpremultiplyAlpha) X(JxlDecoder, SetParallelRunner) X(JxlDecoder, SetInput)               \
    X(JxlDecoder, CloseInput) X(JxlDecoder, ProcessInput) X(JxlDecoder, GetBasicInfo)                            \
    X(JxlDecoder, GetColorAsEncodedProfile) X(JxlDecoder, GetICCProfileSize) X(JxlDecoder, GetColorAsICCProfile) \
    X(JxlDecoder, ImageOutBufferSize) X(JxlDecoder, SetImageOutBuffer)
#define KORVEL_JXL_THREAD_FUNCTIONS(X)                                                                \
    X(Jxl, ThreadParallelRunner) X(Jxl, ThreadParallelRunnerCreate) X(Jxl, ThreadParallelRunnerDestroy) \
    X(Jxl, ThreadParallelRunnerDefaultNumWorkerThreads)

// jxl() and jxlThreads(), each opened on its first call.
SPIKIT_LAZY_LIBRARY(JxlApi, jxl, "libjxl.so." KORVEL_JXL_SOVERSION, KORVEL_JXL_FUNCTIONS)
SPIKIT_LAZY_LIBRARY(JxlThreadsApi, jxlThreads, "libjxl_threads.so." KORVEL_JXL_SOVERSION, KORVEL_JXL_THREAD_FUNCTIONS)

// A bare codestream starts FF 0A; the container with its signature box (ISO/IEC 18181-2).
bool isJxl(const uint8_t* h, size_t n) {
    static const uint8_t box[12] = {0, 0, 0, 12, 'J', 'X', 'L', ' ', 0x0D, 0x0A, 0x87, 0x0A};
    return (n >= 2 && h[0] == 0xFF && h[1] == 0x0A) || (n >= 12 && std::memcmp(h, box, 12) == 0);
}

// What one decoder run is asked for.
enum class Want { Header, Meta, Pixels };

class Decoder {
public:
    // hostOrients keeps the rows as stored.
    Decoder(const JxlApi& api, const spikit::Source& src, bool hostOrients)
        : j_(api), src_(src), hostOrients_(hostOrients), dec_(api.Create(nullptr)) {}
    ~Decoder() {
        if (dec_) j_.Destroy(dec_);
        if (runner_) threads_->ThreadParallelRunnerDestroy(runner_);
    }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Runs libjxl up to what want needs; the picture goes to out for Want::Pixels.
    int32_t run(Want want, spikit::DibBlocks* out = nullptr) {
        if (!dec_) return SPI_NO_MEMORY;
        int events = JXL_DEC_BASIC_INFO;
        if (want == Want::Meta) events |= JXL_DEC_COLOR_ENCODING;
        if (want == Want::Pixels) {
            events |= JXL_DEC_FULL_IMAGE;
            // Without the thread pool libjxl decodes on this thread alone.
            threads_ = jxlThreads();
            if (threads_)
                runner_ = threads_->ThreadParallelRunnerCreate(nullptr,
                                                               threads_->ThreadParallelRunnerDefaultNumWorkerThreads());
            if (runner_ && j_.SetParallelRunner(dec_, threads_->ThreadParallelRunner, runner_) != JXL_DEC_SUCCESS)
                return SPI_INTERNAL_ERROR;
        }
        if (j_.SubscribeEvents(dec_, events) != JXL_DEC_SUCCESS ||
            j_.SetKeepOrientation(dec_, hostOrients_ ? JXL_TRUE : JXL_FALSE) != JXL_DEC_SUCCESS ||
            j_.SetUnpremultiplyAlpha(dec_, JXL_TRUE) != JXL_DEC_SUCCESS ||
            j_.SetInput(dec_, src_.data(), src_.size()) != JXL_DEC_SUCCESS)
            return SPI_INTERNAL_ERROR;
        j_.CloseInput(dec_);
        for (;;) {
            switch (j_.ProcessInput(dec_)) {
                case JXL_DEC_BASIC_INFO:
                    if (j_.GetBasicInfo(dec_, &info_) != JXL_DEC_SUCCESS) return SPI_BROKEN_DATA;
                    // Checked before libjxl decodes a frame or the picture is allocated.
                    if (!spikit::sizeAllowed(info_.xsize, info_.ysize)) return SPI_NO_MEMORY;
                    if (want == Want::Header) return SPI_OK;
                    break;
                case JXL_DEC_COLOR_ENCODING:
                    readProfile();
                    return SPI_OK;
                case JXL_DEC_NEED_IMAGE_OUT_BUFFER:
                    if (int32_t rc = setBuffer(); rc != SPI_OK) return rc;
                    break;
                case JXL_DEC_FULL_IMAGE:
                    return out ? copyOut(*out) : SPI_INTERNAL_ERROR;
                default:
                    // An error, or more input wanted although the whole file was given (cut short),
                    // or the end before every subscribed event came.
                    return SPI_BROKEN_DATA;
            }
        }
    }

    bool alpha() const { return info_.alpha_bits > 0; }
    // The size as handed back: xsize and ysize are the stored sides, which libjxl swaps while
    // turning for orientations 5 to 8.
    int width() const { return int(swapsSides() ? info_.ysize : info_.xsize); }
    int height() const { return int(swapsSides() ? info_.xsize : info_.ysize); }
    // The orientation still to apply to the rows handed back.
    int orientation() const { return hostOrients_ ? int(info_.orientation) : 1; }
    const std::vector<uint8_t>& icc() const { return icc_; }

private:
    bool swapsSides() const { return !hostOrients_ && info_.orientation >= JXL_ORIENT_TRANSPOSE; }
    JxlPixelFormat pixelFormat() const { return {alpha() ? 4u : 3u, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0}; }

    // The profile of the samples libjxl hands back, unless they are plain sRGB. A grey image is
    // handed back as RGB, which a grey profile does not describe, so it has none either.
    void readProfile() {
        JxlColorEncoding enc{};
        if (j_.GetColorAsEncodedProfile(dec_, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &enc) == JXL_DEC_SUCCESS) {
            if (enc.color_space == JXL_COLOR_SPACE_GRAY) return;
            if (enc.color_space == JXL_COLOR_SPACE_RGB && enc.white_point == JXL_WHITE_POINT_D65 &&
                enc.primaries == JXL_PRIMARIES_SRGB && enc.transfer_function == JXL_TRANSFER_FUNCTION_SRGB)
                return;
        }
        size_t size = 0;
        if (j_.GetICCProfileSize(dec_, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) != JXL_DEC_SUCCESS ||
            size < 20 || size > spikit::kMaxIccBytes)
            return;
        icc_.resize(size);
        if (j_.GetColorAsICCProfile(dec_, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, icc_.data(), size) !=
                JXL_DEC_SUCCESS ||
            std::memcmp(icc_.data() + 16, "GRAY", 4) == 0)  // the profile's data colour space
            icc_.clear();
    }

    int32_t setBuffer() {
        const JxlPixelFormat format = pixelFormat();
        size_t size = 0;
        if (j_.ImageOutBufferSize(dec_, &format, &size) != JXL_DEC_SUCCESS ||
            size != size_t(info_.xsize) * info_.ysize * format.num_channels)
            return SPI_BROKEN_DATA;
        try {
            pixels_.resize(size);
        } catch (...) {
            return SPI_NO_MEMORY;
        }
        if (j_.SetImageOutBuffer(dec_, &format, pixels_.data(), pixels_.size()) != JXL_DEC_SUCCESS)
            return SPI_BROKEN_DATA;
        return SPI_OK;
    }

    int32_t copyOut(spikit::DibBlocks& out) {
        const int w = width(), h = height(), channels = alpha() ? 4 : 3;
        if (pixels_.size() != size_t(w) * size_t(h) * size_t(channels)) return SPI_BROKEN_DATA;
        if (!out.allocate(w, h, alpha())) return SPI_NO_MEMORY;
        for (int y = 0; y < h; ++y) out.putRow(y, pixels_.data() + size_t(y) * size_t(w) * size_t(channels), channels);
        return SPI_OK;
    }

    const JxlApi& j_;
    const spikit::Source& src_;
    const bool hostOrients_;
    JxlDecoder* dec_;
    const JxlThreadsApi* threads_ = nullptr;
    void* runner_ = nullptr;
    JxlBasicInfo info_{};
    std::vector<uint8_t> icc_;
    std::vector<uint8_t> pixels_;
};

class JxlPicture : public spikit::Picture {
public:
    JxlPicture(const JxlApi& api, const spikit::Source& src) : api_(api), src_(src) {}
    int32_t readHeader(uint32_t flag, spikit::Shape& shape) override {
        hostOrients_ = (flag & SPI_HOST_ORIENTS) != 0;
        Decoder d(api_, src_, hostOrients_);
        if (int32_t rc = d.run(Want::Header); rc != SPI_OK) return rc;
        shape.width = d.width();
        shape.height = d.height();
        shape.colorDepth = d.alpha() ? 32 : 24;
        return SPI_OK;
    }
    int32_t decode(spikit::DibBlocks& out) override {
        // A decoder of its own, with the thread pool a header read does not need.
        Decoder d(api_, src_, hostOrients_);
        return d.run(Want::Pixels, &out);
    }
    int32_t readMeta(uint32_t flag, SpiPictureMeta* meta) override {
        Decoder d(api_, src_, (flag & SPI_HOST_ORIENTS) != 0);
        if (int32_t rc = d.run(Want::Meta); rc != SPI_OK) return rc;
        return spikit::putMeta(meta, d.orientation(), d.icc().data(), d.icc().size());
    }

private:
    const JxlApi& api_;
    const spikit::Source& src_;
    bool hostOrients_ = false;
};

int32_t openJxl(const spikit::Source& src, std::unique_ptr<spikit::Picture>& picture) {
    const JxlApi* api = jxl();
    if (!api) return SPI_INTERNAL_ERROR;
    picture = std::make_unique<JxlPicture>(*api, src);
    return SPI_OK;
}

}  // namespace

const spikit::PluginDefinition& spikit::thisPlugin() {
    // The version built against: asking the library would load it.
    static const PluginDefinition plugin{
        {"00IN", "Korvel JPEG XL plug-in (libjxl " KORVEL_JXL_STR(JPEGXL_MAJOR_VERSION) "." KORVEL_JXL_STR(
             JPEGXL_MINOR_VERSION) "." KORVEL_JXL_STR(JPEGXL_PATCH_VERSION) ")",
         "*.jxl", "JPEG XL image"},
        isJxl, openJxl};
    return plugin;
}
