// The queue through which workers hand calls to the user-interface thread: what a poster
// answers before, during and after the owner's loop, and what becomes of calls on the way.
#include "base/call_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace tovasen {
namespace {

void RunQueue(TCallQueue& queue) {
    queue.RunAll([](const std::function<void()>& call) { call(); });
}

TEST(CallQueue, APosterAnswersWhetherItsCallWillRun) {
    auto queue = std::make_shared<TCallQueue>();
    const TPoster post = TCallQueue::PosterOf(queue);
    std::vector<int> ran;
    EXPECT_FALSE(post([&] { ran.push_back(0); })) << "nobody is there to wake yet";

    bool wakeWorks = false;
    int wakes = 0;
    queue->SetWake([&] {
        ++wakes;
        return wakeWorks;
    });
    EXPECT_FALSE(post([&] { ran.push_back(1); })) << "the owner cannot be woken: the call is taken back";
    wakeWorks = true;
    EXPECT_TRUE(post([&] { ran.push_back(2); }));
    EXPECT_TRUE(post([&] { ran.push_back(3); }));
    EXPECT_EQ(3, wakes);
    EXPECT_TRUE(ran.empty()) << "a call runs only when the owner runs the queue";
    RunQueue(*queue);
    EXPECT_EQ((std::vector<int>{2, 3}), ran);

    queue->Close();
    EXPECT_TRUE(queue->Closed());
    EXPECT_FALSE(post([&] { ran.push_back(4); }));
    queue.reset();  // the owner is gone; its posters are still safe to call
    EXPECT_FALSE(post([&] { ran.push_back(5); }));
    EXPECT_EQ((std::vector<int>{2, 3}), ran);
}

// A call dropped at the close is freed outside the queue's lock: what it owns may post again
// (a waiter whose promise breaks, a worker's last reference) without a deadlock.
TEST(CallQueue, CallsDroppedAtTheCloseAreFreedAndMayPostAgain) {
    auto queue = std::make_shared<TCallQueue>();
    queue->SetWake([] { return true; });
    struct PostsWhenFreed {
        TPoster post;
        bool* answered;
        ~PostsWhenFreed() { *answered = post([] {}); }
    };
    bool answered = true;
    auto owner = std::make_shared<PostsWhenFreed>(PostsWhenFreed{TCallQueue::PosterOf(queue), &answered});
    ASSERT_TRUE(queue->Post([owner] {}));
    owner.reset();
    queue->Close();
    EXPECT_FALSE(answered) << "the dropped call was not freed, or its post was taken";
}

TEST(CallQueue, NoCallRunsOnceTheLoopHasEndedWhoeverPosts) {
    for (int round = 0; round < 50; ++round) {
        auto queue = std::make_shared<TCallQueue>();
        queue->SetWake([] { return true; });
        std::atomic<int> accepted{0};
        std::atomic<int> ran{0};
        std::vector<std::thread> workers;
        for (int w = 0; w < 4; ++w) {
            workers.emplace_back([post = TCallQueue::PosterOf(queue), &accepted, &ran] {
                for (int i = 0; i < 200; ++i) {
                    if (post([&ran] { ++ran; })) ++accepted;
                }
            });
        }
        for (int i = 0; i < 20; ++i) RunQueue(*queue);
        queue->Close();
        const int runBeforeClose = ran;
        for (std::thread& t : workers) t.join();
        RunQueue(*queue);
        EXPECT_EQ(runBeforeClose, ran.load()) << "a call ran after the close, round " << round;
        EXPECT_LE(ran.load(), accepted.load()) << "round " << round;
    }
}

}  // namespace
}  // namespace tovasen
