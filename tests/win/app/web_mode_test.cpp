// Web page mode in the running program: the browser window it opens, a capture that has no
// page to draw (Wine's control has no engine), and closing the window.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/config.h"
#include "support/commands.h"
#include "support/files.h"
#include "support/process.h"
#include "support/program.h"
#include "support/program_test.h"
#include "support/wait.h"

namespace tovasen {
namespace {

class WebMode : public test::ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        TConfig().WriteInteger(L"append", 1);
    }
    // Starts with web page mode chosen and waits for the browser window.
    std::unique_ptr<test::ChildProcess> Start(int saveto) {
        TConfig config;
        config.WriteInteger(L"area", 5);
        config.WriteInteger(L"saveto", saveto);
        auto program = test::StartTovasen(L"", true);
        if (!program) return program;
        EXPECT_TRUE(test::WaitUntil([&] { return BrowserWindow(*program) != nullptr; }))
            << "the browser window did not open";
        return program;
    }
    static HWND BrowserWindow(const test::ChildProcess& program) {
        HWND hwnd = test::FindProcessWindow(program.Id(), L"TFrmIExplorer");
        return hwnd && IsWindowVisible(hwnd) ? hwnd : nullptr;
    }
    static int ModeShown(const test::ChildProcess& program) {
        HWND box = FindWindowExW(test::MainWindowOf(program), nullptr, L"ComboBox", nullptr);
        return box ? static_cast<int>(SendMessageW(box, CB_GETCURSEL, 0, 0)) : -2;
    }
    static void Exit(test::ChildProcess& program) {
        SendMessageW(test::MainWindowOf(program), WM_USER, 2, 0);
        EXPECT_TRUE(program.WaitForExit(10000));
    }
    // Requests one capture as a script: it fails with exactly that text, and no box waits.
    static void CaptureExpectingMessage(const test::ChildProcess& program, const std::wstring& start) {
        const test::CmdResult cmd = test::RunCmd(L"--utf8 capture");
        EXPECT_EQ(1u, cmd.exitCode) << "tovasen-cmd reports the refusal or failure";
        EXPECT_EQ(0u, cmd.err.find(start)) << std::string(cmd.err.begin(), cmd.err.end());
        EXPECT_EQ(nullptr, test::FindProcessWindow(program.Id(), L"#32770")) << "a box waits for a click";
    }
};

TEST_F(WebMode, ACaptureWithoutAPageFailsWithOneMessageAndLeavesNoFile) {
    auto program = Start(0);
    ASSERT_TRUE(program);
    // tovasen-cmd prints every line end as one line feed.
    const std::wstring failure = L"캡쳐가 실패하였습니다.\nThe web page could not be captured.";
    CaptureExpectingMessage(*program, failure);
    EXPECT_TRUE(folder.Files().empty());
    // Idle again: the next request is taken, not dropped as while busy.
    CaptureExpectingMessage(*program, failure);
    EXPECT_TRUE(folder.Files().empty());
    Exit(*program);
}

TEST_F(WebMode, TheClipboardGetsNoEmptyPicture) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    auto program = Start(7);
    ASSERT_TRUE(program);
    CaptureExpectingMessage(*program, L"캡쳐가 실패하였습니다.\nThe web page could not be captured.");
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_BITMAP));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_DIB));
    Exit(*program);
}

TEST_F(WebMode, FloatingWindowsAreNotOfferedForWebPages) {
    auto program = Start(10);
    ASSERT_TRUE(program);
    CaptureExpectingMessage(*program, L"지원하지 않는 캡쳐영역입니다.");
    Exit(*program);
}

TEST_F(WebMode, ClosingTheBrowserWindowGoesBackToFullScreenAndExitingWritesNothing) {
    auto program = Start(0);
    ASSERT_TRUE(program);
    EXPECT_EQ(5, ModeShown(*program));
    // A marker the close must overwrite: start-up itself stores 0 for web page mode.
    TConfig().WriteInteger(L"area", 3);
    PostMessageW(BrowserWindow(*program), WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(test::WaitUntil([&] { return test::FindProcessWindow(program->Id(), L"TFrmIExplorer") == nullptr; }))
        << "the window was not freed";
    EXPECT_EQ(0, ModeShown(*program));
    EXPECT_EQ(0, TConfig().ReadInteger(L"area", -1));
    Exit(*program);

    // Open at exit: the window goes with the program and stores nothing.
    program = Start(0);
    ASSERT_TRUE(program);
    TConfig().WriteInteger(L"area", 3);
    Exit(*program);
    EXPECT_EQ(3, TConfig().ReadInteger(L"area", -1));
}

}  // namespace
}  // namespace tovasen
