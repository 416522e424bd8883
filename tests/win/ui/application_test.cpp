#include "ui/application.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "support/wait.h"
#include "base/errors.h"
#include "ui/timer.h"

namespace tovasen {
namespace {

class ApplicationTest : public ::testing::Test {
protected:
    void SetUp() override { app.Initialize(); }
    TApplication app;
};

TEST_F(ApplicationTest, QueueRunsOnTheUserInterfaceThread) {
    const DWORD ui = GetCurrentThreadId();
    DWORD ranOn = 0;
    std::thread worker([&] { app.Queue([&] { ranOn = GetCurrentThreadId(); }); });
    worker.join();
    EXPECT_EQ(0u, ranOn) << "queued work must wait for the message loop";
    EXPECT_TRUE(test::WaitUntil([&] { return ranOn != 0; }, 5000));
    EXPECT_EQ(ui, ranOn);
}

TEST_F(ApplicationTest, SynchronizeWaitsForTheResultAndCarriesExceptionsBack) {
    const DWORD ui = GetCurrentThreadId();
    DWORD ranOn = 0;
    bool workerSawIt = false;
    std::wstring caught;
    std::thread worker([&] {
        app.Synchronize([&] { ranOn = GetCurrentThreadId(); });
        workerSawIt = ranOn != 0;
        try {
            app.Synchronize([] { throw Exception(L"from the UI thread"); });
        } catch (const Exception& e) {
            caught = e.Message();
        }
    });
    // Synchronize blocks the worker until this thread runs the call.
    EXPECT_TRUE(test::WaitUntil([&] { return !caught.empty(); }, 5000));
    worker.join();
    EXPECT_EQ(ui, ranOn);
    EXPECT_TRUE(workerSawIt);
    EXPECT_EQ(L"from the UI thread", caught);

    int direct = 0;
    app.Synchronize([&] { direct = 1; });
    EXPECT_EQ(1, direct) << "on the user-interface thread the call runs at once";
}

TEST_F(ApplicationTest, TimersFireFromTheMessageLoopAndStopWhenFreed) {
    int ticks = 0;
    auto* timer = new TTimer(&app, L"TmrTest", 20);
    timer->OnTimer = [&] { ++ticks; };
    timer->SetEnabled(true);
    EXPECT_TRUE(test::WaitUntil([&] { return ticks >= 3; }, 5000));
    delete timer;  // also leaves the owner's list
    EXPECT_EQ(nullptr, app.FindComponent(L"TmrTest"));
    const int seen = ticks;
    // A pause: a freed timer that still ran would have ticked by now.
    test::WaitUntil([&] { return ticks != seen; }, 200);
    EXPECT_EQ(seen, ticks);
}

TEST_F(ApplicationTest, ExceptionsInHandlersAreReportedNotThrown) {
    std::wstring reported;
    app.OnException = [&](const std::wstring& message) { reported = message; };
    app.Queue([] { throw Exception(L"handler failed"); });
    EXPECT_TRUE(test::WaitUntil([&] { return !reported.empty(); }, 5000));
    EXPECT_EQ(L"handler failed", reported);
}

}  // namespace
}  // namespace tovasen
