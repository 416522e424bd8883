// The program as a user starts it: real processes, the prefix's real registry.
#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <memory>

#include "app/autostart.h"
#include "base/config.h"
#include "support/process.h"
#include "support/program.h"
#include "support/program_test.h"
#include "support/wait.h"
#include "base/registry.h"

namespace tovasen {
namespace {

constexpr UINT kTrayCallback = WM_APP + 1;

class SingleInstance : public test::ProgramTest {
protected:
    static std::unique_ptr<test::ChildProcess> Start(const std::wstring& args, bool visible) {
        return test::StartTovasen(args, visible);
    }
    static HWND MainWindow(const test::ChildProcess& p) { return test::MainWindowOf(p); }

    static int CountMainWindows() {
        int count = 0;
        EnumWindows(
            [](HWND hwnd, LPARAM data) -> BOOL {
                wchar_t name[64] = {};
                GetClassNameW(hwnd, name, 64);
                if (lstrcmpW(name, L"TFrmTovasen") == 0) ++*reinterpret_cast<int*>(data);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&count));
        return count;
    }

    static void CloseWithTitleBar(HWND window) {
        PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        ASSERT_TRUE(test::WaitUntil([&] { return !IsWindowVisible(window); })) << "close did not hide";
    }
};

TEST_F(SingleInstance, SecondStartShowsTheFirstAndEnds) {
    auto first = Start(L"", true);
    HWND window = MainWindow(*first);
    CloseWithTitleBar(window);

    test::ChildProcess second(test::TovasenExe(), L"");
    ASSERT_TRUE(second.WaitForExit(10000)) << "the second instance kept running";
    EXPECT_EQ(0u, second.ExitCode());
    EXPECT_TRUE(test::WaitUntil([&] { return IsWindowVisible(window) != FALSE; })) << "first not shown";
    EXPECT_TRUE(test::WaitUntil([&] { return GetForegroundWindow() == window; })) << "first not activated";
    EXPECT_EQ(1, CountMainWindows());
    EXPECT_FALSE(first->WaitForExit(0));
}

TEST_F(SingleInstance, StartArgumentWithAnInstanceRunningDoesNothingVisible) {
    auto first = Start(L"", true);
    HWND window = MainWindow(*first);
    CloseWithTitleBar(window);

    test::ChildProcess second(test::TovasenExe(), L"/start");
    ASSERT_TRUE(second.WaitForExit(10000));
    Sleep(300);  // a pause: a wrongly sent show request would have arrived by now
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(1, CountMainWindows());
}

TEST_F(SingleInstance, StartArgumentAloneSitsInTheTrayOnly) {
    auto program = Start(L"/start", false);
    Sleep(300);  // a pause: a main window wrongly shown at the start would be up by now
    EXPECT_FALSE(IsWindowVisible(MainWindow(*program))) << "the main window is shown";

    // The shell only modifies icons it holds, so this succeeds exactly when the icon was added.
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = test::FindProcessWindow(program->Id(), L"TTrayIconWindow");
    data.uID = 1;
    data.uFlags = NIF_TIP;
    lstrcpyW(data.szTip, L"Tovasen");
    EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &data)) << "no tray icon";
}

TEST_F(SingleInstance, UninstallEndsTheRunningInstanceWithinASecond) {
    auto first = Start(L"", true);
    const ULONGLONG started = GetTickCount64();
    test::ChildProcess uninstaller(test::TovasenExe(), L"/uninst");
    ASSERT_TRUE(uninstaller.WaitForExit(5000));
    EXPECT_LT(GetTickCount64() - started, 3000u) << "the uninstaller waited too long";
    EXPECT_TRUE(first->WaitForExit(3000)) << "the running instance did not end";
}

TEST_F(SingleInstance, UninstallWithoutAnInstanceEndsAtOnce) {
    test::ChildProcess uninstaller(test::TovasenExe(), L"/uninst");
    EXPECT_TRUE(uninstaller.WaitForExit(5000));
}

TEST_F(SingleInstance, InstallWritesTheRunValueAndShowsTheWindow) {
    SetAutoStart(kAutoStartName, false);
    auto program = Start(L"/inst", true);
    const auto value = TRegistryKey::Open(HKEY_CURRENT_USER, kRunKey, false).ReadString(L"Tovasen");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(L"\"" + test::TovasenExe() + L"\" /start", *value);
    EXPECT_TRUE(IsWindowVisible(MainWindow(*program)));
    SetAutoStart(kAutoStartName, false);
}

TEST_F(SingleInstance, TitleBarCloseHidesAndTheTrayClickRestores) {
    auto program = Start(L"", true);
    HWND window = MainWindow(*program);
    CloseWithTitleBar(window);
    EXPECT_FALSE(program->WaitForExit(300)) << "closing ended the program";

    HWND tray = test::FindProcessWindow(program->Id(), L"TTrayIconWindow");
    PostMessageW(tray, kTrayCallback, 1, WM_LBUTTONUP);
    EXPECT_TRUE(test::WaitUntil([&] { return IsWindowVisible(window) != FALSE; })) << "not restored";
    EXPECT_TRUE(test::WaitUntil([&] { return GetForegroundWindow() == window; })) << "not in front";
}

TEST_F(SingleInstance, ExitMessageAndEndOfSessionEndTheProgram) {
    {
        auto program = Start(L"", true);
        PostMessageW(MainWindow(*program), WM_USER, 2, 0);
        EXPECT_TRUE(program->WaitForExit(5000)) << "WM_USER 2 did not end it";
    }
    {
        auto program = Start(L"", true);
        EXPECT_EQ(1, SendMessageW(MainWindow(*program), WM_QUERYENDSESSION, 0, 0));
        EXPECT_TRUE(program->WaitForExit(5000)) << "log-off did not end it";
    }
    {
        auto program = Start(L"", true);
        PostMessageW(MainWindow(*program), WM_USER, 3, 0);
        EXPECT_FALSE(program->WaitForExit(500)) << "an unknown WM_USER request ended it";
    }
}

TEST_F(SingleInstance, ExitAsksFirstAndOnlyYesEnds) {
    auto program = Start(L"", true);
    test::ChooseFromMenuBottom(*program, test::kExitItem);
    test::AnswerMessageBox(*program, L"정말 종료하시겠습니까?", IDNO);
    EXPECT_FALSE(program->WaitForExit(300)) << "No ended the program";

    test::ChooseFromMenuBottom(*program, test::kExitItem);
    test::AnswerMessageBox(*program, L"정말 종료하시겠습니까?", IDYES);
    EXPECT_TRUE(program->WaitForExit(5000)) << "Yes did not end the program";
}

TEST_F(SingleInstance, AutostartMenuItemWritesAndRemovesTheRunValue) {
    SetAutoStart(kAutoStartName, false);
    auto program = Start(L"", true);
    auto runValue = [] { return TRegistryKey::Open(HKEY_CURRENT_USER, kRunKey, true).ReadString(L"Tovasen"); };

    test::ChooseFromMenuBottom(*program, test::kAutostartItem);
    ASSERT_TRUE(test::WaitUntil([&] { return runValue().has_value(); })) << "no Run value written";
    EXPECT_EQ(L"\"" + test::TovasenExe() + L"\" /start", *runValue());

    test::ChooseFromMenuBottom(*program, test::kAutostartItem);
    EXPECT_TRUE(test::WaitUntil([&] { return !runValue().has_value(); })) << "Run value not removed";
}

TEST_F(SingleInstance, TheLanguageMenuSwitchesAndStoresTheLanguage) {
    auto program = Start(L"", true);
    // The language submenu opens on "한국어"; English is the next item.
    test::ChooseFromMenuBottom(*program, test::kLanguageMenu, {VK_RIGHT, VK_DOWN, VK_RETURN});
    EXPECT_TRUE(test::WaitUntil([] { return TConfig().ReadString(L"language", L"") == L"en"; }))
        << "choosing English did not store the language";

    test::ChooseFromMenuBottom(*program, test::kExitItem);
    test::AnswerMessageBox(*program, L"Do you really want to exit?", IDYES);
    EXPECT_TRUE(program->WaitForExit(5000));
}

}  // namespace
}  // namespace tovasen
