// Threads owned by what started them: the owner's end stops and joins its jobs, and calls that
// come back after the owner has gone run nothing.
#include "base/worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "base/lifetime.h"

namespace tovasen {
namespace {

// A job that waits for nothing but its stop, and says what it saw.
struct TWaitingJob {
    std::atomic<bool> Began{false}, SawStop{false}, Returned{false};

    TWorker::TJob Job() {
        return [this](std::stop_token stop) {
            std::mutex lock;
            std::condition_variable_any never;
            std::unique_lock<std::mutex> hold(lock);
            Began = true;
            SawStop = never.wait(hold, stop, [] { return false; }) || stop.stop_requested();
            Returned = true;
        };
    }
};

void WaitUntil(const std::atomic<bool>& flag) {
    while (!flag.load()) std::this_thread::yield();
}

TEST(Worker, AnOwnersEndStopsItsJobsAndWaitsForThem) {
    TWaitingJob first, second;
    // A job blocked in a step that looks at no token (a network call): only its closing ends it.
    auto closed = std::make_shared<std::atomic<bool>>(false);
    std::atomic<bool> blockedBegan{false}, blockedReturned{false};
    {
        TWorker worker;
        worker.Start(first.Job());
        worker.Start(second.Job());
        worker.Start(
            [&, closed](std::stop_token) {
                blockedBegan = true;
                WaitUntil(*closed);
                blockedReturned = true;
            },
            [closed] { *closed = true; });
        WaitUntil(first.Began);
        WaitUntil(second.Began);
        WaitUntil(blockedBegan);
        EXPECT_EQ(3u, worker.Running());
        EXPECT_FALSE(first.SawStop) << "nobody asked yet";
        EXPECT_FALSE(*closed);
    }
    EXPECT_TRUE(first.SawStop);
    EXPECT_TRUE(second.SawStop);
    EXPECT_TRUE(*closed) << "the owner's end closed what the job waited on";
    EXPECT_TRUE(first.Returned && second.Returned && blockedReturned) << "the owner's end waited for all three";
}

TEST(Worker, AnEscapedErrorIsDroppedAndAStoppedWorkerTakesNewJobs) {
    TWorker worker;
    std::atomic<int> ran{0};
    for (int i = 0; i < 8; ++i) {
        worker.Start([&](std::stop_token) {
            ++ran;
            throw std::runtime_error("the job's own failure");
        });
    }
    worker.StopAll();
    EXPECT_EQ(8, ran.load());
    EXPECT_EQ(0u, worker.Running());

    TWaitingJob later;
    worker.Start(later.Job());  // a worker stopped once takes new jobs
    WaitUntil(later.Began);
    EXPECT_EQ(1u, worker.Running());
    worker.StopAll();
    EXPECT_TRUE(later.SawStop);
}

// A worker's result comes back through a queue, guarded by its owner's lifetime: once the owner
// has ended, the call finds nothing to run, whenever it arrives.
TEST(Lifetime, AGuardedCallRunsOnlyWhileItsOwnerLives) {
    std::vector<std::function<void()>> queue;
    std::vector<int> ran;
    TLifetime lifetime;
    const std::function<void()> early = lifetime.Guard([&] { ran.push_back(1); });
    {
        TWorker worker;
        worker.Start([&, call = lifetime.Guard([&] { ran.push_back(2); })](std::stop_token) { queue.push_back(call); });
    }
    ASSERT_EQ(1u, queue.size());
    early();
    EXPECT_TRUE(lifetime.Alive());
    lifetime.End();
    EXPECT_FALSE(lifetime.Alive());
    queue[0]();
    early();
    EXPECT_EQ(std::vector<int>{1}, ran);
}

}  // namespace
}  // namespace tovasen
