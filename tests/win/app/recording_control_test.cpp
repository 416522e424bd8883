// The recording control end to end: a running Tovasen.exe with the target MP4, requests sent
// with tovasen-cmd, the real encoder beside the program (or a stand-in where a failure is the
// point), results checked in files, processes and message boxes.
#include <windows.h>

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <chrono>
#include <string>

#include "base/config.h"
#include "base/module_path.h"
#include "record/command_line.h"
#include "record/command_runner.h"
#include "support/commands.h"
#include "support/files.h"
#include "support/program.h"
#include "support/wait.h"
#include "ui/application.h"

namespace tovasen {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// The encoder processes running now (this test starts no other).
int EncoderCount() {
    int count = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Process32FirstW(snapshot, &entry); ok; ok = Process32NextW(snapshot, &entry)) {
        count += _wcsicmp(entry.szExeFile, L"ffmpeg.exe") == 0;
    }
    CloseHandle(snapshot);
    return count;
}

// What the encoder says about a file ("Duration: ...", "Video: h264 ...").
std::wstring Probe(const std::wstring& file) {
    TCommandRunner runner;
    runner.SetOutputEncoding(TOutputEncoding::Utf8);
    std::wstring text;
    bool done = false;
    runner.OnNewLine = [&](TCommandRunner&, const std::wstring& line, TOutputType type) {
        if (type == TOutputType::otEntireLine) text += line + L"\n";
    };
    runner.OnTerminated = [&](TCommandRunner&) { done = true; };
    runner.CommandLine = QuoteProgram(test::DistFolder() + L"ffmpeg.exe") + L" -hide_banner -i " + QuoteArgument(file);
    runner.Execute();
    EXPECT_TRUE(test::WaitUntil([&] { return done; }, 60000));
    return text;
}

class RecordingControl : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(nullptr, FindWindowW(L"TFrmTovasen", nullptr)) << "an instance is still running";
        app.Initialize();
        TConfig config;
        config.WriteString(L"path", folder.Path());
        config.WriteString(L"language", L"ko");
        config.WriteInteger(L"append", 1);
        config.WriteInteger(L"area", 0);
        config.WriteInteger(L"saveto", 5);
        config.WriteInteger(L"record_limit", 0);
        config.WriteBoolean(L"audio", false);
        config.WriteBoolean(L"ffmpeg_log", false);
        SetCursorPos(5, 5);
    }

    // Tovasen.exe copied into a folder of its own with encoder (or nothing) beside it.
    std::unique_ptr<test::ChildProcess> StartCopy(const std::wstring& encoder) {
        CreateDirectoryW(dist.c_str(), nullptr);
        EXPECT_TRUE(CopyFileW(test::TovasenExe().c_str(), (dist + L"Tovasen.exe").c_str(), FALSE));
        if (!encoder.empty()) {
            EXPECT_TRUE(CopyFileW(encoder.c_str(), (dist + L"ffmpeg.exe").c_str(), FALSE));
        }
        auto program = std::make_unique<test::ChildProcess>(dist + L"Tovasen.exe", L"");
        EXPECT_TRUE(test::WaitUntil([&] {
            HWND main = test::FindProcessWindow(program->Id(), L"TFrmTovasen");
            return main && IsWindowVisible(main) && test::FindProcessWindow(program->Id(), L"TTrayIconWindow");
        })) << "the copy did not come up";
        // The start-up sequence checks the saved target's files once more after the window shows.
        Sleep(1000);
        return program;
    }

    void TearDown() override {
        for (const wchar_t* name : {L"Tovasen.exe", L"ffmpeg.exe"}) DeleteFileW((dist + name).c_str());
        RemoveDirectoryW(dist.c_str());
    }

    TApplication app;
    test::TempFolder folder;
    const std::wstring dist = folder.Path() + L"dist\\";
};

TEST_F(RecordingControl, TwoRequestsMakeAPlayableRecordingAndExitWaitsForItsEnd) {
    auto program = test::StartTovasen(L"", true);
    ASSERT_EQ(0u, test::RunTovasenCmd(L"capture"));
    ASSERT_TRUE(test::WaitUntil([] { return EncoderCount() == 1; }, 10000)) << "no encoder started";

    // Exit is refused while the recording runs.
    PostMessageW(test::MainWindowOf(*program), WM_USER, 2, 0);
    test::AnswerMessageBox(*program, L"녹화중입니다.", IDOK);
    EXPECT_FALSE(program->WaitForExit(300));
    Sleep(1500);

    const auto stop = Clock::now();
    ASSERT_EQ(0u, test::RunTovasenCmd(L"capture"));
    ASSERT_TRUE(test::WaitUntil([] { return EncoderCount() == 0; }, 15000)) << "the encoder did not finish";
    std::printf("[ figures  ] full screen: stop request to encoder exit %.2f s\n", Seconds(stop));
    Sleep(300);  // the next tick of the recording timer returns to idle

    const std::wstring file = folder.Path() + L"T-001.mp4";
    ASSERT_TRUE(test::FileExists(file));
    const std::wstring info = Probe(file);
    EXPECT_NE(std::wstring::npos, info.find(L"Video: h264")) << info;
    EXPECT_NE(std::wstring::npos, info.find(L"yuv420p")) << info;
    EXPECT_EQ(std::wstring::npos, info.find(L"Duration: N/A")) << info;

    // Now the exit goes through.
    PostMessageW(test::MainWindowOf(*program), WM_USER, 2, 0);
    EXPECT_TRUE(program->WaitForExit(10000)) << "exit after the recording did not end the program";
}

// A script hears the encoder's own last words, and no box waits for a click.
TEST_F(RecordingControl, AFailingEncoderReturnsToIdleWithItsMessage) {
    SetEnvironmentVariableW(L"TOVASEN_FAKE_ENCODER", L"fail");
    auto program = StartCopy(ExeFolder() + L"child_helper.exe");
    SetEnvironmentVariableW(L"TOVASEN_FAKE_ENCODER", nullptr);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const test::CmdResult result = test::RunCmd(L"--utf8 capture");
        EXPECT_EQ(1u, result.exitCode);
        EXPECT_EQ(L"캡쳐가 실패하였습니다.\r\rC:\\\xB179\xD654\\T-001.mp4: Permission denied", result.err);
    }
    EXPECT_EQ(nullptr, test::FindProcessWindow(program->Id(), L"#32770"));
    // Idle again: the exit is not refused.
    PostMessageW(test::MainWindowOf(*program), WM_USER, 2, 0);
    EXPECT_TRUE(program->WaitForExit(10000));
}

TEST_F(RecordingControl, AnEncoderThatHasGoneIsNamedInTheFailure) {
    auto program = StartCopy(ExeFolder() + L"child_helper.exe");
    ASSERT_TRUE(DeleteFileW((dist + L"ffmpeg.exe").c_str()));
    const test::CmdResult result = test::RunCmd(L"--utf8 capture");
    EXPECT_EQ(1u, result.exitCode);
    EXPECT_EQ(L"캡쳐가 실패하였습니다.\r\r\"ffmpeg.exe\" 파일이 없습니다.", result.err);
    EXPECT_TRUE(folder.Files().empty()) << "nothing may be recorded or captured";
    PostMessageW(test::MainWindowOf(*program), WM_USER, 2, 0);
    EXPECT_TRUE(program->WaitForExit(10000)) << "a refused start must leave the program idle";
}

}  // namespace
}  // namespace tovasen
