// Floating windows of a running Tovasen.exe, made by tovasen-cmd as a script would, and the
// program's exit while they and their dialogs are open.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "base/config.h"
#include "support/files.h"
#include "support/pattern_window.h"
#include "support/program.h"
#include "support/program_test.h"
#include "support/wait.h"
#include "support/wait_for.h"

namespace tovasen {
namespace {

std::string Text(const RECT& r) {
    char text[64];
    std::snprintf(text, sizeof(text), "(%ld,%ld)-(%ld,%ld)", r.left, r.top, r.right, r.bottom);
    return text;
}

class FloatingProgram : public test::ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        TConfig config;
        config.WriteString(L"language", L"en");
        config.WriteInteger(L"area", 3);     // the active window
        config.WriteInteger(L"saveto", 10);  // a floating window
    }
    void TearDown() override {
        program.reset();
        ProgramTest::TearDown();
    }
    std::vector<HWND> Floating() const {
        std::vector<HWND> visible;
        for (HWND w : test::ProcessWindows(program->Id(), L"TFrmFloating")) {
            if (IsWindowVisible(w)) visible.push_back(w);
        }
        return visible;
    }
    // Opens the window's menu and picks an entry by keys, as a user would.
    void Choose(HWND floating, std::initializer_list<WPARAM> keys) {
        PostMessageW(floating, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(floating), MAKELPARAM(120, 80));
        HWND menu = test::WaitForVisibleWindow(program->Id(), L"#32768");
        ASSERT_NE(nullptr, menu) << "the menu did not open";
        for (WPARAM key : keys) PostMessageW(menu, WM_KEYDOWN, key, 0);
    }
    HWND WaitForDialog() { return test::WaitForVisibleWindow(program->Id(), L"#32770"); }
    void ExitsCleanly() {
        PostMessageW(test::MainWindowOf(*program), WM_USER, 2, 0);
        ASSERT_TRUE(program->WaitForExit(10000)) << "the program did not end";
        EXPECT_EQ(0u, program->ExitCode());
    }
    std::unique_ptr<test::ChildProcess> program;
};

TEST_F(FloatingProgram, ACapturedWindowIsPinnedWhereItWasWithItsPixels) {
    test::PatternWindow pattern(100, 50, 300, 200);
    program = test::StartTovasen(L"/start", false);
    SetForegroundWindow(pattern.Handle());
    test::PumpMessages();
    ASSERT_EQ(0u, test::RunTovasenCmd(L"capture"));
    std::vector<HWND> windows;
    ASSERT_TRUE(test::WaitUntil([&] { return (windows = Floating()).size() == 1; })) << "no floating window";
    HWND floating = windows.front();
    RECT got{};
    GetWindowRect(floating, &got);
    const RECT want{100, 50, 400, 250};
    EXPECT_TRUE(EqualRect(&want, &got)) << Text(got);
    const auto ex = static_cast<DWORD>(GetWindowLongPtrW(floating, GWL_EXSTYLE));
    EXPECT_TRUE(ex & WS_EX_TOPMOST);
    EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
    EXPECT_EQ(nullptr, GetWindow(floating, GW_OWNER));
    EXPECT_TRUE(folder.Files().empty()) << "a floating capture writes no file";

    // The pattern window goes away; what is left on the screen is the floating copy.
    SetWindowPos(pattern.Handle(), nullptr, 700, 500, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    // Once the X server has drawn what is uncovered.
    int wrong = 0;
    test::WaitUntil([&] {
        HDC screen = GetDC(nullptr);
        wrong = 0;
        for (int y = 0; y < 200; y += 7) {
            for (int x = 0; x < 300; x += 5) wrong += GetPixel(screen, 100 + x, 50 + y) != test::PatternAt(x, y);
        }
        ReleaseDC(nullptr, screen);
        return wrong == 0;
    }, 5000);
    EXPECT_EQ(0, wrong) << "pixels differ from the captured pattern";
    ExitsCleanly();
}

TEST_F(FloatingProgram, DeleteAllWhileAnotherSaveDialogIsOpenThenExit) {
    test::PatternWindow pattern(100, 50, 300, 200);
    program = test::StartTovasen(L"/start", false);
    for (int i = 0; i < 3; ++i) {
        SetForegroundWindow(pattern.Handle());
        test::PumpMessages();
        ASSERT_EQ(0u, test::RunTovasenCmd(L"capture")) << "capture " << i;
        ASSERT_TRUE(test::WaitUntil([&] { return Floating().size() == static_cast<std::size_t>(i + 1); }))
            << "capture " << i;
        // The next one lands beside it: move this one away as a user would.
        SetWindowPos(Floating().back(), nullptr, 450, 300 + 60 * i, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    const std::vector<HWND> windows = Floating();
    ASSERT_EQ(3u, windows.size());
    Sleep(300);  // a pause: the X server's events about the new windows come before a menu, which one would close
    Choose(windows[0], {VK_DOWN, VK_RETURN});  // "save" on one
    HWND dialog = WaitForDialog();
    ASSERT_NE(nullptr, dialog) << "no save dialog";
    Choose(windows[1], {VK_UP, VK_RETURN});  // "delete all" on another
    EXPECT_TRUE(test::WaitUntil([&] { return Floating().empty() && !IsWindowVisible(dialog); }))
        << "left: " << Floating().size();
    EXPECT_NE(nullptr, test::MainWindowOf(*program)) << "the program is still running";
    EXPECT_TRUE(folder.Files().empty());
    ExitsCleanly();
}

TEST_F(FloatingProgram, ExitWithThreeOpenAndASaveDialogUp) {
    test::PatternWindow pattern(100, 50, 300, 200);
    program = test::StartTovasen(L"/start", false);
    for (int i = 0; i < 3; ++i) {
        SetForegroundWindow(pattern.Handle());
        test::PumpMessages();
        ASSERT_EQ(0u, test::RunTovasenCmd(L"capture")) << "capture " << i;
    }
    ASSERT_TRUE(test::WaitUntil([&] { return Floating().size() == 3; }));
    Sleep(300);  // a pause: the X server's events about the new windows come before a menu, which one would close
    Choose(Floating()[1], {VK_DOWN, VK_RETURN});
    ASSERT_NE(nullptr, WaitForDialog()) << "no save dialog";
    ExitsCleanly();
}

}  // namespace
}  // namespace tovasen
