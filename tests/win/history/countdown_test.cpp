// The delayed capture's countdown: it runs its full time with the badge on screen, leaves the
// screen without the badge before it reports, and Esc cancels it wherever the focus is.
#include "app/frm_countdown.h"

#include <chrono>

#include "history_fixture.h"
#include "support/pattern_window.h"
#include "support/wait.h"

namespace tovasen {
namespace {

using Clock = std::chrono::steady_clock;

// How many pixels of a screen rectangle show the pattern window beneath at (left, top).
int PatternPixels(const RECT& rect, int patternLeft, int patternTop) {
    WindowDC screen(nullptr);
    int matches = 0;
    for (int y = rect.top; y < rect.bottom; y += 3) {
        for (int x = rect.left; x < rect.right; x += 3) {
            if (GetPixel(screen.Get(), x, y) == test::PatternAt(x - patternLeft, y - patternTop)) ++matches;
        }
    }
    return matches;
}

int Samples(const RECT& rect) { return ((rect.right - rect.left + 2) / 3) * ((rect.bottom - rect.top + 2) / 3); }

class CountdownTest : public ::testing::Test {
protected:
    void SetUp() override { app.Initialize(); }
    TApplication app;
    int elapsed = 0, cancelled = 0;
    std::function<void()> OnElapsed() {
        return [this] { ++elapsed; };
    }
    std::function<void()> OnCancelled() {
        return [this] { ++cancelled; };
    }
};

TEST_F(CountdownTest, RunsItsTimeWithTheBadgeShownAndLeavesItOutOfThePicture) {
    test::PatternWindow pattern(100, 100, 400, 300);
    SetCursorPos(160, 160);
    TCountdown countdown;
    RECT badge{};
    int visibleSamples = -1, matchAtElapse = -1;
    const Clock::time_point start = Clock::now();
    Clock::time_point reported;
    countdown.Start(
        2,
        [&] {
            reported = Clock::now();
            ++elapsed;
            // What a capture taken now would see where the badge was.
            matchAtElapse = PatternPixels(badge, 100, 100);
        },
        OnCancelled());
    EXPECT_TRUE(countdown.Running());
    HWND window = countdown.Window().Handle();
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(2, countdown.Window().Seconds());
    GetWindowRect(window, &badge);
    EXPECT_GE(badge.left, 160);
    EXPECT_GE(badge.top, 160);
    EXPECT_TRUE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_NE(window, GetForegroundWindow()) << "the badge never takes the focus";
    ASSERT_TRUE(test::WaitUntil([&] { return countdown.Window().Seconds() == 1; }, 5000));
    EXPECT_TRUE(IsWindowVisible(window));
    visibleSamples = PatternPixels(badge, 100, 100);

    ASSERT_TRUE(test::WaitUntil([&] { return elapsed == 1; }, 10000));
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(reported - start).count(), 2000);
    EXPECT_FALSE(countdown.Running());
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(0, cancelled);
    EXPECT_LT(visibleSamples, Samples(badge) / 2) << "while counting, the badge covers the pattern";
    EXPECT_EQ(Samples(badge), matchAtElapse) << "at the capture, only the pattern is there";
}

TEST_F(CountdownTest, EscCancelsWhereverTheFocusIs) {
    test::PatternWindow pattern(100, 100, 200, 200);  // has the focus, as the user's program would
    TCountdown countdown;
    countdown.Start(10, OnElapsed(), OnCancelled());
    INPUT keys[2]{};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = VK_ESCAPE;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ASSERT_EQ(2u, SendInput(2, keys, sizeof(INPUT)));
    ASSERT_TRUE(test::WaitUntil([&] { return cancelled == 1; }, 5000));
    EXPECT_FALSE(countdown.Running());
    EXPECT_FALSE(IsWindowVisible(countdown.Window().Handle()));

    // Another key does nothing; Esc straight to the badge cancels as well.
    countdown.Start(10, OnElapsed(), OnCancelled());
    SendMessageW(countdown.Window().Handle(), WM_KEYDOWN, 'A', 0);
    SendMessageW(countdown.Window().Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(1, cancelled) << "reported from the message loop, not from inside the key's handler";
    ASSERT_TRUE(test::WaitUntil([&] { return cancelled == 2; }, 5000));
    EXPECT_EQ(0, elapsed);
}

TEST_F(CountdownTest, RefusesBadDelaysAndReportsExactlyOnce) {
    TCountdown countdown;
    EXPECT_THROW(countdown.Start(0, OnElapsed(), OnCancelled()), Exception);
    EXPECT_THROW(countdown.Start(61, OnElapsed(), OnCancelled()), Exception);
    EXPECT_FALSE(countdown.Running());
    countdown.Start(60, OnElapsed(), OnCancelled());
    EXPECT_THROW(countdown.Start(1, OnElapsed(), OnCancelled()), Exception) << "one countdown at a time";
    countdown.Cancel();
    countdown.Cancel();
    test::PumpMessages();
    EXPECT_EQ(1, cancelled);

    // Freed while counting, from its own callback's point of view: nothing is reported later.
    auto owned = std::make_unique<TCountdown>();
    owned->Start(1, OnElapsed(), OnCancelled());
    owned.reset();
    // A pause: past the one second it counted, a freed countdown that still ran would have reported.
    test::WaitUntil([&] { return elapsed != 0; }, 1300);
    EXPECT_EQ(0, elapsed);

    // The owner may free the countdown in its callback.
    owned = std::make_unique<TCountdown>();
    owned->Start(1, [&] { owned.reset(); ++elapsed; }, OnCancelled());
    ASSERT_TRUE(test::WaitUntil([&] { return elapsed == 1; }, 5000));
    EXPECT_EQ(nullptr, owned);
}

}  // namespace
}  // namespace tovasen
