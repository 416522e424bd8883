// The child on its own, without a runner or a message loop: what the device listing and the
// recording guard rely on.
#include "record/child_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "base/module_path.h"
#include "record/command_line.h"
#include "record/recording_guard.h"

namespace tovasen {
namespace {

using Clock = std::chrono::steady_clock;

std::wstring HelperCommand(const std::wstring& args) { return QuoteProgram(ExeFolder() + L"child_helper.exe") + L" " + args; }

TChildOptions Options(const std::wstring& args) {
    TChildOptions options;
    options.CommandLine = HelperCommand(args);
    return options;
}

// True once the process with that id has gone (or never was), within timeoutMs.
bool Gone(DWORD pid, DWORD timeoutMs) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process) return true;
    const bool gone = WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
    CloseHandle(process);
    return gone;
}

TEST(ChildProcess, RunsToItsEndOrToTheTimeLimit) {
    TChildResult done = RunChildToEnd(Options(L"write 61620d0a|6364"), 10000);
    EXPECT_EQ("ab\r\ncd", done.Output);
    EXPECT_EQ(0u, done.ExitCode);
    EXPECT_FALSE(done.TimedOut);

    const auto start = Clock::now();
    TChildResult hung = RunChildToEnd(Options(L"hang"), 700);
    EXPECT_TRUE(hung.TimedOut);
    EXPECT_EQ("ready\n", hung.Output) << "what it printed before the limit is kept";
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 4.0);

    EXPECT_EQ(259u, RunChildToEnd(Options(L"exit 259"), 10000).ExitCode);
    TChildOptions missing;
    missing.CommandLine = QuoteProgram(ExeFolder() + L"no_such_program.exe");
    EXPECT_THROW(RunChildToEnd(missing, 1000), ECreateProcessError);
}

TEST(ChildProcess, EndsWithItsOwnerUnlessToldToOutliveIt) {
    DWORD child = 0, grandchild = 0;
    {
        TChildProcess process(Options(L"grandchild"));
        child = process.Information().dwProcessId;
        std::string output;
        for (int i = 0; i < 200 && output.find('\n') == std::string::npos; ++i) {
            WaitForSingleObject(process.OutputEvent(), 50);
            output += process.TakeOutput();
        }
        ASSERT_EQ(0u, output.find("grandchild ")) << output;
        grandchild = std::stoul(output.substr(11));
    }
    EXPECT_TRUE(Gone(grandchild, 3000)) << "whatever the child started ends with it";
    EXPECT_TRUE(Gone(child, 3000));

    DWORD outliving = 0;
    {
        TChildOptions options = Options(L"hang");
        options.EndWithParent = false;
        TChildProcess process(options);
        outliving = process.Information().dwProcessId;
    }
    EXPECT_FALSE(Gone(outliving, 500)) << "a child told to outlive us goes on";
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, outliving);
    ASSERT_NE(nullptr, process);
    TerminateProcess(process, 0);
    WaitForSingleObject(process, 2000);
    CloseHandle(process);
}

TEST(ChildProcess, WhatFailsBeforeItRunsEndsIt) {
    DWORD pid = 0;
    TChildOptions options = Options(L"hang");
    options.OnCreated = [&](TChildProcess& child) {
        pid = child.Information().dwProcessId;
        EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(child.Process(), 0));
        throw Exception(L"no guard");
    };
    EXPECT_THROW(TChildProcess{options}, Exception);
    ASSERT_NE(0u, pid);
    EXPECT_TRUE(Gone(pid, 3000));
}

// A launcher's output pipe, inheritable as launchers leave theirs: neither the encoder, which
// outlives us, nor its guard may hold it open, or the launcher never sees our output end.
TEST(ChildProcess, TheEncoderAndItsGuardHoldOnlyTheHandlesMeantForThem) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    ASSERT_TRUE(CreatePipe(&read, &write, &inheritable, 0));
    TChildOptions options = Options(L"hang");
    options.EndWithParent = false;
    TChildProcess encoder(options);
    const std::wstring helper = ExeFolder() + L"child_helper.exe";
    const UniqueKernelHandle guard = StartRecordingGuard(helper, encoder.Process(), encoder.Input());
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(guard.Get(), 0)) << "returned, but the guard does not watch";
    CloseHandle(write);
    DWORD available = 0;
    EXPECT_FALSE(PeekNamedPipe(read, nullptr, 0, nullptr, &available, nullptr)) << "a child holds the launcher's pipe";
    EXPECT_EQ(static_cast<DWORD>(ERROR_BROKEN_PIPE), GetLastError());
    CloseHandle(read);

    // The encoder ends first: the guard has nothing left to watch and goes without a word.
    encoder.Kill(1);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(guard.Get(), 10000));
    DWORD code = 99;
    GetExitCodeProcess(guard.Get(), &code);
    EXPECT_EQ(0u, code);

    // A guard that cannot watch what it is handed (a file, not the encoder's input) says so.
    TChildProcess another(options);
    const std::wstring file = ExeFolder() + L"child_helper.exe";
    UniqueFile notAPipe(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    try {
        StartRecordingGuard(helper, another.Process(), notAPipe.Get());
        ADD_FAILURE() << "a guard that gave up was taken for one that watches";
    } catch (const Exception& e) {
        EXPECT_NE(std::wstring::npos, e.Message().find(L"exit code 2")) << testing::PrintToString(e.Message());
    }
    another.Kill(1);
}

TEST(ChildProcess, WritesUntilTheChildClosesItsInput) {
    TChildProcess process(Options(L"stdin-hex"));
    EXPECT_TRUE(process.Write("hi"));
    EXPECT_TRUE(process.Write("q"));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.Process(), 10000));
    std::string output;
    while (!process.OutputEnded()) {
        WaitForSingleObject(process.OutputEvent(), 100);
        output += process.TakeOutput();
    }
    // One read or two, depending on how the bytes arrived.
    EXPECT_TRUE(output == "686971\n" || output == "6869\n71\n") << output;
    EXPECT_FALSE(process.Write("x")) << "the child has gone: its input is closed";
}

}  // namespace
}  // namespace tovasen
