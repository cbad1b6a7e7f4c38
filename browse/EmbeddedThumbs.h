#pragma once
// Stand-in thumbnails from the small picture a camera stores in a JPEG's EXIF block: drawn in a
// cell at once while the real thumbnail is still being built, never cached. Only the file's
// first kEmbeddedHead bytes are read. A stand-in is made only when the small picture shows the
// whole photo: its aspect (after cropping uniform black or white bars) must match the photo's.
//
// EmbeddedThumbLane makes them on one thread of its own, for the cells on screen only, so that
// the first screen appears before the workers have decoded a single photo.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "base/Workers.h"
#include "browse/Thumbnails.h"
#include "imaging/Bitmap.h"

namespace korvel {

constexpr size_t kEmbeddedHead = 64 * 1024;

// The picture inside bars of uniform black or white along its edges (letterboxing or
// pillarboxing); the whole raster when there are none or when nothing but bar is left.
Rect LetterboxContent(const TBitmap& picture);

// True when a width x height picture has the aspect of a photoWidth x photoHeight one, allowing
// for the rounding of a small picture's edges.
bool SameAspect(int width, int height, int photoWidth, int photoHeight);

// The stand-in thumbnail from a JPEG file's head: the embedded picture, bars cropped where that
// makes the aspect match, resampled to the size the real thumbnail will have (FitThumbRect) and
// turned upright as params.photo says. False when there is no usable embedded picture.
bool EmbeddedThumbnail(const uint8_t* head, size_t size, const ThumbParams& params, TBitmap& thumb);

// The same for a file: reads at most kEmbeddedHead bytes of a regular file.
bool ReadEmbeddedThumbnail(const std::string& path, const ThumbParams& params, TBitmap& thumb);

struct EmbeddedThumb {
    size_t index = 0;
    std::string path;
    TBitmap thumb;
};

class EmbeddedThumbLane {
public:
    // Starts the lane's thread; throws Exception when it cannot be created.
    EmbeddedThumbLane();
    ~EmbeddedThumbLane() { stop(); }
    EmbeddedThumbLane(const EmbeddedThumbLane&) = delete;
    EmbeddedThumbLane& operator=(const EmbeddedThumbLane&) = delete;

    // Ends the thread after the file in hand; onReady is not called once this returns.
    void stop();
    // A new listing: needed[i] false when entry i has its real thumbnail or is no photo. Every
    // stand-in of the old listing not yet taken is dropped.
    void setListing(std::vector<std::string> paths, const std::vector<bool>& needed, const ThumbParams& params);
    // The entries on screen; only they are read.
    void setView(size_t first, size_t last);
    // Entry index has its real thumbnail now: not worth reading.
    void done(size_t index);
    // Stand-ins made since the last call, for the current listing.
    std::vector<EmbeddedThumb> take();

    // Called on the lane's thread when a stand-in waits in an empty queue. Set before the first listing.
    std::function<void()> onReady;

private:
    void work();

    std::mutex m_;
    std::condition_variable changed_;
    bool stop_ = false;
    uint64_t listing_ = 0;
    ThumbParams params_;
    std::vector<std::string> paths_;
    std::vector<uint8_t> open_;  // 1: still to be read
    size_t first_ = 0, last_ = 0;
    std::vector<EmbeddedThumb> results_;
    WorkerThreads thread_;
};

}  // namespace korvel
