#include "browse/EmbeddedThumbs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <exception>

#include "codecs/PhotoMetaThumb.h"
#include "imaging/Orientation.h"
#include "imaging/StretchUtils.h"

namespace korvel {

namespace {

// A bar pixel: near black or near white in every channel (JPEG noise stays within this).
enum Bar { None, Dark, Light };
constexpr int kDarkMax = 40, kLightMin = 215;

Bar barOf(const uint8_t* px) {
    const int lo = std::min({px[0], px[1], px[2]}), hi = std::max({px[0], px[1], px[2]});
    if (hi <= kDarkMax) return Dark;
    if (lo >= kLightMin) return Light;
    return None;
}

// The kind of bar a run of pixels is, or None when any pixel is not of it.
Bar lineBar(const TBitmap& b, int x0, int y0, int dx, int dy, int n) {
    Bar kind = barOf(b.scanLine(y0) + 3 * x0);
    for (int i = 1; i < n && kind != None; ++i)
        if (barOf(b.scanLine(y0 + i * dy) + 3 * (x0 + i * dx)) != kind) kind = None;
    return kind;
}

}  // namespace

Rect LetterboxContent(const TBitmap& picture) {
    const int w = picture.width(), h = picture.height();
    if (w < 1 || h < 1 || picture.pixelFormat() != PixelFormat::pf24bit) return Rect{0, 0, w, h};
    int top = 0, bottom = h, left = 0, right = w;
    const Bar topKind = lineBar(picture, 0, 0, 1, 0, w);
    if (topKind != None)
        while (top < h && lineBar(picture, 0, top, 1, 0, w) == topKind) ++top;
    const Bar bottomKind = lineBar(picture, 0, h - 1, 1, 0, w);
    if (bottomKind != None)
        while (bottom > top && lineBar(picture, 0, bottom - 1, 1, 0, w) == bottomKind) --bottom;
    if (bottom - top < 2) return Rect{0, 0, w, h};  // all bar: a dark or bright photo, not bars
    const int rows = bottom - top;
    const Bar leftKind = lineBar(picture, 0, top, 0, 1, rows);
    if (leftKind != None)
        while (left < w && lineBar(picture, left, top, 0, 1, rows) == leftKind) ++left;
    const Bar rightKind = lineBar(picture, w - 1, top, 0, 1, rows);
    if (rightKind != None)
        while (right > left && lineBar(picture, right - 1, top, 0, 1, rows) == rightKind) --right;
    if (right - left < 2) return Rect{0, 0, w, h};
    return Rect{left, top, right, bottom};
}

bool SameAspect(int width, int height, int photoWidth, int photoHeight) {
    if (width < 1 || height < 1 || photoWidth < 1 || photoHeight < 1) return false;
    // 3 %: a 160-pixel edge off by a rounded pixel or a blurred bar row on each side passes;
    // 4:3 for 3:2 (11 %) or 16:10 for 16:9 (11 %) does not.
    const double ratio = (double(width) / height) / (double(photoWidth) / photoHeight);
    return std::fabs(ratio - 1) <= 0.03;
}

bool EmbeddedThumbnail(const uint8_t* head, size_t size, const ThumbParams& params, TBitmap& thumb) {
    const ExifThumbnailSpan span = FindJpegExifThumbnail(head, size);
    if (!span.found()) return false;
    TBitmap small;
    if (!DecodeExifThumbnail(head + span.offset, span.size, small)) return false;
    // Uncropped first: dark rows at the edge of a picture that already fits are the picture's own.
    Rect r{0, 0, small.width(), small.height()};
    if (!SameAspect(r.width(), r.height(), span.photoWidth, span.photoHeight)) {
        r = LetterboxContent(small);
        if (!SameAspect(r.width(), r.height(), span.photoWidth, span.photoHeight)) return false;
    }
    const bool turn = params.photo.exifRotate && span.orientation != 1;
    const bool swaps = turn && orientationSwapsSides(span.orientation);
    const Rect fit = swaps ? FitThumbRect(span.photoHeight, span.photoWidth, params)
                           : FitThumbRect(span.photoWidth, span.photoHeight, params);
    const int tw = swaps ? fit.height() : fit.width(), th = swaps ? fit.width() : fit.height();
    try {
        TBitmap content(r.width(), r.height(), PixelFormat::pf24bit);
        for (int y = 0; y < r.height(); ++y)
            std::copy_n(small.scanLine(r.top + y) + 3 * r.left, 3 * size_t(r.width()), content.scanLine(y));
        StretchBitmap(content, tw, th);
        thumb = turn ? OrientUpright(content, span.orientation) : std::move(content);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

bool ReadEmbeddedThumbnail(const std::string& path, const ThumbParams& params, TBitmap& thumb) {
    // Non-blocking, so that a FIFO under a photo's name never holds the lane.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    std::vector<uint8_t> head;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        head.resize(size_t(std::min<off_t>(st.st_size, off_t(kEmbeddedHead))));
        size_t got = 0;
        while (got < head.size()) {
            const ssize_t n = ::pread(fd, head.data() + got, head.size() - got, off_t(got));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += size_t(n);
        }
        head.resize(got);
    }
    ::close(fd);
    return !head.empty() && EmbeddedThumbnail(head.data(), head.size(), params, thumb);
}

EmbeddedThumbLane::EmbeddedThumbLane() { thread_.start(1, [this] { work(); }); }

void EmbeddedThumbLane::stop() {
    {
        std::lock_guard lock(m_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void EmbeddedThumbLane::setListing(std::vector<std::string> paths, const std::vector<bool>& needed,
                                   const ThumbParams& params) {
    {
        std::lock_guard lock(m_);
        ++listing_;
        params_ = params;
        open_.assign(paths.size(), 0);
        for (size_t i = 0; i < open_.size() && i < needed.size(); ++i) open_[i] = needed[i] ? 1 : 0;
        paths_ = std::move(paths);
        results_.clear();
    }
    changed_.notify_all();
}

void EmbeddedThumbLane::setView(size_t first, size_t last) {
    {
        std::lock_guard lock(m_);
        first_ = std::min(first, last);
        last_ = std::max(first, last);
    }
    changed_.notify_all();
}

void EmbeddedThumbLane::done(size_t index) {
    std::lock_guard lock(m_);
    if (index < open_.size()) open_[index] = 0;
}

std::vector<EmbeddedThumb> EmbeddedThumbLane::take() {
    std::lock_guard lock(m_);
    return std::move(results_);
}

void EmbeddedThumbLane::work() {
    std::unique_lock lock(m_);
    for (;;) {
        size_t index = 0;
        auto pick = [&] {
            for (size_t i = first_; i <= last_ && i < open_.size(); ++i)
                if (open_[i]) {
                    index = i;
                    return true;
                }
            return false;
        };
        changed_.wait(lock, [&] { return stop_ || pick(); });
        if (stop_) return;
        open_[index] = 0;
        const uint64_t listing = listing_;
        const ThumbParams params = params_;
        EmbeddedThumb r{index, paths_[index], {}};
        lock.unlock();
        bool made = false;
        try {
            made = ReadEmbeddedThumbnail(r.path, params, r.thumb);
        } catch (const std::exception&) {
            made = false;  // out of memory: the real thumbnail comes all the same
        }
        lock.lock();
        if (!made || listing != listing_ || stop_) continue;
        const bool wasEmpty = results_.empty();
        results_.push_back(std::move(r));
        if (wasEmpty && onReady) {
            lock.unlock();
            onReady();
            lock.lock();
        }
    }
}

}  // namespace korvel
