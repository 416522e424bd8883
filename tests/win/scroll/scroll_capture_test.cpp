// The scrolling capture against a window whose every row is known: exact pictures, the way back,
// the limits, Esc, animations and the cases it must report instead of guessing.
#include "scroll/scroll_capture.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "scroll/scroll_test_support.h"
#include "scroll/scroll_test_window.h"
#include "i18n/translation.h"
#include "scroll/scroll_texts.h"

namespace tovasen {
namespace {

using test::ClientOnScreen;
using test::PixelOf;
using test::ScrollTestWindow;
using ScrollCapture = test::ScrollCaptureTest;

// Empty when the picture equals the reference rows [0, height), else where it first differs.
std::string Compare(const TBitmap& picture, const std::vector<std::uint32_t>& reference, int width, int fromRow = 0,
                    int rows = -1, int referenceRow = 0) {
    if (rows < 0) rows = picture.Height() - fromRow;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t want = reference[static_cast<std::size_t>(referenceRow + y) * width + x];
            if (PixelOf(picture, x, fromRow + y) != want) {
                return "row " + std::to_string(fromRow + y) + " column " + std::to_string(x) + " differs";
            }
        }
    }
    return {};
}

ScrollCaptureResult Capture(POINT at, const ScrollCaptureOptions& options = {}) { return test::CaptureOrFail(at, options); }

void PressEsc() {
    INPUT keys[2]{};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = VK_ESCAPE;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
}

TEST_F(ScrollCapture, OwnWindowComesOutAsItsReferenceEveryTimeAndGoesBackWhereItWas) {
    struct Case {
        const char* name;
        ScrollTestWindow::Options options;
    };
    ScrollTestWindow::Options wheelOnly;  // put back by counting notches: it needs even ones
    wheelOnly.scrollBar = false;
    wheelOnly.wheelSteps = {48};
    wheelOnly.docHeight = 2000;
    ScrollTestWindow::Options screenHigh;  // no room for the strip outside: it lies over the view
    screenHigh.y = 0;
    screenHigh.band = GetSystemMetrics(SM_CYSCREEN) - 2 - screenHigh.header - screenHigh.footer;
    ScrollTestWindow::Options barOnly;
    barOnly.wheel = false;
    barOnly.docHeight = 1500;
    const Case cases[] = {{"scroll bar", {}},
                          {"wheel only", wheelOnly},
                          {"scroll bar only", barOnly},
                          {"as high as the screen", screenHigh}};
    for (const Case& c : cases) {
        ScrollTestWindow window(c.options);
        const std::vector<std::uint32_t> reference = window.Reference();
        for (int run = 0; run < 2; ++run) {
            window.SetPosition(0);
            for (int i = 0; i < 7; ++i) {
                SendMessageW(window.Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
                SendMessageW(window.Handle(), WM_VSCROLL, SB_LINEDOWN, 0);
            }
            const int before = window.Position();
            ASSERT_GT(before, 0);
            const ScrollCaptureResult result = Capture(window.Centre());
            ASSERT_NE(nullptr, result.Bitmap) << c.name;
            EXPECT_EQ(360, result.Bitmap->Width()) << c.name;
            ASSERT_EQ(window.ViewHeight() - c.options.band + window.DocHeight(), result.Bitmap->Height()) << c.name;
            EXPECT_EQ("", Compare(*result.Bitmap, reference, 360)) << c.name << ", run " << run;
            EXPECT_EQ(before, window.Position()) << c.name << ": the scroll position is put back";
            const RECT client = ClientOnScreen(window.Handle());
            EXPECT_TRUE(EqualRect(&client, &result.Rect)) << c.name;
            EXPECT_TRUE(result.Notice.empty()) << c.name;
            EXPECT_FALSE(result.Cancelled);
            EXPECT_GT(result.Progress.steps, 0);
        }
    }
}

TEST_F(ScrollCapture, AWindowWithoutAScrollBarLeftBetweenTwoNotchesGoesBackExactly) {
    ScrollTestWindow::Options wheelOnly;
    wheelOnly.scrollBar = false;
    wheelOnly.wheelSteps = {48};
    wheelOnly.docHeight = 2000;
    ScrollTestWindow window(wheelOnly);
    window.SetPosition(100);  // two notches and a part of one from the top
    const ScrollCaptureResult result = Capture(window.Centre());
    ASSERT_NE(nullptr, result.Bitmap);
    EXPECT_EQ(100, window.Position()) << "counted in whole notches from the top";
}

TEST_F(ScrollCapture, AStepThatGoesPastTheViewIsTakenBackByHalfAndJoined) {
    // The wheel speeds up after the first notch: the step planned from it goes past the view.
    ScrollTestWindow::Options accelerating;
    accelerating.wheelSteps = {40, 150, 150, 150, 150, 150, 150, 150, 150};
    accelerating.docHeight = 2500;
    ScrollTestWindow window(accelerating);
    const ScrollCaptureResult result = Capture(window.Centre());
    ASSERT_NE(nullptr, result.Bitmap);
    EXPECT_GE(result.Progress.retries, 1) << "no step went past the view";
    ASSERT_EQ(accelerating.header + accelerating.docHeight + accelerating.footer, result.Bitmap->Height());
    EXPECT_EQ("", Compare(*result.Bitmap, window.Reference(), 360));
}

TEST_F(ScrollCapture, ASpinnerInTheContentAndAClockInTheHeaderDoNotBreakTheJoins) {
    ScrollTestWindow::Options animated;
    animated.animated = true;
    animated.docHeight = 2000;
    ScrollTestWindow window(animated);
    const ScrollCaptureResult result = Capture(window.Centre());
    ASSERT_NE(nullptr, result.Bitmap);
    ASSERT_EQ(animated.header + animated.docHeight + animated.footer, result.Bitmap->Height());
    const std::vector<std::uint32_t> reference = window.Reference();
    const RECT spinner = ScrollTestWindow::kSpinner, clock = ScrollTestWindow::kClock;
    int wrong = 0;
    for (int y = 0; y < result.Bitmap->Height(); ++y) {
        for (int x = 0; x < 360; ++x) {
            const bool inSpinner = x >= spinner.left && x < spinner.right && y >= animated.header + spinner.top &&
                                   y < animated.header + spinner.bottom;
            const bool inClock = x >= clock.left && x < clock.right && y >= clock.top && y < clock.bottom;
            if (!inSpinner && !inClock) wrong += PixelOf(*result.Bitmap, x, y) != reference[static_cast<std::size_t>(y) * 360 + x];
        }
    }
    EXPECT_EQ(0, wrong) << "pixels that differ from the document outside the animations";
}

TEST_F(ScrollCapture, AWindowThatCannotScrollGivesItsViewOnce) {
    ScrollTestWindow::Options still;
    still.scrolls = false;
    ScrollTestWindow window(still);
    const ScrollCaptureResult result = Capture(window.Centre());
    ASSERT_NE(nullptr, result.Bitmap);
    ASSERT_EQ(window.ViewHeight(), result.Bitmap->Height());
    const std::vector<std::uint32_t> reference = window.Reference();
    EXPECT_EQ("", Compare(*result.Bitmap, reference, 360, 0, still.header + still.band));
    EXPECT_EQ(0, result.Progress.steps);
    EXPECT_TRUE(result.Notice.empty());
}

TEST_F(ScrollCapture, AnEndlessWindowStopsAtTheLimitWithThePictureSoFarAndSaysSo) {
    ScrollTestWindow::Options endless;
    endless.endless = true;
    endless.docHeight = 1000;
    ScrollTestWindow window(endless);
    ScrollCaptureOptions options;
    options.limits.maxHeight = 2500;
    const ScrollCaptureResult result = Capture(window.Centre(), options);
    ASSERT_NE(nullptr, result.Bitmap);
    ASSERT_EQ(2500, result.Bitmap->Height());
    EXPECT_NE(std::wstring::npos, result.Notice.find(L"2500")) << "the notice names the limit";
    EXPECT_GT(window.DocHeight(), 2500) << "the window kept giving more";
    // The header and the document as far as they fit, then the footer.
    const std::vector<std::uint32_t> reference = window.Reference();
    EXPECT_EQ("", Compare(*result.Bitmap, reference, 360, 0, 2500 - endless.footer));
    const int footerRow = endless.header + window.DocHeight();
    EXPECT_EQ("", Compare(*result.Bitmap, reference, 360, 2500 - endless.footer, endless.footer, footerRow));
}

TEST_F(ScrollCapture, EscEndsItEarlyAndKeepsWhatWasTaken) {
    ScrollTestWindow::Options tall;
    tall.docHeight = 8000;
    ScrollTestWindow window(tall);
    ScrollCaptureOptions options;
    options.onStep = [](const ScrollProgress& progress) {
        if (progress.steps == 3) PressEsc();
    };
    const ScrollCaptureResult result = Capture(window.Centre(), options);
    ASSERT_NE(nullptr, result.Bitmap);
    EXPECT_TRUE(result.Cancelled);
    const int height = result.Bitmap->Height();
    EXPECT_GT(height, window.ViewHeight());
    EXPECT_LT(height, tall.header + tall.docHeight + tall.footer);
    const std::vector<std::uint32_t> reference = window.Reference();
    EXPECT_EQ("", Compare(*result.Bitmap, reference, 360, 0, height - tall.footer));
    EXPECT_EQ("", Compare(*result.Bitmap, reference, 360, height - tall.footer, tall.footer, tall.header + tall.docHeight));
    EXPECT_EQ(0, window.Position()) << "back where it was";
}

TEST_F(ScrollCapture, EscOrTheExitEndItWithinASecondWhereverItIsAndTheViewComesBack) {
    struct Case {
        const char* label;
        bool growsAtTop;  // the way up never ends; else 0.8 s in the capture steps down
        bool exiting;
    };
    const Case cases[] = {{"Esc on the way up a window that keeps growing", true, false},
                          {"the exit on the way up a window that keeps growing", true, true},
                          {"Esc while stepping down", false, false},
                          {"the exit while stepping down", false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ScrollTestWindow::Options options;
        options.growsAtTop = c.growsAtTop;
        options.docHeight = 6000;
        ScrollTestWindow window(options);
        for (int i = 0; i < 300; ++i) SendMessageW(window.Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
        const int topRow = window.TopRow();
        const DWORD ui = GetCurrentThreadId();
        std::atomic<ULONGLONG> askedAt{0};
        std::thread asker([&] {
            Sleep(800);
            askedAt = GetTickCount64();
            if (c.exiting) PostThreadMessageW(ui, WM_QUIT, 7, 0);
            else PressEsc();
        });
        const ScrollCaptureResult result = Capture(window.Centre());
        const ULONGLONG ended = GetTickCount64();
        asker.join();
        std::printf("%s: ended %llu ms after it was asked\n", c.label, ended - askedAt.load());
        if (c.growsAtTop) {
            EXPECT_GT(window.Prepended(), 0) << "the window never loaded older rows";
        }
        EXPECT_TRUE(result.Cancelled);
        // Esc keeps what was taken; the exit and a stop before the first view leave nothing.
        EXPECT_EQ(!c.exiting && !c.growsAtTop, result.Bitmap != nullptr);
        EXPECT_LE(ended - askedAt.load(), 1000u);
        EXPECT_EQ(topRow, window.TopRow()) << "the rows the user saw are not back in view";
        MSG quit{};
        EXPECT_EQ(c.exiting, PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE)
            << "the quit message is not left for the main loop";
        if (c.exiting) {
            EXPECT_EQ(7u, quit.wParam);
        }
        EXPECT_FALSE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit message was posted twice";
    }
}

TEST_F(ScrollCapture, AWayUpThatTakesTooLongStartsWhereItGotToAndSaysSo) {
    ScrollTestWindow::Options chat;
    chat.growsAtTop = true;
    chat.docHeight = 1500;
    ScrollTestWindow window(chat);
    window.SetPosition(900);
    ScrollCaptureOptions options;
    options.toTopMs = 1000;
    const ScrollCaptureResult result = Capture(window.Centre(), options);
    ASSERT_NE(nullptr, result.Bitmap);
    EXPECT_GT(window.Prepended(), 0);
    EXPECT_EQ(Translate(kScrollTopTooLongText), result.Notice);
    EXPECT_GT(result.Bitmap->Height(), window.ViewHeight());
    EXPECT_EQ(900, window.TopRow()) << "the rows the user saw are not back in view";
}

TEST_F(ScrollCapture, ContentThatRepeatsIsReportedInsteadOfGuessed) {
    ScrollTestWindow::Options repeating;
    repeating.period = 60;  // before two steps prove what the scroll bar counts, only pixels tell
    ScrollTestWindow window(repeating);
    window.SetPosition(500);
    try {
        CaptureScrollingWindow(window.Centre());
        ADD_FAILURE() << "a capture of repeating content reported success";
    } catch (const EScrollCaptureError& e) {
        EXPECT_NE(std::wstring::npos, e.Message().find(kScrollAmbiguousText))
            << std::string(e.Message().begin(), e.Message().end());
    }
    EXPECT_EQ(500, window.Position()) << "back where it was after the failure too";
}

TEST_F(ScrollCapture, AWindowThatChangesSizeMeanwhileIsReportedNotStitched) {
    ScrollTestWindow window({});
    ScrollCaptureOptions options;
    options.onStep = [&](const ScrollProgress& progress) {
        if (progress.steps == 2) SetWindowPos(window.Handle(), nullptr, 0, 0, 300, 300, SWP_NOMOVE | SWP_NOZORDER);
    };
    try {
        CaptureScrollingWindow(window.Centre(), options);
        ADD_FAILURE() << "a capture of a window that changed size reported success";
    } catch (const EScrollCaptureError& e) {
        EXPECT_FALSE(e.Message().empty());
    }
}

}  // namespace
}  // namespace tovasen
