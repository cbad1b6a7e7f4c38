// GIF animations frame by frame through giflib's record reader: each image is drawn onto the
// canvas left by the one before after that one's disposal (GIF89a, section 23).
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "base/FileBytes.h"
#include "base/Limits.h"
#include "codecs/FrameSource.h"
#include "codecs/Gif.h"
#include "codecs/GifMemory.h"

namespace korvel {

namespace {

[[noreturn]] void gifFailure(int code) {
    const char* text = GifErrorString(code);
    throw EInvalidGraphic(std::string("GIF error: ") + (text ? text : "error " + std::to_string(code)));
}

struct Rect4 {
    int x = 0, y = 0, w = 0, h = 0;
};

class GifFrames : public FrameSource {
public:
    GifFrames(std::shared_ptr<const FileBytes> bytes, const DecodeLimits& limits)
        : bytes_(std::move(bytes)), limits_(limits) {
        open();
        width_ = gif_->SWidth, height_ = gif_->SHeight;
        try {
            checkImageSize(width_, height_, 32, limits_.maxPixels);
        } catch (...) {
            close();  // the destructor does not run for a constructor that throws
            throw;
        }
    }
    ~GifFrames() override { close(); }

    int width() const override { return width_; }
    int height() const override { return height_; }
    int plays() const override { return plays_; }
    int rastersHeld() const override { return (canvas_.empty() ? 0 : 1) + (saved_.empty() ? 0 : 1); }

    void rewind() override {
        close();
        open();
        canvas_.clear();
        saved_.clear();
        pending_ = Disposal::None;
        frames_ = 0;
    }

    bool next(AnimFrame& out) override {
        try {
            return readFrame(out);
        } catch (const EInvalidGraphic&) {
            // Damage after the first frame ends the animation there.
            if (frames_ == 0) throw;
            return false;
        }
    }

private:
    enum class Disposal { None, Background, Previous };

    void open() {
        reader_ = GifMemoryReader{bytes_->data(), bytes_->size(), 0};
        int err = 0;
        gif_ = DGifOpen(&reader_, readGifMemory, &err);
        if (!gif_) gifFailure(err);
        ended_ = false;
    }
    void close() {
        if (!gif_) return;
        int err = 0;
        DGifCloseFile(gif_, &err);
        gif_ = nullptr;
    }

    bool readFrame(AnimFrame& out) {
        if (ended_) return false;
        int transparent = -1, delay = 0;
        Disposal disposal = Disposal::None;
        for (uint64_t records = 0;;) {
            GifRecordType type;
            if (DGifGetRecordType(gif_, &type) == GIF_ERROR) gifFailure(gif_->Error);
            if (type == TERMINATE_RECORD_TYPE) {
                ended_ = true;
                if (frames_ == 0) throw EInvalidGraphic("GIF error: the file holds no image");
                return false;
            }
            if (type == IMAGE_DESC_RECORD_TYPE) break;
            if (type != EXTENSION_RECORD_TYPE) continue;
            if (++records > limits_.maxGifRecords)
                throw EImageTooLarge("GIF: more than " + std::to_string(limits_.maxGifRecords) +
                                     " records before an image");
            int code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(gif_, &code, &ext) == GIF_ERROR) gifFailure(gif_->Error);
            GraphicsControlBlock gcb;
            if (code == GRAPHICS_EXT_FUNC_CODE && ext && DGifExtensionToGCB(ext[0], ext + 1, &gcb) == GIF_OK) {
                transparent = gcb.TransparentColor;
                delay = gcb.DelayTime * 10;
                disposal = gcb.DisposalMode == DISPOSE_BACKGROUND ? Disposal::Background
                           : gcb.DisposalMode == DISPOSE_PREVIOUS ? Disposal::Previous
                                                                  : Disposal::None;
            }
            bool loopBlock = code == APPLICATION_EXT_FUNC_CODE && ext && ext[0] == 11 &&
                             (std::memcmp(ext + 1, "NETSCAPE2.0", 11) == 0 || std::memcmp(ext + 1, "ANIMEXTS1.0", 11) == 0);
            while (ext) {
                if (DGifGetExtensionNext(gif_, &ext) == GIF_ERROR) gifFailure(gif_->Error);
                // Sub-block 1 holds the loop count: 0 loops forever, n repeats n times after the first play.
                if (loopBlock && ext && ext[0] >= 3 && ext[1] == 1) {
                    const int loops = ext[2] | (ext[3] << 8);
                    plays_ = loops == 0 ? 0 : loops + 1;
                    loopBlock = false;
                }
            }
        }
        if (DGifGetImageDesc(gif_) == GIF_ERROR) gifFailure(gif_->Error);
        const GifImageDesc& d = gif_->Image;
        if (d.Width <= 0 || d.Height <= 0) throw EInvalidGraphic("GIF error: an image without pixels");
        checkImageSize(d.Width, d.Height, 8, limits_.maxPixels);

        const size_t bytes = size_t(width_) * size_t(height_) * 4;
        if (canvas_.empty()) canvas_.assign(bytes, 0);
        disposeLast();
        const Rect4 rect = clip(d.Left, d.Top, d.Width, d.Height);
        if (disposal == Disposal::Previous) saved_ = canvas_;
        else saved_.clear();
        drawImage(d, rect, transparent);
        pending_ = disposal;
        pendingRect_ = rect;
        ++frames_;

        out.width = width_, out.height = height_;
        out.rgba = canvas_;
        out.delayMs = delay;
        return true;
    }

    Rect4 clip(int x, int y, int w, int h) const {
        Rect4 r;
        r.x = std::min(x, width_), r.y = std::min(y, height_);
        r.w = std::max(0, std::min(x + w, width_) - r.x);
        r.h = std::max(0, std::min(y + h, height_) - r.y);
        return r;
    }

    // The previous frame's disposal, done before the next frame is drawn. Restoring to the
    // background clears to transparent, as browsers do.
    void disposeLast() {
        if (pending_ == Disposal::Previous && !saved_.empty()) {
            canvas_.swap(saved_);
        } else if (pending_ == Disposal::Background) {
            for (int y = pendingRect_.y; y < pendingRect_.y + pendingRect_.h; ++y)
                std::memset(&canvas_[(size_t(y) * size_t(width_) + size_t(pendingRect_.x)) * 4], 0,
                            size_t(pendingRect_.w) * 4);
        }
        saved_.clear();
        pending_ = Disposal::None;
    }

    void drawImage(const GifImageDesc& d, const Rect4& rect, int transparent) {
        const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif_->SColorMap;
        std::vector<GifPixelType> line(size_t(d.Width));
        static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
        int pass = 0, row = 0;
        for (int n = 0; n < d.Height; ++n) {
            int y = n;
            if (d.Interlace) {
                while (row >= d.Height && pass < 3) row = start[++pass];
                y = row;
                row += step[pass];
            }
            if (DGifGetLine(gif_, line.data(), d.Width) == GIF_ERROR) {
                // A frame cut short keeps the rows it holds; nothing follows it.
                ended_ = true;
                if (n > 0 || frames_ > 0) return;
                gifFailure(gif_->Error);
            }
            const int cy = d.Top + y;
            if (cy < rect.y || cy >= rect.y + rect.h) continue;
            uint8_t* dst = &canvas_[(size_t(cy) * size_t(width_) + size_t(rect.x)) * 4];
            for (int x = 0; x < rect.w; ++x, dst += 4) {
                const int index = line[size_t(rect.x - d.Left + x)];
                if (index == transparent) continue;
                if (map && map->Colors && index < map->ColorCount) {
                    const GifColorType& c = map->Colors[index];
                    dst[0] = c.Red, dst[1] = c.Green, dst[2] = c.Blue;
                } else {
                    dst[0] = dst[1] = dst[2] = uint8_t(index);  // the grey ramp of a file without colours
                }
                dst[3] = 255;
            }
        }
    }

    std::shared_ptr<const FileBytes> bytes_;
    DecodeLimits limits_;
    GifMemoryReader reader_{};
    GifFileType* gif_ = nullptr;
    int width_ = 0, height_ = 0, plays_ = 1, frames_ = 0;
    bool ended_ = false;
    std::vector<uint8_t> canvas_, saved_;
    Disposal pending_ = Disposal::None;
    Rect4 pendingRect_;
};

}  // namespace

std::unique_ptr<FrameSource> openGifFrames(std::shared_ptr<const FileBytes> bytes, const DecodeLimits& limits) {
    return std::make_unique<GifFrames>(std::move(bytes), limits);
}

}  // namespace korvel
