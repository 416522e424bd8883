#include "base/text_helpers.h"

#include <gtest/gtest.h>
#include <unicode/uchar.h>

#include <string>

namespace tovasen {
namespace {

struct ExtractCase {
    const wchar_t* source;
    const wchar_t* start;
    const wchar_t* end;
    const wchar_t* expected;
};

TEST(ExtractBetween, FindsTheValueAsRepliesAndToolOutputNeedIt) {
    const ExtractCase cases[] = {
        {LR"({"status":"success","url":"http:\/\/x\/a.png"})", LR"(url":")", L"\"", LR"(http:\/\/x\/a.png)"},
        {LR"({"URL":"A"})", LR"(url":")", L"\"", L"A"},                    // the marker ignores case
        {LR"({"url":"Keep Case"})", LR"(URL":")", L"\"", L"Keep Case"},    // the value keeps its own
        {LR"({"url":"say \"hi\" now"})", LR"(url":")", L"\"", LR"(say \"hi\" now)"},
        {LR"({"url":"a\\"})", LR"(url":")", L"\"", LR"(a\\)"},             // \\ then the real quote
        {LR"({"url":"a\\\"b"})", LR"(url":")", L"\"", LR"(a\\\"b)"},       // \\\" is escaped
        {LR"({"url":"open)", LR"(url":")", L"\"", L""},                    // no closing quote
        {LR"({"link":"x"})", LR"(url":")", L"\"", L""},                    // no start marker
        {L"frame= 10 time=00:00:01.50 bitrate", L"time=", L" ", L"00:00:01.50"},
        {L"time=00:00:01.50", L"time=", L" ", L""},                         // not yet followed by a blank
        {L"abc", L"", L"", L"abc"},
        {L"abc", L"b", L"", L"c"},
    };
    for (const ExtractCase& c : cases) {
        EXPECT_EQ(c.expected, ExtractBetween(c.source, c.start, c.end)) << "source: " << testing::PrintToString(std::wstring(c.source));
    }
}

TEST(JsonUnescape, DecodesEveryEscapeAndDropsUnknownOnes) {
    EXPECT_EQ(L"\"'/\\\b\f\n\r\t", JsonUnescape(LR"(\"\'\/\\\b\f\n\r\t)"));
    EXPECT_EQ(L"A\u00e9\uD55C", JsonUnescape(LR"(\u0041\u00E9\ud55c)"));
    EXPECT_EQ(std::wstring(1, L'\0'), JsonUnescape(LR"(\u0000)"));
    EXPECT_EQ(L"ab", JsonUnescape(LR"(a\xb)"));
    EXPECT_EQ(L"a", JsonUnescape(L"a\\"));
    EXPECT_EQ(L"plain text", JsonUnescape(L"plain text"));
}

TEST(JsonUnescape, RejectsAUnicodeEscapeThatIsShortOrNotHex) {
    for (const wchar_t* bad : {LR"(\u)", LR"(\u12)", LR"(x\u123)", LR"(\u12G4)", LR"(\u-123)"}) {
        EXPECT_THROW(JsonUnescape(bad), EJsonEscape) << testing::PrintToString(std::wstring(bad));
    }
}

// ICU's character database is the reference: every code point, both ways.
TEST(FormatCharacters, AreExactlyUnicodesCategoryCf) {
    int found = 0;
    for (UChar32 c = 0; c <= 0x10FFFF; ++c) {
        const bool cf = u_charType(c) == U_FORMAT_CHAR;
        found += cf ? 1 : 0;
        if (IsFormatCharacter(static_cast<char32_t>(c)) != cf) {
            ADD_FAILURE() << "U+" << std::hex << std::uppercase << c << (cf ? " is" : " is not")
                          << " a format character (Unicode " << U_UNICODE_VERSION << ")";
        }
    }
    EXPECT_GT(found, 150) << "the reference knows no format characters";
}

}  // namespace
}  // namespace tovasen
