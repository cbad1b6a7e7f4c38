#include "formats/SpiAnimation.h"

#include <algorithm>
#include <string>

#include "base/Errors.h"
#include "formats/SpiHost.h"

namespace korvel {

namespace {

class PluginFrames : public FrameSource {
public:
    PluginFrames(TSPI& spi, void* handle, const SpiAnimationInfo& info)
        : spi_(spi), handle_(handle), width_(info.width), height_(info.height), plays_(std::max(0, info.plays)) {}
    ~PluginFrames() override { spi_.CloseAnimation(handle_); }

    int width() const override { return width_; }
    int height() const override { return height_; }
    int plays() const override { return plays_; }
    // The canvas lives in the plug-in; the copy handed back is the caller's.
    int rastersHeld() const override { return 0; }

    bool next(AnimFrame& out) override {
        if (ended_) return false;
        out.width = width_, out.height = height_;
        out.rgba.assign(size_t(width_) * size_t(height_) * 4, 0);
        int32_t delay = 0;
        const int32_t rc = spi_.NextAnimationFrame(handle_, out.rgba.data(), &delay);
        if (rc == SPI_OK) {
            out.delayMs = delay;
            ++frames_;
            return true;
        }
        ended_ = true;
        // Damage after the first frame ends the animation there.
        if (rc != SPI_END_OF_FRAMES && frames_ == 0)
            throw EInvalidGraphic("plug-in " + spi_.FileName + ": the animation cannot be read (" +
                                  std::to_string(rc) + ")");
        return false;
    }

    void rewind() override {
        if (spi_.RewindAnimation(handle_) == SPI_OK) ended_ = false, frames_ = 0;
    }

private:
    TSPI& spi_;
    void* handle_;
    int width_, height_, plays_, frames_ = 0;
    bool ended_ = false;
};

}  // namespace

std::unique_ptr<FrameSource> openPluginFrames(TSPI& spi, const std::string& path, const DecodeLimits& limits) {
    if (!spi.OpenAnimation) return nullptr;
    SpiAnimationInfo info{};
    void* handle = nullptr;
    if (spi.OpenAnimation(path.c_str(), 0, SPI_SOURCE_FILE, &info, &handle) != SPI_OK || !handle) return nullptr;
    if (info.width <= 0 || info.height <= 0 || uint64_t(info.width) * uint64_t(info.height) > limits.maxPixels) {
        spi.CloseAnimation(handle);
        throw EImageTooLarge("plug-in " + spi.FileName + ": an animation of " + std::to_string(info.width) + "x" +
                             std::to_string(info.height) + " pixels");
    }
    return std::make_unique<PluginFrames>(spi, handle, info);
}

std::unique_ptr<FrameSource> openPluginFrames(const std::string& path, const DecodeLimits& limits) {
    TSPIs* host = TSPIs::instance();
    if (!host) return nullptr;
    for (int i = 0; i < host->Count(); ++i)
        if (TSPI* spi = host->item(i); spi->kind() == SpiKind::In && spi->OpenAnimation)
            if (auto frames = openPluginFrames(*spi, path, limits)) return frames;
    return nullptr;
}

}  // namespace korvel
