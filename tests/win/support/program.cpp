#include "support/program.h"

#include <gtest/gtest.h>

#include "support/commands.h"
#include "support/wait.h"
#include "support/wait_for.h"

namespace tovasen::test {

std::unique_ptr<ChildProcess> StartTovasen(const std::wstring& args, bool visible) {
    auto program = std::make_unique<ChildProcess>(TovasenExe(), args);
    const bool up = WaitUntil([&] {
        HWND w = FindProcessWindow(program->Id(), L"TFrmTovasen");
        return w && (!visible || IsWindowVisible(w)) && FindProcessWindow(program->Id(), L"TTrayIconWindow");
    });
    EXPECT_TRUE(up) << "Tovasen did not come up";
    return program;
}

HWND MainWindowOf(const ChildProcess& program) { return FindProcessWindow(program.Id(), L"TFrmTovasen"); }

HWND WaitForMessageBox(const ChildProcess& program, DWORD timeoutMs) {
    return WaitForVisibleWindow(program.Id(), L"#32770", timeoutMs);
}

std::wstring MessageBoxText(HWND box) {
    wchar_t shown[1024] = {};
    GetDlgItemTextW(box, 0xFFFF, shown, 1024);
    return shown;
}

void AnswerMessageBox(const ChildProcess& program, const std::wstring& text, int button) {
    HWND box = WaitForMessageBox(program);
    ASSERT_NE(nullptr, box) << "no message box";
    EXPECT_EQ(text, MessageBoxText(box));
    PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(button), 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
}

void ChooseFromMenuBottom(const ChildProcess& program, int upPresses, std::initializer_list<WPARAM> thenKeys) {
    PostMessageW(MainWindowOf(program), WM_RBUTTONUP, 0, 0);
    HWND menu = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (menu = FindProcessWindow(program.Id(), L"#32768")) && IsWindowVisible(menu); }))
        << "the menu did not open";
    for (int i = 0; i < upPresses; ++i) PostMessageW(menu, WM_KEYDOWN, VK_UP, 0);
    for (WPARAM key : thenKeys) PostMessageW(menu, WM_KEYDOWN, key, 0);
    if (thenKeys.size() == 0) PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
}

DWORD RunTovasenCmd(const std::wstring& args, DWORD timeoutMs) { return RunCmd(args, timeoutMs).exitCode; }

}  // namespace tovasen::test
