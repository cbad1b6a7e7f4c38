// Animated PNG frame by frame. Each frame's data (IDAT or fdAT chunks) is handed to TGLDPNG as
// a small PNG of the frame's size with the file's header, palette and transparency, so every
// pixel format the still reader knows works in animations too; the frame is then composed on
// the canvas with its blend and dispose operations.
#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "base/FileBytes.h"
#include "base/Limits.h"
#include "codecs/FrameSource.h"
#include "codecs/Png.h"
#include "codecs/PngChunks.h"

namespace korvel {

using namespace png;

namespace {

constexpr uint32_t kACTL = chunkType("acTL"), kFCTL = chunkType("fcTL"), kFDAT = chunkType("fdAT");

struct FrameEntry {
    uint32_t width = 0, height = 0, x = 0, y = 0;
    int delayMs = 0;
    uint8_t dispose = 0, blend = 0;
    std::vector<std::pair<const uint8_t*, size_t>> data;  // the zlib stream's pieces
};

class PngFrames : public FrameSource {
public:
    PngFrames(std::shared_ptr<const FileBytes> bytes, const DecodeLimits& limits)
        : bytes_(std::move(bytes)), limits_(limits) {}

    // False when the file has no animation control chunk.
    bool index() {
        const uint8_t* data = bytes_->data();
        const size_t size = bytes_->size();
        if (size < 8 || std::memcmp(data, kSignature, 8) != 0) fail(msg::kNotPng);
        ChunkCursor cursor(data, size, 8);
        Chunk c;
        bool animated = false, seenData = false;
        uint64_t count = 0;
        FrameEntry* open = nullptr;
        while (cursor.next(c) && c.type != kIEND) {
            if (++count > limits_.maxPngChunks)
                throw EImageTooLarge("PNG: more than " + std::to_string(limits_.maxPngChunks) + " chunks");
            if (c.type == kIHDR && c.size >= 13 && header_.empty()) {
                header_.assign(c.data, c.data + 13);
                width_ = int(be32(c.data)), height_ = int(be32(c.data + 4));
            } else if ((c.type == kPLTE || c.type == kTRNS) && !seenData) {
                shared_.emplace_back(c.type, std::vector<uint8_t>(c.data, c.data + c.size));
            } else if (c.type == kACTL && !seenData && c.size >= 8) {
                animated = true;
                const uint32_t n = be32(c.data + 4);
                plays_ = n > 1000000 ? 0 : int(n);
            } else if (c.type == kFCTL && animated) {
                if (c.size < 26) break;
                FrameEntry f;
                f.width = be32(c.data + 4), f.height = be32(c.data + 8);
                f.x = be32(c.data + 12), f.y = be32(c.data + 16);
                const unsigned num = be16(c.data + 20), den = be16(c.data + 22);
                f.delayMs = int(uint64_t(num) * 1000 / (den ? den : 100));
                f.dispose = c.data[24], f.blend = c.data[25];
                if (f.width == 0 || f.height == 0 || f.x > uint32_t(width_) || f.y > uint32_t(height_) ||
                    f.width > uint32_t(width_) - f.x || f.height > uint32_t(height_) - f.y)
                    break;  // a frame outside the canvas ends the animation before it
                frames_.push_back(std::move(f));
                open = &frames_.back();
            } else if (c.type == kIDAT) {
                seenData = true;
                // The default image is the first frame only when a frame control precedes it.
                if (open && frames_.size() == 1) open->data.emplace_back(c.data, c.size);
            } else if (c.type == kFDAT && open && c.size > 4) {
                open->data.emplace_back(c.data + 4, c.size - 4);
            }
            if (c.truncated()) break;
        }
        if (!animated) return false;
        if (header_.empty()) fail(msg::kReadError);
        std::erase_if(frames_, [](const FrameEntry& f) { return f.data.empty(); });
        if (frames_.empty()) fail(msg::kReadError);
        checkImageSize(width_, height_, 32, limits_.maxPixels);
        return true;
    }

    int width() const override { return width_; }
    int height() const override { return height_; }
    int plays() const override { return plays_; }
    int rastersHeld() const override { return (canvas_.empty() ? 0 : 1) + (saved_.empty() ? 0 : 1); }

    void rewind() override {
        next_ = 0;
        pendingDispose_ = 0;
        canvas_.clear();
        saved_.clear();
    }

    bool next(AnimFrame& out) override {
        if (next_ >= frames_.size()) return false;
        const FrameEntry& f = frames_[next_];
        const std::string file = framePng(f);
        TGLDPNG piece;
        try {
            piece.loadFromMemory(reinterpret_cast<const uint8_t*>(file.data()), file.size(), limits_);
        } catch (const EInvalidGraphic&) {
            // Damage after the first frame ends the animation there.
            if (next_ == 0) throw;
            next_ = frames_.size();
            return false;
        }
        if (canvas_.empty()) canvas_.assign(size_t(width_) * size_t(height_) * 4, 0);
        disposeLast();
        // A first frame that would restore the previous canvas clears instead (there is none).
        pendingDispose_ = next_ == 0 && f.dispose == kDisposePrevious ? kDisposeBackground : f.dispose;
        pending_ = next_;
        if (pendingDispose_ == kDisposePrevious) saved_ = canvas_;
        draw(f, piece.image());
        ++next_;
        out.width = width_, out.height = height_;
        out.rgba = canvas_;
        out.delayMs = f.delayMs;
        return true;
    }

private:
    std::string framePng(const FrameEntry& f) const {
        std::ostringstream png;
        writeBytes(png, kSignature, 8);
        std::vector<uint8_t> ihdr = header_;
        putBe32(ihdr.data(), f.width);
        putBe32(ihdr.data() + 4, f.height);
        writeChunk(png, kIHDR, ihdr.data(), ihdr.size());
        for (const auto& [type, body] : shared_) writeChunk(png, type, body.data(), body.size());
        for (const auto& [p, n] : f.data) writeChunk(png, kIDAT, p, n);
        writeChunk(png, kIEND, nullptr, 0);
        return png.str();
    }

    static constexpr uint8_t kDisposeBackground = 1, kDisposePrevious = 2, kBlendOver = 1;

    void disposeLast() {
        if (pendingDispose_ == kDisposePrevious && !saved_.empty()) {
            canvas_.swap(saved_);
        } else if (pendingDispose_ == kDisposeBackground) {
            const FrameEntry& p = frames_[pending_];
            for (uint32_t y = p.y; y < p.y + p.height; ++y)
                std::memset(&canvas_[(size_t(y) * size_t(width_) + p.x) * 4], 0, size_t(p.width) * 4);
        }
        saved_.clear();
        pendingDispose_ = 0;
    }

    void draw(const FrameEntry& f, const TBitmap& image) {
        for (int y = 0; y < int(f.height); ++y) {
            uint8_t* d = &canvas_[(size_t(f.y + uint32_t(y)) * size_t(width_) + f.x) * 4];
            for (int x = 0; x < int(f.width); ++x, d += 4) {
                const Color c = image.pixel(x, y);
                const unsigned a = image.alphaAt(x, y);
                const uint8_t s[4] = {redOf(c), greenOf(c), blueOf(c), uint8_t(a)};
                if (f.blend != kBlendOver || a == 255 || d[3] == 0) {
                    if (f.blend == kBlendOver && a == 0) continue;
                    std::memcpy(d, s, 4);
                } else if (a > 0) {
                    // Straight alpha "over": colours weighted by their coverage.
                    const unsigned da = d[3] * (255 - a) / 255, oa = a + da;
                    for (int k = 0; k < 3; ++k) d[k] = uint8_t((s[k] * a + d[k] * da + oa / 2) / oa);
                    d[3] = uint8_t(oa);
                }
            }
        }
    }

    std::shared_ptr<const FileBytes> bytes_;
    DecodeLimits limits_;
    std::vector<uint8_t> header_;
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> shared_;
    std::vector<FrameEntry> frames_;
    int width_ = 0, height_ = 0, plays_ = 0;
    size_t next_ = 0, pending_ = 0;
    uint8_t pendingDispose_ = 0;
    std::vector<uint8_t> canvas_, saved_;
};

}  // namespace

std::unique_ptr<FrameSource> openPngFrames(std::shared_ptr<const FileBytes> bytes, const DecodeLimits& limits) {
    auto frames = std::make_unique<PngFrames>(std::move(bytes), limits);
    if (!frames->index()) return nullptr;
    return frames;
}

}  // namespace korvel
