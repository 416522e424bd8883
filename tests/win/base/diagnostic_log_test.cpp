#include "base/diagnostic_log.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/outcome_reporter.h"
#include "app/reply_sender.h"
#include "app/system_helpers.h"
#include "base/log_line.h"
#include "base/utf_convert.h"
#include "support/commands.h"
#include "support/files.h"
#include "support/message_boxes.h"

namespace tovasen {
namespace {

// Every test writes the record into a folder of its own, through the same file code the
// program uses.
class DiagnosticLog : public testing::Test {
protected:
    void SetUp() override { StartDiagnosticLog(Folder()); }
    void TearDown() override { StopDiagnosticLog(); }

    std::wstring Folder() const { return temp.Path() + L"Tovasen"; }
    std::wstring Current() const { return Folder() + L"\\tovasen.log"; }
    std::wstring Previous() const { return Folder() + L"\\tovasen.1.log"; }

    static std::vector<std::string> Lines(const std::wstring& path) {
        std::vector<std::string> lines;
        if (!test::FileExists(path)) return lines;
        const std::vector<std::uint8_t> bytes = test::ReadFileBytes(path);
        std::string text(bytes.begin(), bytes.end());
        for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
            lines.push_back(text.substr(start, end - start));
        return lines;
    }

    static std::size_t CountContaining(const std::vector<std::string>& lines, const std::string& part) {
        std::size_t count = 0;
        for (const std::string& line : lines) count += line.find(part) != std::string::npos;
        return count;
    }

    test::TempFolder temp;
};

const std::regex kLineShape(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[\d+\] [a-z-]+: .*)");

TEST_F(DiagnosticLog, EachFailureIsRecordedOnceWithItsTextAndNothingElseIs) {
    using K = TCaptureOutcome::TKind;
    struct {
        const char* label;
        bool script;
        TCaptureOutcome outcome;
        std::string expected;  // in the line, or empty for no line
    } cases[] = {
        {"user failure", false, TCaptureOutcome::Failure(L"저장 실패\r\n디스크가 가득 참"),
         "outcome: user's request failed: \xEC\xA0\x80\xEC\x9E\xA5 \xEC\x8B\xA4\xED\x8C\xA8  "},
        {"script failure", true, TCaptureOutcome::Failure(L"The folder is gone."),
         "outcome: script's request failed: The folder is gone."},
        {"script refusal", true, {K::Refused, {}, L"Mode and target do not go together.", false},
         "outcome: script's request refused: Mode and target do not go together."},
        {"success", true, TCaptureOutcome::Written(K::FileWritten, L"C:\\secret-name.png"), ""},
        {"cancel", false, {K::Cancelled, {}, {}, false}, ""},
        {"busy", true, {K::Busy, {}, {}, false}, ""},
    };
    const auto sender = std::make_shared<TReplySender>();
    test::MessageBoxAnswerer boxes;
    for (const auto& c : cases) {
        if (c.script) TScriptReporter(sender, nullptr, nullptr, L"token").Report(c.outcome);
        else TUserReporter().Report(c.outcome);
    }
    const std::vector<std::string> lines = Lines(Current());
    std::size_t expectedLines = 0;
    for (const auto& c : cases) {
        if (c.expected.empty()) continue;
        ++expectedLines;
        EXPECT_EQ(1u, CountContaining(lines, c.expected)) << c.label;
    }
    EXPECT_EQ(expectedLines, lines.size());
    EXPECT_EQ(0u, CountContaining(lines, "secret-name"));
    for (const std::string& line : lines) EXPECT_TRUE(std::regex_match(line, kLineShape)) << line;
    EXPECT_EQ(1u, boxes.Texts().size()) << "the user still sees the failure, once";
}

TEST_F(DiagnosticLog, AnExceptionACatchDropsIsRecorded) {
    Wait([] { throw std::runtime_error("lost on purpose"); });
    EXPECT_EQ(1u, CountContaining(Lines(Current()), "wait-task: lost on purpose"));
}

// Four threads fill the file past the limit: the full file moves aside (replacing an older
// one), the new one starts small, and every line arrives whole in one of the two.
TEST_F(DiagnosticLog, RotatesAtTheLimitKeepingEveryLineWhole) {
    CreateDirectoryW(Folder().c_str(), nullptr);
    test::WriteFileBytes(Previous(), {'o', 'l', 'd', '\r', '\n'});
    const std::wstring filler(1000, L'x');
    constexpr int kThreads = 4;
    constexpr int kPerThread = 300;  // about 1.2 MB together
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i)
                LogEvent(L"filler", L"t" + std::to_wstring(t) + L" n" + std::to_wstring(i) + L" " + filler);
        });
    }
    for (auto& thread : threads) thread.join();

    const std::uint64_t lineBytes = FormatLogLine({}, GetCurrentThreadId(), L"filler", L"t0 n0 " + filler).size();
    const std::uint64_t previousBytes = test::ReadFileBytes(Previous()).size();
    const std::uint64_t currentBytes = test::ReadFileBytes(Current()).size();
    EXPECT_LE(previousBytes, LogRotationBytes);
    EXPECT_GT(previousBytes + 2 * lineBytes, LogRotationBytes) << "moved aside only when full";
    EXPECT_LT(currentBytes, LogRotationBytes / 3);
    EXPECT_GT(currentBytes, 0u);

    std::vector<std::string> lines = Lines(Previous());
    const std::vector<std::string> newer = Lines(Current());
    EXPECT_EQ(0u, CountContaining(lines, "old")) << "the older file was replaced";
    lines.insert(lines.end(), newer.begin(), newer.end());
    EXPECT_EQ(static_cast<std::size_t>(kThreads * kPerThread), lines.size());
    const std::regex fillerShape(R"(.* filler: t\d n\d+ x{1000})");
    for (const std::string& line : lines) ASSERT_TRUE(std::regex_match(line, fillerShape)) << line.substr(0, 80);
}

// tovasen-cmd writes to the user's own record (the prefix's %LOCALAPPDATA%\Tovasen): how it
// ended, never what it was asked.
TEST_F(DiagnosticLog, TovasenCmdRecordsWhyItEndedWithoutItsArguments) {
    const std::wstring userLog = DefaultLogFolder() + L"\\tovasen.log";
    struct {
        const wchar_t* args;
        DWORD exitCode;
        std::string expected;
    } cases[] = {
        {L"edit C:\\private-name.png", 2, "tovasen-cmd: Ended: Tovasen is not running."},
        {L"--private-option", 64, "tovasen-cmd: Ended: the command line was not understood."},
    };
    for (const auto& c : cases) {
        const std::size_t before = CountContaining(Lines(userLog), c.expected);
        EXPECT_EQ(c.exitCode, test::RunCmd(c.args).exitCode) << c.expected;
        EXPECT_EQ(before + 1, CountContaining(Lines(userLog), c.expected)) << c.expected;
    }
    EXPECT_EQ(0u, CountContaining(Lines(userLog), "private"));
}

TEST_F(DiagnosticLog, AFolderThatCannotBeWrittenLosesTheLineQuietly) {
    test::WriteFileBytes(temp.Path() + L"plain-file", {'x'});
    StartDiagnosticLog(temp.Path() + L"plain-file\\Tovasen");
    EXPECT_NO_THROW(LogEvent(L"main", L"nowhere to go"));
    EXPECT_NO_THROW(LogCaught(L"main", std::make_exception_ptr(std::runtime_error("still nowhere"))));
    EXPECT_EQ((std::vector<std::wstring>{L"plain-file"}), temp.Files());
}

}  // namespace
}  // namespace tovasen
