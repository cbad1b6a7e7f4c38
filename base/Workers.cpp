#include "base/Workers.h"

#include <algorithm>
#include <system_error>

#include "base/ErrorReason.h"
#include "base/Errors.h"

namespace korvel {

void WorkerThreads::start(size_t count, const std::function<void()>& loop) {
    threads_.reserve(threads_.size() + count);
    for (size_t i = 0; i < count; ++i) {
        try {
            threads_.emplace_back(loop);
        } catch (const std::system_error& e) {
            if (!threads_.empty()) return;
            throw Exception(TrText{"Workers", KORVEL_TR_NOOP("Workers", "作業用のスレッドを作成できません: %1"),
                                   {errorReason(e.code().value())}});
        }
    }
}

void WorkerThreads::join() {
    for (std::thread& t : threads_)
        if (t.joinable() && t.get_id() != std::this_thread::get_id()) t.join();
    threads_.clear();
}

unsigned WorkerThreads::perCore() { return std::max(1u, std::thread::hardware_concurrency()); }

void WorkQueue::post(std::function<void()> task) {
    std::unique_lock lock(m_);
    if (stopping_) return;
    tasks_.push_back(std::move(task));
    if (thread_.count() == 0) {
        try {
            thread_.start(1, [this] { run(); });
        } catch (...) {
            tasks_.pop_back();
            throw;
        }
    }
    lock.unlock();
    wake_.notify_one();
}

void WorkQueue::dropWaiting() {
    std::lock_guard lock(m_);
    tasks_.clear();
}

void WorkQueue::stop() {
    {
        std::lock_guard lock(m_);
        stopping_ = true;
        tasks_.clear();
    }
    wake_.notify_all();
    thread_.join();
}

bool WorkQueue::idle() const {
    std::lock_guard lock(m_);
    return tasks_.empty() && !busy_;
}

void WorkQueue::run() {
    std::unique_lock lock(m_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
        if (tasks_.empty()) return;  // stopping, nothing left
        std::function<void()> task = std::move(tasks_.front());
        tasks_.pop_front();
        busy_ = true;
        lock.unlock();
        try {
            task();
        } catch (...) {
            // A task reports its own failures; one that throws must not end the queue.
        }
        task = nullptr;  // its captures go before the queue reports idle
        lock.lock();
        busy_ = false;
    }
}

}  // namespace korvel
