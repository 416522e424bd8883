// Start-up and hand-over as an installer and a damaged account meet them: real processes, the
// prefix's real registry.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "base/config.h"
#include "base/registry.h"
#include "support/commands.h"
#include "support/message_boxes.h"
#include "support/process.h"
#include "support/program.h"
#include "support/program_test.h"
#include "support/wait.h"
#include "support/wait_for.h"

namespace tovasen {
namespace {

constexpr UINT kTrayCallback = WM_APP + 1;

DWORD OwnerOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

std::vector<HWND> MainWindows() {
    std::vector<HWND> found;
    EnumWindows(
        [](HWND hwnd, LPARAM data) -> BOOL {
            wchar_t name[64] = {};
            GetClassNameW(hwnd, name, 64);
            if (lstrcmpW(name, L"TFrmTovasen") == 0) reinterpret_cast<std::vector<HWND>*>(data)->push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// Stops the thread of a running instance's main window, as a hung program stops answering,
// until the object goes.
class StoppedThread {
public:
    explicit StoppedThread(HWND window)
        : thread_(OpenThread(THREAD_SUSPEND_RESUME, FALSE, GetWindowThreadProcessId(window, nullptr))),
          stopped_(thread_ && SuspendThread(thread_) != static_cast<DWORD>(-1)) {}
    ~StoppedThread() {
        if (stopped_) ResumeThread(thread_);
        if (thread_) CloseHandle(thread_);
    }
    StoppedThread(const StoppedThread&) = delete;
    StoppedThread& operator=(const StoppedThread&) = delete;
    bool Stopped() const { return stopped_; }

private:
    HANDLE thread_;
    bool stopped_;
};

class Startup : public test::ProgramTest {
protected:
    // Exactly one main window, and it belongs to process pid.
    static bool OnlyInstanceIs(DWORD pid) {
        const std::vector<HWND> windows = MainWindows();
        return windows.size() == 1 && OwnerOf(windows[0]) == pid;
    }
};

TEST_F(Startup, AnUpdateThatUninstallsThenStartsAtOnceLeavesExactlyTheNewInstance) {
    for (const wchar_t* args : {L"/start", L"/inst", L""}) {
        SCOPED_TRACE(testing::Message() << "new start with \"" << std::string(args, args + wcslen(args)) << "\"");
        auto old = test::StartTovasen(L"", true);
        {
            test::ChildProcess uninstaller(test::TovasenExe(), L"/uninst");
            ASSERT_TRUE(uninstaller.WaitForExit(12000));
        }
        EXPECT_TRUE(old->WaitForExit(0)) << "/uninst returned before the old process ended";
        test::ChildProcess next(test::TovasenExe(), args);
        EXPECT_TRUE(test::WaitUntil([&] { return OnlyInstanceIs(next.Id()); }, 6000));
        PostMessageW(test::FindProcessWindow(next.Id(), L"TFrmTovasen"), WM_USER, 2, 0);
        EXPECT_TRUE(next.WaitForExit(5000));
    }
}

TEST_F(Startup, AStartWhileTheOldInstanceIsStillEndingWaitsForIt) {
    auto old = test::StartTovasen(L"", true);
    HWND window = test::MainWindowOf(*old);
    // The old instance's window goes first; the process (and its mutex) a moment later.
    PostMessageW(window, WM_USER, 2, 0);
    ASSERT_TRUE(test::WaitUntil([&] { return !IsWindow(window); }, 5000));
    test::ChildProcess next(test::TovasenExe(), L"");
    EXPECT_TRUE(test::WaitUntil([&] { return OnlyInstanceIs(next.Id()); }, 6000)) << "the new start gave up";
    EXPECT_TRUE(old->WaitForExit(5000));
    PostMessageW(test::FindProcessWindow(next.Id(), L"TFrmTovasen"), WM_USER, 2, 0);
    EXPECT_TRUE(next.WaitForExit(5000));
}

TEST_F(Startup, AnInstanceThatStoppedAnsweringIsNamedToASecondStartAndEndedByUninstall) {
    auto old = test::StartTovasen(L"", true);
    StoppedThread stopped(test::MainWindowOf(*old));
    ASSERT_TRUE(stopped.Stopped());
    {
        test::ChildProcess second(test::TovasenExe(), L"");
        test::AnswerMessageBox(second, L"Tovasen이 실행 중이지만 응답하지 않습니다.", IDOK);
        EXPECT_TRUE(second.WaitForExit(5000));
        EXPECT_EQ(1, static_cast<int>(MainWindows().size())) << "the second start became an instance";
    }
    const ULONGLONG started = GetTickCount64();
    test::ChildProcess uninstaller(test::TovasenExe(), L"/uninst");
    ASSERT_TRUE(uninstaller.WaitForExit(15000)) << "/uninst waits for ever on a hung instance";
    std::printf("/uninst against a stopped instance returned after %llu ms\n", GetTickCount64() - started);
    EXPECT_EQ(2u, uninstaller.ExitCode()) << "/uninst does not say that it ended a hung instance";
    ASSERT_TRUE(old->WaitForExit(0)) << "the hung instance still runs";
    EXPECT_EQ(0xE0DEu, old->ExitCode()) << "the instance did not end by /uninst's hand";
}

TEST_F(Startup, AnInstanceThatRefusesToExitWhileRecordingIsLeftRunningByUninstall) {
    TConfig config;
    config.WriteInteger(L"saveto", 5);
    config.WriteInteger(L"area", 1);  // a small region frame: light for this machine
    config.WriteInteger(L"width", 160);
    config.WriteInteger(L"height", 120);
    config.WriteBoolean(L"audio", false);
    auto program = test::StartTovasen(L"", true);
    ASSERT_EQ(0u, test::RunTovasenCmd(L"capture"));
    ASSERT_TRUE(test::WaitUntil([] { return test::ProcessCount(L"ffmpeg.exe") == 1; })) << "no recording started";

    test::ChildProcess uninstaller(test::TovasenExe(), L"/uninst");
    // The instance says why it stays; the request that asked does not wait for the answer.
    test::AnswerMessageBox(*program, L"녹화중입니다.", IDOK);
    ASSERT_TRUE(uninstaller.WaitForExit(15000));
    EXPECT_EQ(1u, uninstaller.ExitCode()) << "/uninst does not say that the instance stayed";
    EXPECT_FALSE(program->WaitForExit(0)) << "an instance that answered was ended";

    ASSERT_EQ(0u, test::RunTovasenCmd(L"capture"));
    ASSERT_TRUE(test::WaitUntil([] { return test::ProcessCount(L"ffmpeg.exe") == 0; }, 15000));
    PostMessageW(test::MainWindowOf(*program), WM_USER, 2, 0);
    EXPECT_TRUE(program->WaitForExit(10000));
}

TEST_F(Startup, AHotKeyHeldElsewhereIsAskedForOnceTheWindowsExistAndTheTrayMenuStillWorks) {
    ASSERT_TRUE(RegisterHotKey(nullptr, 0x5151, 0, VK_SNAPSHOT)) << "Print Screen is taken already";
    auto program = test::StartTovasen(L"", true);
    HWND box = test::WaitForMessageBox(*program);
    ASSERT_NE(nullptr, box);
    EXPECT_NE(nullptr, test::FindProcessWindow(program->Id(), L"TFrmTovasen")) << "asked before the main window";
    EXPECT_NE(nullptr, test::FindProcessWindow(program->Id(), L"TTrayIconWindow")) << "asked before the tray icon";
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    HWND dialog = nullptr;
    ASSERT_TRUE(test::WaitUntil([&] {
        dialog = test::FindProcessWindow(program->Id(), L"TFrmHotKey");
        return dialog && IsWindowVisible(dialog);
    })) << "the hotkey dialog did not open";

    // The tray menu's hotkey item while the dialog is up: it brings the dialog forward.
    HWND tray = test::FindProcessWindow(program->Id(), L"TTrayIconWindow");
    PostMessageW(tray, kTrayCallback, 1, WM_RBUTTONUP);
    HWND menu = nullptr;
    ASSERT_TRUE(test::WaitUntil([&] { return (menu = FindWindowW(L"#32768", nullptr)) != nullptr && IsWindowVisible(menu); }));
    for (int i = 0; i < test::kHotKeyItem; ++i) PostMessageW(menu, WM_KEYDOWN, VK_UP, 0);
    PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    Sleep(500);  // a pause: a program that the choice would bring down has gone by now
    EXPECT_FALSE(program->WaitForExit(0)) << "the program died";
    EXPECT_TRUE(IsWindowVisible(dialog));
    // Cancel: the key is still held, so the program says capture will not work, and lives on.
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    if (HWND notice = test::WaitForMessageBox(*program, 3000)) PostMessageW(notice, WM_COMMAND, IDOK, 0);
    EXPECT_FALSE(program->WaitForExit(300));
    UnregisterHotKey(nullptr, 0x5151);
}

TEST_F(Startup, HostileSettingsFallBackAndTheFirstCaptureReportsTheFolder) {
    {
        TRegistryKey key = TRegistryKey::Open(HKEY_CURRENT_USER, L"Software\\Dravomix\\Tovasen", true);
        key.WriteInteger(L"saveto", -1);  // 4294967295 as the registry holds it
        key.WriteInteger(L"area", 99);
        key.WriteInteger(L"jpeg_quality", 2147483647);
        key.WriteString(L"webp_quality", L"abc");
        key.WriteInteger(L"language_ocr", -7);
        key.WriteInteger(L"append", -3);
        key.WriteInteger(L"sound", 77);
        key.WriteInteger(L"record_limit", 5);
        key.WriteInteger(L"hotkey", 0x7FFFFFFF);
        key.WriteInteger(L"left", -2147483647);
        key.WriteInteger(L"width", 2147483647);
        key.WriteString(L"language", L"xx-YY");
        key.WriteString(L"path", L"Q:\\no such drive\\shots");
    }
    auto program = test::StartTovasen(L"", true);
    EXPECT_EQ(0, TConfig().ReadInteger(L"saveto", -99)) << "the target list has no selection";
    EXPECT_EQ(0, TConfig().ReadInteger(L"area", -99));

    const test::CmdResult cmd = test::RunCmd(L"--utf8 capture");
    EXPECT_EQ(1u, cmd.exitCode) << "the capture neither worked nor said why";
    EXPECT_NE(std::wstring::npos, cmd.err.find(L"Q:\\no such drive\\shots")) << "the folder is not named";
    EXPECT_FALSE(program->WaitForExit(0));
}

TEST_F(Startup, APathTheConsoleCannotShowIsAnErrorThatNamesUtf8NeverAChangedPath) {
    // Hangul and an old Cyrillic letter: no legacy code page has both; UTF-8 has everything.
    const std::wstring shots = folder.Path() + L"\uCEA1\uCCD0 \u0468\\";
    ASSERT_TRUE(CreateDirectoryW(shots.c_str(), nullptr));
    TConfig().WriteString(L"path", shots);
    auto program = test::StartTovasen(L"", true);

    const test::CmdResult plain = test::RunCmd(L"capture");
    EXPECT_EQ(1u, plain.exitCode) << "a path the console cannot show was reported as success";
    EXPECT_EQ("", plain.outBytes) << "a changed path was printed";
    EXPECT_NE(std::wstring::npos, plain.err.find(L"--utf8")) << "the error does not name the way out";

    const test::CmdResult utf8 = test::RunCmd(L"--utf8 capture");
    EXPECT_EQ(0u, utf8.exitCode);
    EXPECT_EQ(0u, utf8.out.find(shots)) << "with --utf8 the path comes out whole";
}

}  // namespace
}  // namespace tovasen
