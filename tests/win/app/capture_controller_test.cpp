// The capture controller end to end: a running Tovasen.exe, settings in the prefix's registry,
// requests sent with tovasen-cmd as a script would, results checked in files and windows.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/config.h"
#include "app/copydata_command.h"
#include "support/commands.h"
#include "support/files.h"
#include "support/pattern_window.h"
#include "support/program.h"
#include "support/program_test.h"
#include "support/wait.h"
#include "support/wait_for.h"
#include "base/errors.h"

namespace tovasen {
namespace {

class CaptureController : public test::ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        TConfig().WriteInteger(L"append", 1);
    }
    void Settings(int area, int saveto) {
        TConfig config;
        config.WriteInteger(L"area", area);
        config.WriteInteger(L"saveto", saveto);
    }
    static int CountMessageBoxes(const test::ChildProcess& program) {
        int visible = 0;
        for (HWND box : test::ProcessWindows(program.Id(), L"#32770")) visible += IsWindowVisible(box) ? 1 : 0;
        return visible;
    }
    // True when a control of window (in any process) shows text now.
    static bool ShowsText(HWND window, const std::wstring& text) {
        return test::FindChildWindow(window, [&](HWND child) {
            wchar_t shown[64] = {};
            DWORD_PTR ignored = 0;
            SendMessageTimeoutW(child, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(shown), SMTO_NORMAL, 2000, &ignored);
            return text == shown;
        }) != nullptr;
    }
};

TEST_F(CaptureController, FullScreenCaptureToPngHasTheMonitorAndItsPixels) {
    Settings(0, 0);
    test::PatternWindow pattern(300, 200, 64, 48);
    auto program = test::StartTovasen(L"", true);
    ASSERT_EQ(0u, test::RunTovasenCmd(L"capture"));
    const std::wstring first = folder.Path() + L"T-001.png";
    ASSERT_TRUE(test::FileExists(first)) << "no T-001.png";
    const test::DecodedImage image = test::DecodeWithGdiplus(first);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), image.width);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), image.height);
    int wrong = 0;
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) {
            const COLORREF c = test::PatternAt(x, y);
            const std::uint32_t expected = 0xFF000000u | (std::uint32_t{GetRValue(c)} << 16) |
                                           (std::uint32_t{GetGValue(c)} << 8) | GetBValue(c);
            wrong += image.pixels[static_cast<std::size_t>(200 + y) * image.width + 300 + x] != expected;
        }
    }
    EXPECT_EQ(0, wrong) << "the pattern is not where it was drawn";
    ASSERT_EQ(0u, test::RunTovasenCmd(L"capture"));
    EXPECT_TRUE(test::FileExists(folder.Path() + L"T-002.png"));
}

// A request without a reply window is a person's (as from the hotkey): told in message boxes.
TEST_F(CaptureController, UnsupportedCombinationIsRefusedWithAMessage) {
    Settings(3, 5);  // active window to MP4
    auto program = test::StartTovasen(L"", true);
    EXPECT_EQ(1, test::SendCommand(test::MainWindowOf(*program), L"{\"command\":\"capture\"}"));
    test::AnswerMessageBox(*program, L"지원하지 않는 캡쳐영역입니다.", IDOK);
    EXPECT_TRUE(folder.Files().empty());
}

TEST_F(CaptureController, AFailureIsReportedOnceAndRequestsMeanwhileAreBusy) {
    Settings(0, 0);
    TConfig().WriteString(L"path", folder.Path() + L"gone");
    auto program = test::StartTovasen(L"", true);
    EXPECT_EQ(1, test::SendCommand(test::MainWindowOf(*program), L"{\"command\":\"capture\"}"));
    HWND box = test::WaitForMessageBox(*program);
    ASSERT_NE(nullptr, box);
    const std::wstring text = test::MessageBoxText(box);
    EXPECT_EQ(0u, text.find(L"캡쳐가 실패하였습니다.\r\r")) << "text: " << std::string(text.begin(), text.end());
    EXPECT_NE(std::wstring::npos, text.find(SystemErrorText(ERROR_PATH_NOT_FOUND))) << "no system error text: " << std::string(text.begin(), text.end());

    // While the controller is busy (its message is up) a script's request is answered busy at
    // once, and a command without a reply window is refused (it could only open a second box):
    // still one box.
    const test::CmdResult busy = test::RunCmd(L"capture");
    EXPECT_EQ(1u, busy.exitCode);
    EXPECT_EQ(0u, busy.err.find(L"busy")) << std::string(busy.err.begin(), busy.err.end());
    EXPECT_EQ(0, test::SendCommand(test::MainWindowOf(*program), L"{\"command\":\"capture\"}"));
    Sleep(300);  // a pause: a second box, if one wrongly came, would be up by now
    EXPECT_EQ(1, CountMessageBoxes(*program));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(test::WaitUntil([&] { return CountMessageBoxes(*program) == 0; }));
    EXPECT_TRUE(folder.Files().empty());
}

TEST_F(CaptureController, ColourPickPutsTheColourUnderTheMouseOnTopOfTheList) {
    Settings(6, 0);
    test::PatternWindow swatch(400, 300, 40, 40, RGB(0x12, 0x34, 0xAB));
    auto program = test::StartTovasen(L"", true);
    SetCursorPos(420, 320);
    // The main window's label shows the colour under the mouse once its timer has looked.
    EXPECT_TRUE(test::WaitUntil([&] { return ShowsText(test::MainWindowOf(*program), L"1234AB"); }))
        << "the colour under the mouse is not shown";
    ASSERT_EQ(0u, test::RunTovasenCmd(L"capture"));
    HWND list = FindWindowExW(test::MainWindowOf(*program), nullptr, L"ListBox", nullptr);
    ASSERT_NE(nullptr, list);
    ASSERT_EQ(1, SendMessageW(list, LB_GETCOUNT, 0, 0));
    wchar_t top[16] = {};
    SendMessageW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(top));
    EXPECT_STREQ(L"1234AB", top);
    ASSERT_TRUE(OpenClipboard(nullptr));
    const auto* clip = static_cast<const wchar_t*>(GlobalLock(GetClipboardData(CF_UNICODETEXT)));
    EXPECT_STREQ(L"1234AB", clip ? clip : L"(none)") << "the colour is copied too";
    GlobalUnlock(GetClipboardData(CF_UNICODETEXT));
    CloseClipboard();
}

TEST_F(CaptureController, CommandMessagesAreAnsweredAsDocumented) {
    Settings(0, 0);
    auto program = test::StartTovasen(L"", true);
    HWND window = test::MainWindowOf(*program);
    auto send = [&](ULONG_PTR kind, const std::wstring& text) {
        COPYDATASTRUCT data{kind, static_cast<DWORD>((text.size() + 1) * 2), const_cast<wchar_t*>(text.c_str())};
        return SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    };
    EXPECT_EQ(0, send(2, L"{\"command\":\"capture\"}")) << "dwData must be 1";
    EXPECT_EQ(0, send(1, L"{\"command\":\"CAPTURE\"}"));
    EXPECT_EQ(0, send(1, L"[1,2]"));
    EXPECT_EQ(0, send(1, L"{broken"));
    EXPECT_TRUE(folder.Files().empty());
    EXPECT_EQ(1, send(1, L"{\"command\":\"capture\"}"));
    EXPECT_TRUE(test::WaitUntil([&] { return test::FileExists(folder.Path() + L"T-001.png"); }));
    // A text without its terminator is read within the byte count the sender gave.
    const std::wstring bare = L"{\"command\":\"capture\"}";
    COPYDATASTRUCT data{1, static_cast<DWORD>(bare.size() * 2), const_cast<wchar_t*>(bare.c_str())};
    EXPECT_EQ(1, SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)));
    EXPECT_TRUE(test::WaitUntil([&] { return test::FileExists(folder.Path() + L"T-002.png"); }));
}

TEST(TovasenCmd, SaysWhenNoInstanceRuns) {
    ASSERT_EQ(nullptr, FindWindowW(L"TFrmTovasen", nullptr));
    EXPECT_EQ(2u, test::RunTovasenCmd(L"capture"));
    EXPECT_EQ(64u, test::RunTovasenCmd(L""));
}

}  // namespace
}  // namespace tovasen
