// Mode keys and named modes in the running program: a script's --mode takes one capture in
// that mode while the main window's mode stays, and a mode key another program holds is named
// at start and marked in the dialog.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/config.h"
#include "base/utf_convert.h"
#include "hotkey/hotkey_code.h"
#include "support/commands.h"
#include "support/files.h"
#include "support/program.h"
#include "support/program_test.h"
#include "support/wait.h"

namespace tovasen {
namespace {

class ModeKeysProgram : public test::ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        TConfig config;
        config.WriteInteger(L"area", 0);  // full screen chosen in the main window
        config.WriteInteger(L"saveto", 0);
        config.WriteInteger(L"append", 1);
        // Where the region frame was left: its hole is 200 x 150.
        config.WriteInteger(L"left", 100);
        config.WriteInteger(L"top", 80);
        config.WriteInteger(L"width", 200);
        config.WriteInteger(L"height", 150);
    }
    static void Exit(test::ChildProcess& program) {
        PostMessageW(test::MainWindowOf(program), WM_USER, 2, 0);
        EXPECT_TRUE(program.WaitForExit(10000));
    }
};

TEST_F(ModeKeysProgram, ACaptureNamesItsModeForOnceOnly) {
    auto program = test::StartTovasen(L"/start", false);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    struct Row {
        const wchar_t* args;
        DWORD exitCode;
        int width, height;  // of the picture written; 0: none
        const wchar_t* error;  // a part of what standard error says
    };
    const Row rows[] = {
        {L"--mode region", 0, 200, 150, L""},
        {L"--mode full-screen", 0, screenWidth, screenHeight, L""},
        {L"--mode region --delay 1", 0, 200, 150, L""},
        {L"--mode color", 0, 0, 0, L""},
        {L"--mode web", 1, 0, 0, L"The web page could not be captured."},
        {L"", 0, screenWidth, screenHeight, L""},  // the main window's mode stayed
        {L"--mode fullscreen", 64, 0, 0,
         L"The modes are: full-screen, region, drag, active-window, window-control, web, color, scrolling."},
        {L"--mode", 64, 0, 0, L"usage: tovasen-cmd"},
        {L"--mode region --mode drag", 64, 0, 0, L"usage: tovasen-cmd"},
    };
    std::size_t files = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(WideToUtf8(row.args));
        const test::CmdResult result = test::RunCmd(std::wstring(L"--utf8 capture ") + row.args, 60000);
        EXPECT_EQ(row.exitCode, result.exitCode) << WideToUtf8(result.err);
        EXPECT_NE(std::wstring::npos, result.err.find(row.error)) << WideToUtf8(result.err);
        if (row.width == 0) {
            EXPECT_TRUE(result.out.empty()) << WideToUtf8(result.out);
            continue;
        }
        ++files;
        const test::DecodedImage image = test::DecodeWithGdiplus(result.out);
        EXPECT_EQ(row.width, image.width);
        EXPECT_EQ(row.height, image.height);
    }
    EXPECT_EQ(files, folder.Files().size());
    EXPECT_EQ(0, TConfig().ReadInteger(L"area", -1)) << "the chosen mode changed";
    EXPECT_EQ(nullptr, test::FindProcessWindow(program->Id(), L"TFrmArea")) << "no frame was opened for it";
    Exit(*program);
}

// Another program (this test) holds two mode keys: Tovasen names both in one notice at start,
// marks them in its dialog, and takes the main key and the free mode key all the same.
TEST_F(ModeKeysProgram, ModeKeysHeldElsewhereAreNamedAtStartAndMarked) {
    const std::uint16_t ctrlF7 = VK_F7 | kHotKeyCtrl, altF8 = VK_F8 | kHotKeyAlt, shiftF9 = VK_F9 | kHotKeyShift;
    ASSERT_TRUE(RegisterHotKey(nullptr, 1, MOD_CONTROL, VK_F7));
    ASSERT_TRUE(RegisterHotKey(nullptr, 2, MOD_ALT, VK_F8));
    TConfig config;
    config.WriteInteger(L"hotkey_mode2", ctrlF7);
    config.WriteInteger(L"hotkey_mode7", altF8);
    config.WriteInteger(L"hotkey_mode5", shiftF9);
    auto program = test::StartTovasen(L"/start", false);
    HWND box = test::WaitForMessageBox(*program, 20000);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(L"다음 모드별 단축키는 다른 프로그램이 사용중이라 등록하지 못했습니다. 단축키 설정에서 바꿀 수 있습니다."
              L"\r\n\r\n드래그영역 캡쳐 (Ctrl+F7)\r\n스크롤 캡쳐 (Alt+F8)",
              test::MessageBoxText(box));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(test::WaitUntil([&] { return !IsWindow(box); }));

    // The dialog's controls are made when it first opens: open it from the menu.
    test::ChooseFromMenuBottom(*program, test::kHotKeyItem);
    HWND dialog = nullptr;
    ASSERT_TRUE(test::WaitUntil([&] {
        dialog = test::FindProcessWindow(program->Id(), L"TFrmHotKey");
        return dialog && IsWindowVisible(dialog);
    })) << "the hotkey dialog did not open";
    int marked = 0;
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM count) {
            wchar_t text[64] = {};
            DWORD_PTR length = 0;
            SendMessageTimeoutW(child, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &length);
            if (std::wstring(text) == L"다른 프로그램이 사용중") ++*reinterpret_cast<int*>(count);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&marked));
    EXPECT_EQ(2, marked) << "one mark beside each held key";
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    ASSERT_TRUE(test::WaitUntil([&] { return !IsWindowVisible(dialog); }));
    // The free keys are Tovasen's.
    EXPECT_FALSE(RegisterHotKey(nullptr, 3, MOD_SHIFT, VK_F9));
    EXPECT_FALSE(RegisterHotKey(nullptr, 4, 0, VK_SNAPSHOT));
    UnregisterHotKey(nullptr, 1);
    UnregisterHotKey(nullptr, 2);
    Exit(*program);
}

}  // namespace
}  // namespace tovasen
