#include "browse/ThumbPool.h"

#include <algorithm>
#include <exception>

namespace korvel {

namespace {
// Enough for every cell of a large screen; older wishes go first when it overflows.
constexpr size_t kMaxUrgent = 4096;
}  // namespace

unsigned ThumbnailPool::defaultJobs() { return WorkerThreads::perCore(); }

ThumbnailPool::ThumbnailPool(unsigned jobs, const TFileFormatsList* formats) : formats_(formats) {
    workers_.start(std::max(1u, jobs), [this] { work(); });
}

void ThumbnailPool::stop() {
    {
        std::lock_guard lock(m_);
        stop_ = true;
    }
    changed_.notify_all();
    workers_.join();
}

void ThumbnailPool::setListing(std::vector<std::string> paths, const std::vector<bool>& needed,
                               const ThumbParams& params, bool sameListing) {
    {
        std::lock_guard lock(m_);
        std::vector<uint8_t> state(paths.size(), Finished);
        wanted_ = 0;
        for (size_t i = 0; i < state.size() && i < needed.size(); ++i) {
            if (!needed[i]) continue;
            // A file in hand under the same index is not taken twice.
            if (sameListing && i < state_.size() && state_[i] == Taken && paths_[i] == paths[i]) state[i] = Taken;
            else state[i] = Wanted, ++wanted_;
        }
        if (!sameListing) {
            ++listing_;
            results_.clear();
        }
        params_ = params;
        paths_ = std::move(paths);
        state_ = std::move(state);
        urgent_.clear();
        // The view stays: a sort or layout keeps the screen where it is.
        ahead_ = std::min(last_ + 1, state_.size());
        behind_ = std::min(first_, state_.size());
    }
    changed_.notify_all();
}

void ThumbnailPool::setView(size_t first, size_t last, int direction) {
    {
        std::lock_guard lock(m_);
        first_ = std::min(first, last);
        last_ = std::max(first, last);
        direction_ = direction < 0 ? -1 : 1;
        // What was wished for on the old screen waits like any other cell now.
        urgent_.clear();
        ahead_ = std::min(last_ + 1, state_.size());
        behind_ = std::min(first_, state_.size());
    }
    changed_.notify_all();
}

void ThumbnailPool::want(size_t index, const std::string& path, bool again) {
    {
        std::lock_guard lock(m_);
        if (index >= state_.size()) return;
        if (paths_[index] != path) paths_[index] = path, again = true;
        if (state_[index] == Finished && again) state_[index] = Wanted, ++wanted_;
        if (state_[index] != Wanted) return;
        if (urgent_.size() >= kMaxUrgent) urgent_.pop_front();
        urgent_.push_back(index);
    }
    changed_.notify_all();
}

std::vector<PoolThumbnail> ThumbnailPool::take() {
    std::vector<PoolThumbnail> out;
    {
        std::lock_guard lock(m_);
        out.swap(results_);
    }
    if (!out.empty()) changed_.notify_all();
    return out;
}

bool ThumbnailPool::idle() const {
    std::lock_guard lock(m_);
    return wanted_ == 0 && inHand_ == 0 && results_.empty();
}

bool ThumbnailPool::pick(size_t& index) {
    if (wanted_ == 0) return false;
    const size_t n = state_.size();
    while (!urgent_.empty()) {
        const size_t i = urgent_.front();
        urgent_.pop_front();
        if (i < n && state_[i] == Wanted) return index = i, true;
    }
    const size_t first = std::min(first_, n - 1), last = std::min(last_, n - 1), span = last - first + 1;
    for (size_t i = first; i <= last; ++i)
        if (state_[i] == Wanted) return index = i, true;
    // The next screenful in the scroll direction, nearest first.
    if (direction_ > 0) {
        for (size_t i = last + 1; i < n && i <= last + span; ++i)
            if (state_[i] == Wanted) return index = i, true;
    } else {
        for (size_t i = first; i-- > 0 && first - i <= span;)
            if (state_[i] == Wanted) return index = i, true;
    }
    // The rest, outward from the screen: first in the scroll direction, then the other way. The
    // cursors only move outward, so a sweep over a large folder costs O(n) in all.
    auto down = [&] {
        auto it = std::find(state_.begin() + std::ptrdiff_t(ahead_), state_.end(), uint8_t(Wanted));
        ahead_ = size_t(it - state_.begin());
        return it != state_.end() ? (index = ahead_, true) : false;
    };
    auto up = [&] {
        for (; behind_ > 0; --behind_)
            if (state_[behind_ - 1] == Wanted) return index = behind_ - 1, true;
        return false;
    };
    return direction_ > 0 ? (down() || up()) : (up() || down());
}

void ThumbnailPool::work() {
    std::unique_lock lock(m_);
    for (;;) {
        size_t i = 0;
        if (stop_) return;
        if (results_.size() >= kMaxWaiting || !pick(i)) {
            changed_.wait(lock);
            continue;
        }
        state_[i] = Taken;
        --wanted_;
        ++inHand_;
        const uint64_t listing = listing_;
        const ThumbParams params = params_;
        PoolThumbnail r;
        r.index = i;
        r.path = paths_[i];
        lock.unlock();
        try {
            MakeThumbnail(r.path, params, r.thumb, formats_);
        } catch (const std::exception& e) {
            r.failure = e.what()[0] ? e.what() : "unknown failure";
        } catch (...) {
            r.failure = "unknown failure";
        }
        if (!r.failure.empty()) r.thumb = TBitmap();
        lock.lock();
        --inHand_;
        if (listing != listing_) continue;  // the folder is no longer shown
        if (i < state_.size() && state_[i] == Taken) state_[i] = Finished;
        const bool first = results_.empty();
        results_.push_back(std::move(r));
        if (first && onReady) {
            lock.unlock();
            onReady();
            lock.lock();
        }
    }
}

}  // namespace korvel
