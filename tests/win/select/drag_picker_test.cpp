// The drag overlay and the window picker, driven by input from a second thread while this
// thread runs their loops, and through the main window as the capture controller uses them.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>

#include "app/frm_tovasen.h"
#include "base/config.h"
#include "i18n/translate_component.h"
#include "i18n/translation.h"
#include "select/frm_drag.h"
#include "select/frm_line.h"
#include "select/selection_pixels.h"
#include "support/files.h"
#include "support/pattern_window.h"
#include "support/process.h"
#include "support/input.h"
#include "support/main_form.h"
#include "support/program.h"
#include "support/program_test.h"
#include "support/wait.h"
#include "support/wait_for.h"
#include "ui/application.h"

namespace tovasen {
namespace {

using test::MouseAt;

void Drag(POINT from, POINT to) { test::DragOnScreen(from, to, 5, 100); }

HWND VisibleWindowOfClass(const wchar_t* name, DWORD pid = GetCurrentProcessId()) {
    for (HWND w : test::ProcessWindows(pid, name)) {
        if (IsWindowVisible(w)) return w;
    }
    return nullptr;
}

// The overlay on the screen and in its loop, ready for input.
bool WaitForOverlay(DWORD pid = GetCurrentProcessId()) {
    return test::WaitForVisibleWindow(pid, TFrmDrag::kClassName) != nullptr;
}

bool OverlayGone(DWORD pid = GetCurrentProcessId()) {
    return !VisibleWindowOfClass(TFrmDrag::kClassName, pid);
}

// Runs the overlay on this thread while input comes from another.
std::unique_ptr<TBitmap> RunOverlay(RECT& rect, const std::function<void()>& input) {
    TFrmDrag overlay(nullptr);
    std::thread worker(input);
    auto result = overlay.Capture(rect);
    worker.join();
    return result;
}

// Runs the overlay, reads the screen at look until it shows want (or for a while), then drags
// from one point to another.
std::unique_ptr<TBitmap> DragAfterLooking(RECT& rect, POINT look, COLORREF want, COLORREF& seen, POINT from, POINT to) {
    seen = CLR_INVALID;
    return RunOverlay(rect, [&] {
        if (!WaitForOverlay()) return;
        // The X server draws what the overlay painted.
        test::WaitUntil([&] {
            WindowDC screen(nullptr);
            seen = GetPixel(screen.Get(), look.x, look.y);
            return seen == want;
        }, 5000);
        Drag(from, to);
    });
}

COLORREF Dimmed(COLORREF c) { return RGB(DarkenByte(GetRValue(c)), DarkenByte(GetGValue(c)), DarkenByte(GetBValue(c))); }

std::vector<std::uint32_t> PixelsOf(TBitmap& bitmap) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(bitmap.Width()) * static_cast<std::size_t>(bitmap.Height()));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = bitmap.Width();
    info.bmiHeader.biHeight = -bitmap.Height();
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    WindowDC screen(nullptr);
    GetDIBits(screen.Get(), bitmap.Handle(), 0, static_cast<UINT>(bitmap.Height()), pixels.data(), &info, DIB_RGB_COLORS);
    return pixels;
}

std::uint32_t Rgb(COLORREF c) { return (std::uint32_t{GetRValue(c)} << 16) | (std::uint32_t{GetGValue(c)} << 8) | GetBValue(c); }

class DragOverlay : public ::testing::Test {
protected:
    void SetUp() override { app.Initialize(); }
    TApplication app;
};

TEST_F(DragOverlay, ShowsThePatternDimmedAndReturnsTheSelectionUndimmedInEitherDirection) {
    test::PatternWindow pattern(200, 150, 200, 160);
    for (bool backwards : {true, false}) {
        // The pattern repaints where the last overlay was before the next snapshot.
        test::WaitUntil([] { return false; }, 300);
        COLORREF seen = CLR_INVALID;
        RECT rect{};
        const POINT a{250, 200}, b{350, 300};
        const COLORREF dimmed = Dimmed(test::PatternAt(10, 10));
        auto bitmap = DragAfterLooking(rect, {210, 160}, dimmed, seen, backwards ? b : a, backwards ? a : b);
        EXPECT_EQ(dimmed, seen)
            << "outside the selection the frozen screen shows at 0.6";
        ASSERT_NE(nullptr, bitmap) << (backwards ? "backwards" : "forwards");
        EXPECT_EQ(250, rect.left);
        EXPECT_EQ(200, rect.top);
        EXPECT_EQ(350, rect.right);
        EXPECT_EQ(300, rect.bottom);
        ASSERT_EQ(100, bitmap->Width());
        ASSERT_EQ(100, bitmap->Height());
        const auto pixels = PixelsOf(*bitmap);
        int wrong = 0;
        for (int y = 0; y < 100; ++y) {
            for (int x = 0; x < 100; ++x) {
                wrong += (pixels[static_cast<std::size_t>(y * 100 + x)] & 0xFFFFFF) != Rgb(test::PatternAt(x + 50, y + 50));
            }
        }
        EXPECT_EQ(0, wrong) << "the result is the pattern, not dimmed";
    }
}

// The next overlay takes over the last one's pictures: it must show, and return, the screen as
// it is now, not as it was.
TEST_F(DragOverlay, ANewOverlayShowsTheScreenAsItIsNow) {
    for (const COLORREF color : {RGB(250, 20, 20), RGB(20, 250, 20)}) {
        test::PatternWindow plain(300, 300, 80, 60, color);
        COLORREF seen = CLR_INVALID;
        RECT rect{};
        auto bitmap = DragAfterLooking(rect, {310, 310}, Dimmed(color), seen, {320, 320}, {340, 330});
        EXPECT_EQ(Dimmed(color), seen);
        ASSERT_NE(nullptr, bitmap);
        EXPECT_EQ(Rgb(color), PixelsOf(*bitmap)[0] & 0xFFFFFF) << "a picture of an earlier screen";
        test::WaitUntil([] { return false; }, 300);  // the screen repaints where the overlay was
    }
}

// A figure, not a limit: from the request to the overlay on the screen.
TEST_F(DragOverlay, PrintsTheTimeToShow) {
    RECT rect{};
    LARGE_INTEGER f, start, shown{};
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&start);
    auto bitmap = RunOverlay(rect, [&] {
        if (WaitForOverlay()) QueryPerformanceCounter(&shown);
        PostMessageW(VisibleWindowOfClass(TFrmDrag::kClassName), WM_KEYDOWN, VK_ESCAPE, 0);
    });
    ASSERT_NE(0, shown.QuadPart);
    std::printf("[ figures ] overlay visible %.1f ms after the request at %dx%d\n",
                static_cast<double>(shown.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart),
                GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
    EXPECT_EQ(nullptr, bitmap);
}

TEST_F(DragOverlay, AClickKeepsItOpenAndAQuickDragThenSelects) {
    RECT rect{};
    bool openAfterClick = false;
    auto bitmap = RunOverlay(rect, [&] {
        if (!WaitForOverlay()) return;
        MouseAt(100, 100);
        Sleep(100);  // a pause: the hand comes to rest before it clicks
        MouseAt(100, 100, MOUSEEVENTF_LEFTDOWN);
        Sleep(50);  // a pause: a click's press is held that long
        MouseAt(100, 100, MOUSEEVENTF_LEFTUP);
        Sleep(200);  // a pause: a click that wrongly closed the overlay would have done so by now
        openAfterClick = VisibleWindowOfClass(TFrmDrag::kClassName) != nullptr;
        MouseAt(120, 110, MOUSEEVENTF_LEFTDOWN);
        MouseAt(130, 125);
        MouseAt(131, 127, MOUSEEVENTF_LEFTUP);
    });
    EXPECT_TRUE(openAfterClick);
    ASSERT_NE(nullptr, bitmap);
    EXPECT_EQ(11, bitmap->Width());
    EXPECT_EQ(17, bitmap->Height());
}

// A click, then a second press at the same spot soon after: Windows reports it as a double
// click, and the drag must start all the same.
TEST_F(DragOverlay, AQuickSecondPressStartsTheDrag) {
    RECT rect{};
    auto bitmap = RunOverlay(rect, [&] {
        if (!WaitForOverlay()) return;
        MouseAt(100, 100);
        Sleep(100);  // a pause: the hand comes to rest before it clicks
        MouseAt(100, 100, MOUSEEVENTF_LEFTDOWN);
        MouseAt(100, 100, MOUSEEVENTF_LEFTUP);
        Sleep(50);  // a pause: the second press comes within the double-click time
        MouseAt(100, 100, MOUSEEVENTF_LEFTDOWN);
        Sleep(50);  // a pause: the press is held before the hand moves
        MouseAt(120, 115);
        Sleep(50);  // a pause: the hand moves at a hand's speed
        MouseAt(140, 130, MOUSEEVENTF_LEFTUP);
        // Without a selection the overlay would still be open: leave it.
        test::WaitUntil([] { return OverlayGone(); }, 3000);
        if (HWND open = VisibleWindowOfClass(TFrmDrag::kClassName)) PostMessageW(open, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    ASSERT_NE(nullptr, bitmap) << "the second press started nothing";
    EXPECT_EQ(40, bitmap->Width());
    EXPECT_EQ(30, bitmap->Height());
}

TEST_F(DragOverlay, EscAndSwitchingAwayCancelWithoutTouchingTheRectangle) {
    RECT rect{1, 2, 3, 4};
    auto bitmap = RunOverlay(rect, [&] {
        if (!WaitForOverlay()) return;
        PostMessageW(VisibleWindowOfClass(TFrmDrag::kClassName), WM_KEYDOWN, VK_ESCAPE, 0);
    });
    EXPECT_EQ(nullptr, bitmap);
    EXPECT_EQ(3, rect.right);
    bitmap = RunOverlay(rect, [&] {
        if (!WaitForOverlay()) return;
        HWND overlay = VisibleWindowOfClass(TFrmDrag::kClassName);
        // Another program took the foreground after the overlay had it.
        PostMessageW(overlay, WM_ACTIVATEAPP, TRUE, 0);
        PostMessageW(overlay, WM_ACTIVATEAPP, FALSE, 0);
        test::WaitUntil([] { return OverlayGone(); }, 3000);
        Drag({10, 10}, {50, 50});  // too late: nothing is selected any more
    });
    EXPECT_EQ(nullptr, bitmap);
}

TEST_F(DragOverlay, FiftyRunsLeaveNoWindowsOrObjectsBehind) {
    auto windows = [] { return test::ProcessWindows(GetCurrentProcessId(), TFrmDrag::kClassName).size(); };
    auto once = [] {
        RECT rect{};
        return RunOverlay(rect, [&] {
            if (WaitForOverlay()) PostMessageW(VisibleWindowOfClass(TFrmDrag::kClassName), WM_KEYDOWN, VK_ESCAPE, 0);
        });
    };
    once();  // the pictures the next overlay takes over are kept from here on
    const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);  // 0 under Wine
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(nullptr, once()) << "run " << i;
    }
    EXPECT_EQ(0u, windows());
    EXPECT_EQ(gdi, GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
}

// Started by tovasen-cmd from a console, with no window of the program active, the overlay
// must stay until the user selects.
class DragFromCommand : public test::ProgramTest {};

TEST_F(DragFromCommand, DoesNotCancelItselfAndSavesTheSelection) {
    {
        TConfig config;
        config.WriteInteger(L"area", 2);
        config.WriteInteger(L"saveto", 0);
        config.WriteInteger(L"append", 1);
    }
    auto program = test::StartTovasen(L"/start", false);
    ASSERT_TRUE(program);
    test::ChildProcess cmd(test::DistFolder() + L"tovasen-cmd.exe", L"capture");
    ASSERT_TRUE(WaitForOverlay(program->Id())) << "no overlay";
    Sleep(700);  // a pause: an overlay that cancels itself for want of the foreground has done so by now
    EXPECT_NE(nullptr, VisibleWindowOfClass(TFrmDrag::kClassName, program->Id())) << "the overlay cancelled itself";
    Drag({40, 40}, {104, 88});
    ASSERT_TRUE(cmd.WaitForExit(10000));
    EXPECT_EQ(0u, cmd.ExitCode());
    ASSERT_TRUE(test::FileExists(folder.Path() + L"T-001.png"));
    const test::DecodedImage image = test::DecodeWithGdiplus(folder.Path() + L"T-001.png");
    EXPECT_EQ(64, image.width);
    EXPECT_EQ(48, image.height);
    // Esc leaves no file, no message, and the next capture works.
    test::ChildProcess again(test::DistFolder() + L"tovasen-cmd.exe", L"capture");
    ASSERT_TRUE(WaitForOverlay(program->Id()));
    PostMessageW(VisibleWindowOfClass(TFrmDrag::kClassName, program->Id()), WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(again.WaitForExit(10000));
    EXPECT_EQ(1u, folder.Files().size());
    EXPECT_EQ(nullptr, VisibleWindowOfClass(L"#32770", program->Id())) << "a cancel shows no message";
}

// --- The picker --------------------------------------------------------------------------------

class Picker : public test::MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        TConfig config;
        config.WriteBoolean(L"mouse", false);
        config.WriteString(L"path", folder.Path());
        CreateForm();
        form->Show();
    }
    void Choose(TCaptureMode mode) { form->ChooseMode(mode); }
    static RECT Bounds(HWND w) {
        RECT r{};
        GetWindowRect(w, &r);
        return r;
    }
    test::TempFolder folder;
};

TEST_F(Picker, OutlineFollowsAChildAndItsParentAndStandsForTheMainWindowOverItself) {
    test::PatternWindow parent(100, 100, 300, 200);
    HWND child = CreateWindowExW(0, L"BUTTON", L"child", WS_CHILD | WS_VISIBLE, 40, 30, 80, 24, parent.Handle(), nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    Choose(TCaptureMode::WindowControl);
    ASSERT_NE(nullptr, form->Selection().FrmLine);
    TFrmLine* line = form->Selection().FrmLine;
    SetCursorPos(160, 140);  // on the child
    line->Follow();
    EXPECT_EQ(child, line->Target());
    RECT r = line->OutlineRect();
    EXPECT_EQ(139, r.left);
    EXPECT_EQ(129, r.top);
    EXPECT_EQ(221, r.right);
    EXPECT_EQ(155, r.bottom);
    // Four sides, each one pixel thick, exactly on the outline.
    const std::array<HWND, 4> sides = line->Strips();
    const RECT want[] = {{139, 129, 221, 130}, {220, 129, 221, 155}, {139, 154, 221, 155}, {139, 129, 140, 155}};
    for (std::size_t i = 0; i < sides.size(); ++i) {
        const RECT got = Bounds(sides[i]);
        EXPECT_TRUE(IsWindowVisible(sides[i])) << "side " << i;
        EXPECT_TRUE(EqualRect(&want[i], &got)) << "side " << i << " at " << got.left << "," << got.top << ","
                                               << got.right << "," << got.bottom;
    }
    SetCursorPos(300, 250);  // on the parent only
    line->Follow();
    EXPECT_EQ(parent.Handle(), line->Target());
    r = line->OutlineRect();
    EXPECT_EQ(99, r.left);
    EXPECT_EQ(301, r.bottom);
    // On any side of the outline itself: the main window is meant.
    for (const POINT on : {POINT{99, 200}, POINT{250, 300}}) {
        SetCursorPos(on.x, on.y);
        EXPECT_EQ(form->Handle(), PickTarget(TCaptureMode::WindowControl, line->Handle(), form->Handle())) << on.x << "," << on.y;
    }
    line->Follow();
    EXPECT_EQ(form->Handle(), line->Target());
    Choose(TCaptureMode::FullScreen);
    for (HWND side : sides) EXPECT_FALSE(IsWindowVisible(side)) << "a side stayed after the mode changed";
    test::PumpMessages();
    EXPECT_EQ(nullptr, form->Selection().FrmLine) << "a mode change frees the picker";
    EXPECT_TRUE(test::ProcessWindows(GetCurrentProcessId(), TFrmLine::kClassName).empty());
    EXPECT_TRUE(test::ProcessWindows(GetCurrentProcessId(), L"TFrmLineStrip").empty());
}

// The outline follows the mouse as it moves, with no timer running: the mouse hook wakes it.
TEST_F(Picker, FollowsTheMouseWithoutATimer) {
    test::PatternWindow left(100, 100, 150, 100), right(400, 100, 150, 100);
    SetCursorPos(150, 150);
    Choose(TCaptureMode::WindowControl);
    TFrmLine* line = form->Selection().FrmLine;
    ASSERT_TRUE(line->Watching()) << "no mouse hook";
    line->Timer1->SetEnabled(false);
    EXPECT_EQ(left.Handle(), line->Target());
    std::atomic<bool> done{false};
    std::thread mover([&] {
        for (int x = 150; x <= 450; x += 30) {
            MouseAt(x, 150);
            Sleep(30);  // a pause: the mouse moves at a hand's speed
        }
        done = true;
    });
    const bool followed = test::WaitUntil([&] { return done && line->Target() == right.Handle(); }, 5000);
    mover.join();
    EXPECT_TRUE(followed) << "the outline stayed on the window the mouse left";
    EXPECT_EQ(399, line->OutlineRect().left);
    EXPECT_EQ(0, line->Timer1->Enabled());
}

TEST_F(Picker, NeverTakesTheForegroundAndCapturesExactlyTheOutlinedWindow) {
    test::PatternWindow target(100, 100, 120, 90);
    SetCursorPos(150, 150);
    Choose(TCaptureMode::WindowControl);
    TFrmLine* line = form->Selection().FrmLine;
    SetForegroundWindow(form->Handle());
    test::PumpMessages();
    HWND before = GetForegroundWindow();
    // A click on the outline: the mouse on it makes the outline go round the main window;
    // on that outline it stays, so the click lands on one of its sides.
    SetCursorPos(99, 150);
    line->Follow();
    const RECT aroundMain = line->OutlineRect();
    const POINT on{aroundMain.left, (aroundMain.top + aroundMain.bottom) / 2};
    // Straight there, before the hook's report of the first move is handled: from (99, 150),
    // now off the outline, the outline would go round the desktop.
    SetCursorPos(on.x, on.y);
    std::thread clicker([] {
        Sleep(100);  // a pause: this thread is in its wait below, handling the hook's reports, before the click
        // Where the cursor is: absolute input coordinates may round to a neighbouring pixel.
        INPUT press[2]{};
        press[0].type = press[1].type = INPUT_MOUSE;
        press[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        press[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        SendInput(2, press, sizeof(INPUT));
    });
    test::WaitUntil([] { return false; }, 500);
    clicker.join();
    test::PumpMessages();
    EXPECT_EQ(form->Handle(), line->Target());
    EXPECT_EQ(before, GetForegroundWindow());
    SetCursorPos(150, 150);
    line->Follow();
    ASSERT_EQ(target.Handle(), line->Target());
    CaptureAndWait();
    ASSERT_TRUE(test::FileExists(folder.Path() + L"T-001.png"));
    const test::DecodedImage image = test::DecodeWithGdiplus(folder.Path() + L"T-001.png");
    ASSERT_EQ(120, image.width);
    ASSERT_EQ(90, image.height);
    int wrong = 0;
    for (int y = 0; y < 90; ++y) {
        for (int x = 0; x < 120; ++x) {
            wrong += (image.pixels[static_cast<std::size_t>(y * 120 + x)] & 0xFFFFFF) != Rgb(test::PatternAt(x, y));
        }
    }
    EXPECT_EQ(0, wrong) << "outline pixels or anything else than the target in the picture";
}

// The sides show the dashes: read back from the screen, one side is the pattern's colours.
TEST_F(Picker, SidesShowTheDashesThatMoveOnEachStep) {
    test::PatternWindow target(200, 200, 160, 120);
    SetCursorPos(250, 250);
    Choose(TCaptureMode::WindowControl);
    TFrmLine* line = form->Selection().FrmLine;
    line->Timer1->SetEnabled(false);
    auto topRow = [] {
        test::WaitUntil([] { return false; }, 150);  // the X server draws what the window got
        WindowDC screen(nullptr);
        std::vector<COLORREF> row;
        for (int x = 199; x < 361; ++x) row.push_back(GetPixel(screen.Get(), x, 199));
        return row;
    };
    const std::vector<COLORREF> first = topRow();
    int black = 0, white = 0;
    for (COLORREF c : first) {
        black += c == RGB(0, 0, 0);
        white += c == RGB(255, 255, 255);
    }
    EXPECT_EQ(static_cast<int>(first.size()), black + white) << "the top side holds other colours than the dashes";
    EXPECT_NEAR(5.0 / 3.0, static_cast<double>(black) / std::max(white, 1), 0.2) << "five black, three white";
    const int draws = line->Draws();
    line->Timer1Timer();
    EXPECT_EQ(draws + 1, line->Draws());
    EXPECT_NE(first, topRow()) << "the dashes did not move on";
}

TEST_F(Picker, StillMouseCostsLittleAndMovesNothing) {
    test::PatternWindow target(100, 100, 120, 90);
    SetCursorPos(150, 150);
    Choose(TCaptureMode::WindowControl);
    test::WaitUntil([] { return false; }, 200);
    const int moves = form->Selection().FrmLine->Moves();
    FILETIME created, exited, kernel0, user0, kernel1, user1;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel0, &user0);
    const ULONGLONG start = GetTickCount64();
    test::WaitUntil([] { return false; }, 2000);
    const ULONGLONG wall = GetTickCount64() - start;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel1, &user1);
    auto ticks = [](FILETIME f) { return (ULONGLONG{f.dwHighDateTime} << 32) | f.dwLowDateTime; };
    const double cpuMs = static_cast<double>(ticks(kernel1) - ticks(kernel0) + ticks(user1) - ticks(user0)) / 10000.0;
    std::printf("[ figures ] picker with a still mouse: %.2f %% of a core over %llu ms (includes the test's own polling)\n",
                100.0 * cpuMs / static_cast<double>(wall), wall);
    EXPECT_EQ(moves, form->Selection().FrmLine->Moves()) << "the outline moved while nothing did";
}

TEST_F(Picker, NoWindowIsAFailureNotAFullMonitor) {
    EXPECT_EQ(nullptr, PickTarget(TCaptureMode::FullScreen, nullptr, form->Handle()));
    EXPECT_EQ(nullptr, PickTarget(TCaptureMode::Color, nullptr, form->Handle()));
}

}  // namespace
}  // namespace tovasen
