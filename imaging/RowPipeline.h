#pragma once
// Work done on a raster's rows as its decoder finishes them: while they are still in the cache,
// and for big pictures on another core while the decoder goes on.
#include <condition_variable>
#include <exception>
#include <mutex>

#include "base/Workers.h"

namespace korvel {

class TBitmap;

// What is done with finished rows. A decoder that takes a stage calls begin() before its first
// row, rows() for every row in order (from one thread at a time, while it writes later rows),
// and end() after its last row. A decode that fails stops without end().
class RowStage {
public:
    virtual ~RowStage() = default;
    // May throw (it may allocate); the decode then fails with it.
    virtual void begin(TBitmap& raster) {}
    // Rows [from, to) of raster are final. Must not throw.
    virtual void rows(TBitmap& raster, int from, int to) noexcept = 0;
    virtual void end(TBitmap& raster) {}
};

// Runs a stage over the rows of one decode as they are reported finished: a raster of a
// megapixel or more on one more thread, smaller ones on the decoder's thread in bands.
class RowPipeline {
public:
    RowPipeline(RowStage& stage, TBitmap& raster);
    // Stops the worker; rows not yet staged are dropped (the decode failed).
    ~RowPipeline();
    RowPipeline(const RowPipeline&) = delete;
    RowPipeline& operator=(const RowPipeline&) = delete;

    // Rows [0, done) are final. Cheap and never throws: the decoder calls it after every batch.
    void finished(int done) noexcept;
    // Every row went through the stage once this returns; then end() is called.
    void finish();

private:
    bool threaded() const { return worker_.count() > 0; }
    void work();
    void stageUpTo(int to) noexcept;

    RowStage& stage_;
    TBitmap& raster_;
    const int height_;
    int staged_ = 0;  // rows the stage has had (the worker's, or the decoder's without one)
    std::mutex mutex_;
    std::condition_variable wake_;
    int done_ = 0;
    bool closing_ = false;
    WorkerThreads worker_;  // one thread, or none for a small raster
};

}  // namespace korvel
