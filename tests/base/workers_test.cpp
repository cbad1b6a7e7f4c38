// Background work: tasks run once each, in order, and stop() leaves nothing running.
#include <gtest/gtest.h>

#include <atomic>
#include <future>

#include "base/Workers.h"

using namespace korvel;

TEST(WorkQueue, RunsInOrderDropsWaitingAndStopsForGood) {
    WorkQueue q;
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    std::vector<int> ran;  // touched by the worker only until stop() returns
    std::atomic<bool> started = false;
    q.post([&] {
        started = true;
        gate.wait();
        ran.push_back(0);
    });
    while (!started) std::this_thread::yield();
    q.post([&] { ran.push_back(1); });
    q.dropWaiting();  // 1 never runs: it had not begun
    q.post([&] { ran.push_back(2); });
    q.post([&] { throw std::runtime_error("a failing task"); });
    q.post([&] { ran.push_back(3); });
    EXPECT_FALSE(q.idle());
    release.set_value();
    while (!q.idle()) std::this_thread::yield();
    q.stop();
    q.post([&] { ran.push_back(4); });  // after stop: ignored, no thread comes back
    q.stop();
    EXPECT_EQ(ran, (std::vector<int>{0, 2, 3}));
}

TEST(WorkerThreads, EveryLoopRunsAndJoins) {
    std::atomic<int> runs = 0;
    WorkerThreads t;
    t.start(3, [&] { ++runs; });
    EXPECT_EQ(t.count(), 3u);
    t.join();
    EXPECT_EQ(runs, 3);
    EXPECT_EQ(t.count(), 0u);
}
