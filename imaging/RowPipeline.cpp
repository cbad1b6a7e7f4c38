#include "imaging/RowPipeline.h"

#include "base/Errors.h"
#include "imaging/Bitmap.h"

namespace korvel {

namespace {

// Rows staged at a time on the decoder's thread: enough to keep the calls rare, few enough that
// they are still in its cache. The worker takes wider bands: a band turned a quarter writes one
// run of its height into every row of the upright raster, and runs of whole cache lines cost
// far less than partial ones.
constexpr int kBandRows = 16;
constexpr int kWorkerBandRows = 64;

}  // namespace

RowPipeline::RowPipeline(RowStage& stage, TBitmap& raster) : stage_(stage), raster_(raster), height_(raster.height()) {
    stage_.begin(raster_);
    if (int64_t(raster.width()) * height_ < (int64_t(1) << 20) || WorkerThreads::perCore() < 2) return;
    try {
        worker_.start(1, [this] { work(); });
    } catch (const Exception&) {
        // No thread to be had: the decoder's thread does the work.
    }
}

RowPipeline::~RowPipeline() {
    if (!threaded()) return;
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
        done_ = staged_ = height_;  // nothing more is wanted of the stage
    }
    wake_.notify_one();
    worker_.join();
}

void RowPipeline::finished(int done) noexcept {
    if (!threaded()) {
        if (done - staged_ >= kBandRows || done == height_) stageUpTo(done);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        if (done - done_ < kWorkerBandRows && done != height_) return;
        done_ = done;
    }
    wake_.notify_one();
}

void RowPipeline::finish() {
    if (threaded()) {
        {
            std::lock_guard lock(mutex_);
            done_ = height_;
            closing_ = true;
        }
        wake_.notify_one();
        worker_.join();
    } else {
        stageUpTo(height_);
    }
    stage_.end(raster_);
}

void RowPipeline::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return done_ > staged_ || closing_; });
        if (done_ <= staged_) return;  // closing with every row staged
        const int from = staged_, to = done_;
        lock.unlock();
        stage_.rows(raster_, from, to);
        lock.lock();
        if (staged_ == from) staged_ = to;  // unless the destructor dropped the rest
    }
}

void RowPipeline::stageUpTo(int to) noexcept {
    if (to <= staged_) return;
    stage_.rows(raster_, staged_, to);
    staged_ = to;
}

}  // namespace korvel
