#include "record/command_runner.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "base/exception_text.h"
#include "base/module_path.h"
#include "record/command_line.h"
#include "support/files.h"
#include "support/message_boxes.h"
#include "support/wait.h"
#include "ui/application.h"

namespace tovasen {
namespace {

using Clock = std::chrono::steady_clock;

std::wstring Helper() { return ExeFolder() + L"child_helper.exe"; }

std::wstring HelperCommand(const std::wstring& args) { return QuoteProgram(Helper()) + L" " + args; }

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Everything one run reports, in order; "~" marks an unfinished tail, "#" the end.
struct Recorded {
    std::vector<std::wstring> events;
    std::vector<std::wstring> lines;  // finished lines only
    int terminated = 0;

    void Attach(TCommandRunner& runner) {
        runner.OnNewLine = [this](TCommandRunner&, const std::wstring& line, TOutputType type) {
            events.push_back((type == TOutputType::otBeginningOfLine ? L"~" : L"") + line);
            if (type == TOutputType::otEntireLine) lines.push_back(line);
        };
        runner.OnTerminated = [this](TCommandRunner&) {
            events.push_back(L"#");
            ++terminated;
        };
    }
    bool HasLine(const std::wstring& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

class CommandRunnerTest : public ::testing::Test {
protected:
    void SetUp() override { app.Initialize(); }

    // Runs the helper with args to its end (or fails after timeoutMs).
    void RunToEnd(TCommandRunner& runner, Recorded& seen, const std::wstring& args, DWORD timeoutMs = 10000) {
        seen.Attach(runner);
        runner.CommandLine = HelperCommand(args);
        runner.Execute();
        ASSERT_TRUE(test::WaitUntil([&] { return seen.terminated > 0; }, timeoutMs)) << "no end of " << testing::PrintToString(args);
    }

    TApplication app;
};

using Events = std::vector<std::wstring>;

TEST_F(CommandRunnerTest, KeepsCharactersAndLineEndsWholeAcrossReads) {
    struct Case {
        const wchar_t* pieces;
        Events lines;
    } cases[] = {
        // Hangul and an emoji, each cut between two writes of the child.
        {L"61ed95|9c0af09f|98800a", {L"a\xd55c", L"\U0001F600"}},
        // CR at the end of one read, LF at the start of the next: one line end.
        {L"610d|0a620d0a", {L"a", L"b"}},
        // NUL bytes are dropped.
        {L"6100620a00", {L"ab"}},
    };
    for (const Case& c : cases) {
        TCommandRunner runner;
        runner.SetOutputEncoding(TOutputEncoding::Utf8);
        Recorded seen;
        RunToEnd(runner, seen, std::wstring(L"write ") + c.pieces);
        EXPECT_EQ(c.lines, seen.lines) << c.pieces;
        EXPECT_EQ(TEndStatus::esProcess, runner.EndStatus()) << c.pieces;
    }
}

TEST_F(CommandRunnerTest, AnUnfinishedLastLineIsReportedAsItsBeginningThenWhole) {
    TCommandRunner runner;
    Recorded seen;
    RunToEnd(runner, seen, L"write 616263");
    EXPECT_EQ((Events{L"~abc", L"abc", L"#"}), seen.events);
    EXPECT_EQ(0u, runner.ExitCode());

    // The same runner runs again; its unfinished line continues in a later write.
    Recorded again;
    RunToEnd(runner, again, L"write 616263|6465660d");
    EXPECT_EQ((Events{L"~abc", L"abcdef", L"#"}), again.events);
}

TEST_F(CommandRunnerTest, AFloodOfLinesArrivesWholeAndInOrder) {
    constexpr unsigned long kCount = 100000;
    TCommandRunner runner;
    Recorded seen;
    std::vector<std::wstring> output;
    runner.OutputLines = &output;
    const auto start = Clock::now();
    RunToEnd(runner, seen, L"flood " + std::to_wstring(kCount), 60000);
    const double elapsed = Seconds(start);
    ASSERT_EQ(kCount, seen.lines.size());
    unsigned long long sum = 0;
    bool inOrder = true;
    for (unsigned long i = 0; i < kCount; ++i) {
        const std::wstring expected = L"line " + std::to_wstring(i) + L" " + std::to_wstring(i * 7919ULL);
        if (seen.lines[i] != expected) {
            inOrder = false;
            ADD_FAILURE() << "line " << i << ": " << testing::PrintToString(seen.lines[i]);
            break;
        }
        sum += std::stoull(seen.lines[i].substr(seen.lines[i].rfind(L' ') + 1));
    }
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(7919ULL * kCount * (kCount - 1) / 2, sum);
    EXPECT_EQ(seen.lines, output);
    EXPECT_EQ(seen.lines, runner.Lines());
    std::printf("[ figures  ] %lu lines delivered in %.2f s\n", kCount, elapsed);
}

TEST_F(CommandRunnerTest, ReportsTheExitCodeOfAChildThatEnds) {
    for (DWORD code : {0UL, 1UL, 259UL, 0xC0000005UL}) {
        TCommandRunner runner;
        Recorded seen;
        const auto start = Clock::now();
        RunToEnd(runner, seen, L"exit " + std::to_wstring(code));
        // 259 is STILL_ACTIVE: a child exiting with it must still end the run at once.
        EXPECT_LT(Seconds(start), 5.0) << code;
        EXPECT_EQ(code, runner.ExitCode());
        EXPECT_EQ(TEndStatus::esProcess, runner.EndStatus()) << code;
        EXPECT_EQ(1, seen.terminated);
        EXPECT_FALSE(runner.IsRunning());
    }
}

TEST_F(CommandRunnerTest, StopEndsAChildThatNeverEnds) {
    TCommandRunner runner;
    Recorded seen;
    seen.Attach(runner);
    runner.CommandLine = HelperCommand(L"hang");
    runner.Execute();
    EXPECT_TRUE(runner.IsRunning());
    EXPECT_EQ(TEndStatus::esStill_Active, runner.EndStatus());
    ASSERT_TRUE(test::WaitUntil([&] { return seen.HasLine(L"ready"); }));
    const DWORD pid = runner.ProcessInformation().dwProcessId;
    EXPECT_NE(0u, pid);
    const auto start = Clock::now();
    runner.Stop();
    ASSERT_TRUE(test::WaitUntil([&] { return seen.terminated > 0; }, 5000));
    const double took = Seconds(start);
    EXPECT_LT(took, 1.5) << "stop took " << took << " s";
    EXPECT_EQ(TEndStatus::esStop, runner.EndStatus());
    EXPECT_EQ(0u, runner.ExitCode());
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (process) {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process, 1000));
        CloseHandle(process);
    }
}

TEST_F(CommandRunnerTest, TimeLimitsEndTheChildWithTheTimeStatus) {
    {
        // Keeps printing: only the limit since the beginning ends it (after 2 whole seconds).
        TCommandRunner runner;
        runner.MaxTimeAfterBeginning = 1;
        Recorded seen;
        const auto start = Clock::now();
        RunToEnd(runner, seen, L"tick");
        const double took = Seconds(start);
        EXPECT_EQ(TEndStatus::esTime, runner.EndStatus());
        EXPECT_GE(took, 1.9);
        EXPECT_LT(took, 6.0);
        EXPECT_GE(seen.lines.size(), 5u);
    }
    {
        // Silent after its first line.
        TCommandRunner runner;
        runner.MaxTimeAfterLastOutput = 1;
        Recorded seen;
        const auto start = Clock::now();
        RunToEnd(runner, seen, L"hang");
        EXPECT_EQ(TEndStatus::esTime, runner.EndStatus());
        EXPECT_GE(Seconds(start), 1.9);
        EXPECT_EQ((Events{L"ready"}), seen.lines);
    }
}

TEST_F(CommandRunnerTest, WritesInputExactlyAsAsked) {
    TCommandRunner runner;
    Recorded seen;
    seen.Attach(runner);
    runner.CommandLine = HelperCommand(L"stdin-hex");
    runner.Execute();
    runner.SendLine(L"hello", true);
    ASSERT_TRUE(test::WaitUntil([&] { return !seen.lines.empty(); }));
    runner.SendLine(L"", false);  // nothing to write
    runner.SendLine(L"q", false);  // one byte, no line end
    ASSERT_TRUE(test::WaitUntil([&] { return seen.terminated > 0; }));
    EXPECT_EQ((Events{L"68656c6c6f0d0a", L"71"}), seen.lines);
    EXPECT_EQ(0u, runner.ExitCode());
    EXPECT_THROW(runner.SendLine(L"q", false), ECommandRunner);
}

TEST_F(CommandRunnerTest, EchoesWrittenInputWhenAsked) {
    TCommandRunner runner;
    runner.InputToOutput = true;
    Recorded seen;
    seen.Attach(runner);
    runner.CommandLine = HelperCommand(L"stdin-hex");
    runner.Execute();
    runner.SendLine(L"q", true);
    ASSERT_TRUE(test::WaitUntil([&] { return seen.terminated > 0; }));
    EXPECT_EQ((Events{L"q", L"710d0a"}), seen.lines);
}

TEST_F(CommandRunnerTest, InputAfterTheChildClosedItsInputIsDroppedQuietly) {
    test::MessageBoxAnswerer boxes;
    TCommandRunner runner;
    Recorded seen;
    seen.Attach(runner);
    runner.CommandLine = HelperCommand(L"close-stdin");
    runner.Execute();
    ASSERT_TRUE(test::WaitUntil([&] { return seen.HasLine(L"closed"); }));
    runner.SendLine(L"q", false);
    Sleep(100);  // a pause: the first write meets the closed input before the second is sent
    runner.SendLine(L"q", true);
    ASSERT_TRUE(test::WaitUntil([&] { return seen.terminated > 0; }));
    EXPECT_EQ(TEndStatus::esProcess, runner.EndStatus());
    // A pause: a wrongly reported failure would be on the screen by now.
    test::WaitUntil([&] { return !boxes.Texts().empty(); }, 300);
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(CommandRunnerTest, AGrandchildHoldingTheOutputDoesNotKeepTheRunAlive) {
    TCommandRunner runner;
    Recorded seen;
    Clock::time_point exited{};
    runner.OnNewLine = [&](TCommandRunner&, const std::wstring& line, TOutputType type) {
        if (type != TOutputType::otEntireLine) return;
        if (line.rfind(L"grandchild ", 0) == 0) exited = Clock::now();  // the child's last act
        seen.lines.push_back(line);
    };
    runner.OnTerminated = [&](TCommandRunner&) { ++seen.terminated; };
    runner.CommandLine = HelperCommand(L"grandchild");
    runner.Execute();
    ASSERT_TRUE(test::WaitUntil([&] { return seen.terminated > 0; }, 10000));
    // From the child's exit: the drain time (the grandchild stays silent), then the run ends.
    EXPECT_LT(Seconds(exited), 3.0);
    ASSERT_FALSE(seen.lines.empty());
    const std::wstring& first = seen.lines[0];
    ASSERT_EQ(0u, first.find(L"grandchild ")) << testing::PrintToString(first);
    const DWORD pid = std::stoul(first.substr(11));
    // The grandchild's output reached us before the read was given up ("ready").
    EXPECT_TRUE(seen.HasLine(L"ready"));
    // It was in the child's job: it has gone with the run.
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (process) {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process, 2000));
        CloseHandle(process);
    }
}

TEST_F(CommandRunnerTest, AMissingProgramEndsOnceWithItsErrorAndNoBox) {
    test::MessageBoxAnswerer boxes;
    TCommandRunner runner;
    Recorded seen;
    seen.Attach(runner);
    runner.CommandLine = L"\"" + ExeFolder() + L"no_such_program.exe\" -x";
    for (int round = 0; round < 2; ++round) {  // and the runner can run again after it
        seen.terminated = 0;
        runner.Execute();
        ASSERT_TRUE(test::WaitUntil([&] { return seen.terminated > 0; })) << round;
        EXPECT_EQ(TEndStatus::esError, runner.EndStatus()) << round;
        ASSERT_TRUE(runner.Error()) << round;
        EXPECT_EQ(L"ECreateProcessError", RunnerExceptionClassName(runner.Error()));
        const std::wstring text = ExceptionText(runner.Error());
        EXPECT_EQ(0u, text.find(L"Error creating Process: \"" + ExeFolder() + L"no_such_program.exe\" -x - ("))
            << testing::PrintToString(text);
    }
    // A pause: a second end or a message about it would have arrived by now.
    test::WaitUntil([&] { return seen.terminated > 1 || !boxes.Texts().empty(); }, 300);
    EXPECT_EQ(1, seen.terminated);
    EXPECT_TRUE(boxes.Texts().empty()) << "telling the user is the caller's business";
}

TEST_F(CommandRunnerTest, TheTailOfAFloodReachesASlowHandlerLast) {
    // 2 MB and then "LAST": the handler is slow, so the reader waits at its limit while the
    // child exits; what it had not read yet must still come, before the end.
    constexpr unsigned long kCount = 100000;
    TCommandRunner runner;
    Recorded seen;
    seen.Attach(runner);
    HANDLE child = nullptr;
    Clock::time_point lastAt{}, endAt{};
    runner.OnNewLine = [&](TCommandRunner& sender, const std::wstring& line, TOutputType type) {
        if (!child) child = OpenProcess(SYNCHRONIZE, FALSE, sender.ProcessInformation().dwProcessId);
        if (type != TOutputType::otEntireLine) return;
        seen.lines.push_back(line);
        if (line == L"LAST") lastAt = Clock::now();
        if (seen.lines.size() % 500 == 0) Sleep(10);  // a pause: the handler is slow on purpose
    };
    runner.OnTerminated = [&](TCommandRunner&) {
        endAt = Clock::now();
        ++seen.terminated;
    };
    runner.CommandLine = HelperCommand(L"flood-last " + std::to_wstring(kCount));
    const auto start = Clock::now();
    runner.Execute();
    ASSERT_TRUE(test::WaitUntil([&] { return seen.terminated > 0; }, 120000));
    ASSERT_EQ(kCount + 1, seen.lines.size());
    EXPECT_EQ(L"LAST", seen.lines.back());
    EXPECT_EQ(L"line " + std::to_wstring(kCount - 1) + L" " + std::to_wstring((kCount - 1) * 7919ULL), seen.lines[kCount - 1]);
    EXPECT_EQ(TEndStatus::esProcess, runner.EndStatus());
    // No drain time between the last line and the end.
    EXPECT_LT(std::chrono::duration<double>(endAt - lastAt).count(), 1.0);
    if (child) {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(child, 0));
        CloseHandle(child);
    }
    std::printf("[ figures  ] 2 MB to a slow handler in %.2f s, end %.3f s after the last line\n", Seconds(start),
                std::chrono::duration<double>(endAt - lastAt).count());
}

TEST_F(CommandRunnerTest, AHandlerThatHandlesMessagesStillSeesTheEndLast) {
    TCommandRunner runner;
    Recorded seen;
    seen.Attach(runner);
    bool pumped = false;
    runner.OnNewLine = [&](TCommandRunner&, const std::wstring& line, TOutputType type) {
        if (type == TOutputType::otEntireLine) seen.events.push_back(line);
        if (pumped) return;
        // As a message box would: the later batches and the end are posted meanwhile.
        pumped = true;
        test::WaitUntil([] { return false; }, 1500);
    };
    runner.CommandLine = HelperCommand(L"flood 20000");
    runner.Execute();
    ASSERT_TRUE(test::WaitUntil([&] { return seen.terminated > 0; }, 30000));
    ASSERT_EQ(20001u, seen.events.size());
    EXPECT_EQ(L"#", seen.events.back());
    for (std::size_t i = 0; i + 1 < seen.events.size(); ++i) {
        if (seen.events[i] != L"line " + std::to_wstring(i) + L" " + std::to_wstring(i * 7919ULL)) {
            ADD_FAILURE() << "event " << i << ": " << testing::PrintToString(seen.events[i]);
            break;
        }
    }
}

TEST_F(CommandRunnerTest, EventsComeThroughTheGivenPosterOnly) {
    // A poster that stops taking calls, as the application's does once its loop has ended: the
    // run must still end (the child with it) without waiting for anyone, and deliver nothing.
    std::atomic<int> posted{0};
    std::atomic<bool> open{true};
    const TPoster queue = app.Poster();
    TPoster poster = [&](std::function<void()> call) {
        ++posted;
        return open.load() && queue(std::move(call));
    };
    auto runner = std::make_unique<TCommandRunner>(nullptr, L"Runner", poster);
    Recorded seen;
    seen.Attach(*runner);
    runner->CommandLine = HelperCommand(L"tick");
    runner->Execute();
    ASSERT_TRUE(test::WaitUntil([&] { return seen.lines.size() >= 2; }));
    EXPECT_GT(posted.load(), 1);
    const DWORD pid = runner->ProcessInformation().dwProcessId;
    open = false;
    const std::size_t delivered = seen.events.size();
    const auto start = Clock::now();
    runner->Stop();
    // A pause: what the worker read before it stopped would have arrived by now.
    test::WaitUntil([&] { return seen.events.size() != delivered; }, 500);
    EXPECT_EQ(delivered, seen.events.size()) << "nothing arrives once the poster refuses";
    runner.reset();
    EXPECT_LT(Seconds(start), 3.0);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (process) {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process, 2000));
        CloseHandle(process);
    }
}

TEST_F(CommandRunnerTest, RefusesCallsThatDoNotFitItsState) {
    TCommandRunner runner;
    EXPECT_EQ(TEndStatus::esNone, runner.EndStatus());
    EXPECT_THROW(runner.Execute(), ECommandRunner);  // no command line
    EXPECT_THROW(runner.SendLine(L"x", true), ECommandRunner);
    runner.Stop();  // nothing to stop
    Recorded seen;
    seen.Attach(runner);
    runner.CommandLine = HelperCommand(L"hang");
    runner.Execute();
    EXPECT_THROW(runner.Execute(), ECommandRunner);
    EXPECT_THROW(runner.SetOutputEncoding(TOutputEncoding::Utf8), ECommandRunner);
    runner.Stop();
    ASSERT_TRUE(test::WaitUntil([&] { return seen.terminated > 0; }));
}

TEST_F(CommandRunnerTest, PassesEnvironmentAndFolder) {
    TCommandRunner runner;
    runner.SetOutputEncoding(TOutputEncoding::Utf8);
    runner.Environment = {L"TOVASEN_RUNNER_TEST=\xd55c v", L"PATH=C:\\nowhere"};
    runner.CurrentDir = L"C:\\windows";
    Recorded seen;
    RunToEnd(runner, seen, L"env TOVASEN_RUNNER_TEST");
    ASSERT_EQ(1u, seen.lines.size());
    EXPECT_EQ(0u, seen.lines[0].find(L"\xd55c v|")) << testing::PrintToString(seen.lines[0]);
    EXPECT_NE(std::wstring::npos, seen.lines[0].find(L"indows")) << testing::PrintToString(seen.lines[0]);
}

TEST_F(CommandRunnerTest, DeliversCharactersAndAsksBeforeKilling) {
    TCommandRunner runner;
    std::wstring chars;
    runner.OnNewChar = [&](TCommandRunner&, wchar_t c) { chars += c; };
    int asked = 0;
    runner.OnTerminateProcess = [&](TCommandRunner&, bool& canTerminate) {
        ++asked;
        EXPECT_TRUE(canTerminate);
    };
    Recorded seen;
    seen.Attach(runner);
    runner.CommandLine = HelperCommand(L"hang");
    runner.Execute();
    ASSERT_TRUE(test::WaitUntil([&] { return seen.HasLine(L"ready"); }));
    runner.Stop();
    ASSERT_TRUE(test::WaitUntil([&] { return seen.terminated > 0; }));
    EXPECT_EQ(L"ready\n", chars);
    EXPECT_EQ(1, asked);
    EXPECT_EQ(TEndStatus::esStop, runner.EndStatus());
}

TEST_F(CommandRunnerTest, DestroyingARunningRunnerStopsItAndDropsItsEvents) {
    DWORD pid = 0;
    int calls = 0;
    {
        auto runner = std::make_unique<TCommandRunner>();
        runner->OnNewLine = [&](TCommandRunner&, const std::wstring&, TOutputType) { ++calls; };
        runner->OnTerminated = [&](TCommandRunner&) { ++calls; };
        runner->CommandLine = HelperCommand(L"tick");
        runner->Execute();
        ASSERT_TRUE(test::WaitUntil([&] { return calls > 0; }));
        pid = runner->ProcessInformation().dwProcessId;
        const auto start = Clock::now();
        runner.reset();
        EXPECT_LT(Seconds(start), double(TCommandRunner::kDestroyWaitMs) / 1000);
    }
    const int seen = calls;
    // A pause: a late event of the destroyed runner would have arrived by now.
    test::WaitUntil([&] { return calls != seen; }, 300);
    EXPECT_EQ(seen, calls) << "events of a destroyed runner must do nothing";
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (process) {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process, 2000));
        CloseHandle(process);
    }
}

TEST_F(CommandRunnerTest, AHandlerMayFreeTheRunner) {
    auto* runner = new TCommandRunner();
    bool freed = false;
    runner->OnNewLine = [&](TCommandRunner& sender, const std::wstring&, TOutputType) {
        if (!freed) {
            freed = true;
            delete &sender;
        }
    };
    runner->CommandLine = HelperCommand(L"flood 2000");
    runner->Execute();
    ASSERT_TRUE(test::WaitUntil([&] { return freed; }));
    // A pause: the rest of the batch and the end arrive within it, and must not touch the runner.
    test::WaitUntil([] { return false; }, 300);
}

std::size_t ThreadCount() {
    std::size_t count = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Thread32First(snapshot, &entry); ok; ok = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    }
    CloseHandle(snapshot);
    return count;
}

TEST_F(CommandRunnerTest, ManyRunsLeaveNoHandlesOrThreadsBehind) {
    // Eight runners side by side, each started again as soon as it ends: 200 runs in all. Side
    // by side, a pipe end inherited by the wrong child would also hold a run until its drain
    // time runs out.
    constexpr int kRunners = 8, kRounds = 25;
    std::vector<std::unique_ptr<TCommandRunner>> runners;
    std::vector<int> rounds(kRunners, 0);
    int wrong = 0;
    std::vector<std::wstring> errors;
    {
        TCommandRunner warmUp;  // first-use allocations are not leaks
        Recorded seen;
        RunToEnd(warmUp, seen, L"write 610a");
    }
    DWORD handlesBefore = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesBefore);
    const std::size_t threadsBefore = ThreadCount();
    const auto start = Clock::now();
    for (int i = 0; i < kRunners; ++i) {
        auto runner = std::make_unique<TCommandRunner>();
        runner->CommandLine = HelperCommand(L"write 610a");
        runner->OutputLines = nullptr;
        runner->OnNewLine = [&wrong](TCommandRunner&, const std::wstring& line, TOutputType) { wrong += line != L"a"; };
        runner->OnTerminated = [&rounds, &errors, i](TCommandRunner& sender) {
            if (sender.Error()) errors.push_back(RunnerExceptionClassName(sender.Error()) + L": " + ExceptionText(sender.Error()));
            if (++rounds[static_cast<std::size_t>(i)] < kRounds) sender.Execute();
        };
        runner->Execute();
        runners.push_back(std::move(runner));
    }
    ASSERT_TRUE(test::WaitUntil([&] {
        return std::all_of(rounds.begin(), rounds.end(), [](int n) { return n == kRounds; });
    }, 240000)) << "runs per runner: " << testing::PrintToString(rounds) << ", errors: " << testing::PrintToString(errors);
    EXPECT_TRUE(errors.empty()) << testing::PrintToString(errors);
    std::printf("[ figures  ] %d runs, %d side by side, in %.1f s\n", kRunners * kRounds, kRunners, Seconds(start));
    EXPECT_EQ(0, wrong);
    runners.clear();
    // The runners' threads end and close their handles on their own.
    DWORD handlesAfter = 0;
    test::WaitUntil([&] {
        GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
        return handlesAfter <= handlesBefore + 2 && ThreadCount() <= threadsBefore;
    }, 5000);
    EXPECT_LE(handlesAfter, handlesBefore + 2) << "before " << handlesBefore;
    EXPECT_LE(ThreadCount(), threadsBefore) << "before " << threadsBefore;
}

TEST_F(CommandRunnerTest, KillingTheParentEndsTheChild) {
    const std::wstring pidFile = ExeFolder() + L"runner_host_child.txt";
    DeleteFileW(pidFile.c_str());
    TCommandRunner host;
    Recorded seen;
    seen.Attach(host);
    host.CommandLine = HelperCommand(L"host " + QuoteArgument(pidFile));
    host.Execute();
    std::string id;
    ASSERT_TRUE(test::WaitUntil([&] {
        HANDLE f = CreateFileW(pidFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
        if (f == INVALID_HANDLE_VALUE) return false;
        char buffer[32];
        DWORD read = 0;
        ReadFile(f, buffer, sizeof buffer, &read, nullptr);
        CloseHandle(f);
        id.assign(buffer, read);
        return !id.empty();
    }));
    HANDLE child = OpenProcess(SYNCHRONIZE, FALSE, std::stoul(id));
    ASSERT_NE(nullptr, child);
    HANDLE hostProcess = OpenProcess(PROCESS_TERMINATE, FALSE, host.ProcessInformation().dwProcessId);
    ASSERT_NE(nullptr, hostProcess);
    TerminateProcess(hostProcess, 9);
    CloseHandle(hostProcess);
    // The host's own run would be ended by our job too, but only after our drain time; the
    // child must go as soon as the host does.
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(child, 1500));
    CloseHandle(child);
    ASSERT_TRUE(test::WaitUntil([&] { return seen.terminated > 0; }));
    DeleteFileW(pidFile.c_str());
}

}  // namespace
}  // namespace tovasen
