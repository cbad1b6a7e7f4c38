#pragma once
// The one way Korvel runs work off the caller's thread. Every background task (thumbnails, the
// preview and slide decodes, conversions, file-operation jobs) runs on threads owned by a
// WorkerThreads or a WorkQueue, and the owner stops them explicitly before its own members go:
// teardown never depends on declaration order. Results reach a window through the one
// hand-off in platform/UiHandOff.h.
//
// A thread that cannot be created is an Exception with the system's reason, never
// std::terminate.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace korvel {

// A fixed set of threads, each running the same loop until it returns.
class WorkerThreads {
public:
    WorkerThreads() = default;
    // Joins what still runs: the owner should have asked its loops to end and called join().
    ~WorkerThreads() { join(); }
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;

    // Starts count threads running loop. When the system refuses a thread after at least one
    // started, the ones started carry the work; when it refuses the first, throws Exception.
    void start(size_t count, const std::function<void()>& loop);
    // Waits for every loop to return.
    void join();
    size_t count() const { return threads_.size(); }

    // The number of threads to use for work that keeps every core busy.
    static unsigned perCore();

private:
    std::vector<std::thread> threads_;
};

// One thread running tasks in the order posted. The thread starts with the first task.
class WorkQueue {
public:
    WorkQueue() = default;
    ~WorkQueue() { stop(); }
    WorkQueue(const WorkQueue&) = delete;
    WorkQueue& operator=(const WorkQueue&) = delete;

    // Queues task; throws Exception when the thread cannot be created (the task is dropped).
    // Ignored after stop().
    void post(std::function<void()> task);
    // Drops the tasks not yet begun; the one in hand finishes.
    void dropWaiting();
    // Drops the waiting tasks, waits for the one in hand and ends the thread. Later posts are
    // ignored, so work a finishing task posts back cannot restart it.
    void stop();
    // True when no task is waiting or in hand.
    bool idle() const;

private:
    void run();
    mutable std::mutex m_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool busy_ = false, stopping_ = false;
    WorkerThreads thread_;
};

}  // namespace korvel
