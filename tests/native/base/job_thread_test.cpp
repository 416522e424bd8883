// One thread for a run of jobs: in order, one start per run, gone when idle, and nothing given
// is lost at the owner's end.
#include "base/job_thread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

namespace tovasen {
namespace {

TEST(JobThread, ARunOfJobsSharesOneThreadWhichEndsWhenIdle) {
    TJobThread thread(300);
    std::vector<int> order;
    std::vector<std::thread::id> ids;
    for (int i = 0; i < 20; ++i) {
        thread.Run([&, i] {
            if (i == 3) throw std::runtime_error("dropped, the next job still runs");
            order.push_back(i);
            ids.push_back(std::this_thread::get_id());
        });
    }
    thread.WaitIdle();
    ASSERT_EQ(19u, order.size());
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    EXPECT_EQ(1u, thread.Starts());
    // What a job holds is let go by the time WaitIdle returns.
    auto held = std::make_shared<int>(0);
    thread.Run([held] {});
    thread.WaitIdle();
    EXPECT_EQ(1, held.use_count());
    EXPECT_EQ(1u, thread.Starts()) << "a job soon after the last one takes the same thread";
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    thread.Run([] {});
    thread.WaitIdle();
    EXPECT_EQ(2u, thread.Starts()) << "the idle thread had ended";
}

TEST(JobThread, TheOwnersEndRunsEveryJobGiven) {
    std::atomic<int> ran{0};
    {
        TJobThread thread(60000);
        for (int i = 0; i < 5; ++i) {
            thread.Run([&ran] {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                ++ran;
            });
        }
    }
    EXPECT_EQ(5, ran.load());
}

}  // namespace
}  // namespace tovasen
