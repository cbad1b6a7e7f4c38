#pragma once
// ThumbnailPool: builds thumbnails on worker threads, one per core, in the order the grid needs
// them: the cells on screen, then the next screenful in the scroll direction, then the rest.
// Workers only decode and reduce (MakeThumbnail); the owner's thread takes the finished
// thumbnails and appends them to the cache file, so the file keeps one writer and its layout.
//
// Nothing is queued ahead: a worker picks its next entry from the current view each time it is
// free, so a scroll or a new listing reorders or drops all waiting work at once. A file already
// in hand finishes; when it belongs to a replaced listing its result is thrown away.
//
// Memory: one byte of state and a copy of the path per entry, and at most jobs + kMaxWaiting
// thumbnails in flight (a worker waits while the owner has that many to take).
//
// The workers are a WorkerThreads set; the owner calls stop() before anything onReady reaches
// goes away.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "base/Workers.h"
#include "browse/Thumbnails.h"
#include "imaging/Bitmap.h"

namespace korvel {

class TFileFormatsList;

struct PoolThumbnail {
    size_t index = 0;
    std::string path;
    TBitmap thumb;         // 24 bits per pixel, as MakeThumbnail makes it
    std::string failure;   // not empty: the file could not be decoded (the owner draws the icon)
};

class ThumbnailPool {
public:
    // Room for a screenful while the window thread is busy (a preview decoding).
    static constexpr size_t kMaxWaiting = 32;
    // One worker per core.
    static unsigned defaultJobs();

    // Throws Exception when not even one worker can be started.
    explicit ThumbnailPool(unsigned jobs = defaultJobs(), const TFileFormatsList* formats = nullptr);
    ~ThumbnailPool() { stop(); }
    ThumbnailPool(const ThumbnailPool&) = delete;
    ThumbnailPool& operator=(const ThumbnailPool&) = delete;

    unsigned jobs() const { return unsigned(workers_.count()); }
    // Drops the waiting work and joins the workers (each finishes the file in hand); onReady is
    // not called once this returns. Later calls do nothing.
    void stop();

    // Replaces the listing. needed[i] false: entry i is not built here (it has its thumbnail, or
    // it is a media file). Work and results of the old listing are dropped at once. With
    // sameListing (a layout, sort or prune of the shown folder, the same parameters) the files in
    // hand and the waiting results are kept; the owner checks each result's path.
    void setListing(std::vector<std::string> paths, const std::vector<bool>& needed, const ThumbParams& params,
                    bool sameListing = false);
    // The entries on screen, first .. last; direction > 0 when the view last moved down, < 0 up.
    void setView(size_t first, size_t last, int direction);
    // Entry index is wanted now (a dialog draws it): it goes before everything else, under path.
    // A finished entry is built again when its path changed (a rename or sort moved another file
    // there) or when again is set (its thumbnail was lost).
    void want(size_t index, const std::string& path, bool again = false);
    // Finished thumbnails of the current listing, in the order they were finished.
    std::vector<PoolThumbnail> take();
    // True when nothing is wanted, in hand or waiting.
    bool idle() const;

    // Called on a worker thread when a thumbnail starts waiting in an empty queue; the owner
    // should arrange to call take() on its own thread. Set before the first listing.
    std::function<void()> onReady;

private:
    enum : uint8_t { Wanted = 0, Taken = 1, Finished = 2 };
    void work();
    bool pick(size_t& index);  // with m_ held

    const TFileFormatsList* formats_;
    mutable std::mutex m_;
    std::condition_variable changed_;
    bool stop_ = false;
    uint64_t listing_ = 0;
    ThumbParams params_;
    std::vector<std::string> paths_;
    std::vector<uint8_t> state_;
    size_t wanted_ = 0, inHand_ = 0;
    std::deque<size_t> urgent_;
    size_t first_ = 0, last_ = 0;
    int direction_ = 1;
    size_t ahead_ = 0, behind_ = 0;  // cursors of the rest: next index down, one past the next up
    std::vector<PoolThumbnail> results_;
    WorkerThreads workers_;
};

}  // namespace korvel
