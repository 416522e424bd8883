#include "record/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tovasen {
namespace {

using namespace std::string_literals;

// Reads one argument back the way the C runtime and CommandLineToArgvW do (not the first word).
std::vector<std::wstring> SplitArguments(const std::wstring& line) {
    std::vector<std::wstring> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == L' ' || line[i] == L'\t')) ++i;
        if (i == line.size()) break;
        std::wstring arg;
        bool quoted = false;
        for (; i < line.size(); ++i) {
            if (!quoted && (line[i] == L' ' || line[i] == L'\t')) break;
            std::size_t backslashes = 0;
            while (i < line.size() && line[i] == L'\\') ++backslashes, ++i;
            if (i < line.size() && line[i] == L'"') {
                arg.append(backslashes / 2, L'\\');
                if (backslashes % 2) arg += L'"';
                else quoted = !quoted;
            } else {
                arg.append(backslashes, L'\\');
                if (i < line.size()) {
                    if (!quoted && (line[i] == L' ' || line[i] == L'\t')) break;
                    arg += line[i];
                } else {
                    break;
                }
            }
        }
        out.push_back(arg);
    }
    return out;
}

TEST(QuoteArgument, RoundTripsThroughTheRuntimesSplitting) {
    const std::wstring cases[] = {L"plain", L"with space", L"", L"C:\\dir with space\\", L"say \"hi\"",
                                  L"a\\\\\"b", L"\\\\server\\share", L"tab\there", L"\xd55c\xae00 \xd3f4\xb354\\",
                                  L"trailing\\"};
    for (const std::wstring& arg : cases) {
        const std::wstring quoted = QuoteArgument(arg);
        EXPECT_EQ(std::vector<std::wstring>{arg}, SplitArguments(quoted)) << testing::PrintToString(quoted);
    }
    EXPECT_EQ(L"plain", QuoteArgument(L"plain"));
    EXPECT_EQ(L"\"C:\\a b\\\\\"", QuoteArgument(L"C:\\a b\\"));
    EXPECT_EQ(L"\"C:\\Program Files\\ffmpeg.exe\"", QuoteProgram(L"C:\\Program Files\\ffmpeg.exe"));
}

TEST(BuildEnvironmentBlock, AddsEntriesAfterTheInheritedOnesAndReplacesSameNames) {
    const std::wstring current = L"=C:=C:\\\0PATH=C:\\bin\0Lang=ko\0\0"s;
    EXPECT_EQ(L"=C:=C:\\\0PATH=C:\\bin\0Lang=ko\0NEW=1\0\0"s,
              BuildEnvironmentBlock(std::wstring_view(current).substr(0, current.size() - 1), {L"NEW=1"}));
    // Names compare without case, as the system's do; the later value wins.
    EXPECT_EQ(L"=C:=C:\\\0PATH=C:\\bin\0LANG=en\0\0"s,
              BuildEnvironmentBlock(std::wstring_view(current).substr(0, current.size() - 1), {L"LANG=en"}));
    EXPECT_EQ(L"A=1\0\0"s, BuildEnvironmentBlock({}, {L"A=1", L""}));
    EXPECT_EQ(L"\0\0"s, BuildEnvironmentBlock({}, {}));
}

TEST(InputText, AddsCrLfOnlyWhenAsked) {
    EXPECT_EQ(L"q", InputText(L"q", false));
    EXPECT_EQ(L"q\r\n", InputText(L"q", true));
}

}  // namespace
}  // namespace tovasen
