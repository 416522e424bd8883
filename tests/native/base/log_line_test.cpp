#include "base/log_line.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "base/errors.h"
#include "base/exception_text.h"
#include "base/log_event.h"

namespace tovasen {
namespace {

TEST(LogLine, MessagesBecomeOneCappedLine) {
    struct {
        const wchar_t* label;
        std::wstring text;
        std::size_t max;
        std::wstring expected;
    } cases[] = {
        {L"plain", L"저장 실패", 100, L"저장 실패"},
        {L"line breaks", L"one\r\ntwo\rthree\nfour", 100, L"one  two three four"},
        {L"controls", std::wstring(L"a\tb\0c\x7F" L"d\x2028" L"e", 9), 100, L"a b c d e"},
        {L"exactly the cap", L"abcdef", 6, L"abcdef"},
        {L"cut", L"abcdefgh", 6, L"abc..."},
        {L"cap below the mark", L"abcdefgh", 2, L".."},
        {L"pair kept whole", L"ab\xD83D\xDE00" L"cdef", 7, L"ab\xD83D\xDE00..."},
        {L"pair not split", L"abc\xD83D\xDE00" L"def", 7, L"abc..."},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, OneLogLine(c.text, c.max)) << c.label;
}

TEST(LogLine, FormatsTimeThreadPlaceAndEventAsUtf8) {
    const TLogTime time{2026, 3, 7, 9, 5, 1, 42};
    EXPECT_EQ("2026-03-07 09:05:01.042 [1234] history-store: \xEC\xA0\x80\xEC\x9E\xA5  x y\r\n",
              FormatLogLine(time, 1234, L"history-store", L"저장\r\nx y"));
    const std::string longLine = FormatLogLine(time, 1, std::wstring(100, L'p'), std::wstring(5000, L'm'));
    EXPECT_EQ("2026-03-07 09:05:01.042 [1] " + std::string(MaxLogPlaceChars - 3, 'p') + "...: " +
                  std::string(MaxLogMessageChars - 3, 'm') + "...\r\n",
              longLine);
}

TEST(LogLine, RotatesOnlyWhenTheLineWouldPassTheLimit) {
    struct {
        std::uint64_t file, line;
        bool rotate;
    } cases[] = {
        {0, 10, false},
        {0, LogRotationBytes + 1, false},  // an empty file takes any line rather than rotate forever
        {LogRotationBytes - 10, 10, false},
        {LogRotationBytes - 10, 11, true},
        {LogRotationBytes, 1, true},
        {LogRotationBytes + 500, 1, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.rotate, LogNeedsRotation(c.file, c.line)) << c.file << " + " << c.line;
}

TEST(LogEvent, CaughtErrorsReachTheSinkAndASinkFailureStaysInside) {
    std::vector<std::wstring> lines;
    SetLogSink([&](std::wstring_view where, std::wstring_view what) {
        lines.push_back(std::wstring(where) + L"|" + std::wstring(what));
    });
    LogCaught(L"config", std::make_exception_ptr(Exception(L"키를 읽을 수 없음")));
    LogCaught(L"update-check", std::make_exception_ptr(std::runtime_error("timed out")));
    LogEvent(L"main", L"start");
    Guarded([] { throw Exception(L"at the edge"); });
    EXPECT_EQ((std::vector<std::wstring>{L"config|키를 읽을 수 없음", L"update-check|timed out", L"main|start",
                                         L"boundary|at the edge"}),
              lines);

    SetLogSink([](std::wstring_view, std::wstring_view) { throw std::runtime_error("disk full"); });
    EXPECT_NO_THROW(LogEvent(L"main", L"lost"));
    SetLogSink(nullptr);
    EXPECT_NO_THROW(LogEvent(L"main", L"nowhere"));
}

}  // namespace
}  // namespace tovasen
