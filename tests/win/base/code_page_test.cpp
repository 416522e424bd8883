#include "base/code_page.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tovasen {
namespace {

constexpr unsigned kWestern = 1252, kKorean = 949, kNoSuchCodePage = 12345;

std::string Hex(const std::optional<std::string>& bytes) {
    if (!bytes) return "(nothing)";
    std::string out;
    for (const char c : *bytes) {
        const char* digits = "0123456789ABCDEF";
        const auto b = static_cast<unsigned char>(c);
        out += digits[b >> 4];
        out += digits[b & 15];
        out += ' ';
    }
    return out;
}

TEST(CodePage, BytesBecomeTextAndWhatTheSystemRefusesBecomesNothing) {
    struct Case {
        const char* bytes;
        unsigned codePage;
        const wchar_t* text;
    } cases[] = {
        {"caf\xE9", kWestern, L"caf\u00E9"},
        {"\xC7\xD1\xB1\xDB", kKorean, L"\uD55C\uAE00"},
        {"a\x80z", kUtf8CodePage, L"a\uFFFDz"},  // a continuation byte without its lead
        {"\xED\x95\x9C", kUtf8CodePage, L"\uD55C"},
        {"", kWestern, L""},
        {"abc", kNoSuchCodePage, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << Hex(std::string(c.bytes)) << "in " << c.codePage);
        EXPECT_EQ(std::wstring(c.text), CodePageToWide(c.bytes, c.codePage));
    }
}

TEST(CodePage, TextBecomesBytesWithLookAlikesOnlyWhereAsked) {
    using Bytes = std::optional<std::string>;
    const wchar_t loneSurrogate[] = {static_cast<wchar_t>(0xD800), 0};
    struct Case {
        const wchar_t* text;
        unsigned codePage;
        Bytes lookAlike, question, exactly;
    } cases[] = {
        {L"caf\u00E9", kWestern, "caf\xE9", "caf\xE9", "caf\xE9"},
        {L"\uD55C", kKorean, "\xC7\xD1", "\xC7\xD1", "\xC7\xD1"},
        // u with a ring has a plain u for a look-alike in code page 1252; Korean has none there.
        {L"\u016F", kWestern, "u", "?", std::nullopt},
        {L"a\uD55C", kWestern, "a?", "a?", std::nullopt},
        // UTF-8 has bytes for everything; a lone surrogate is the system's replacement character.
        {L"\uD55C", kUtf8CodePage, "\xED\x95\x9C", "\xED\x95\x9C", "\xED\x95\x9C"},
        {loneSurrogate, kUtf8CodePage, "\xEF\xBF\xBD", "\xEF\xBF\xBD", "\xEF\xBF\xBD"},
        {L"", kWestern, "", "", ""},
        {L"abc", kNoSuchCodePage, "", "", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "text of " << std::wstring(c.text).size() << " units in " << c.codePage);
        EXPECT_EQ(Hex(c.lookAlike), Hex(WideToCodePage(c.text, c.codePage, TUnmappable::LookAlike)));
        EXPECT_EQ(Hex(c.question), Hex(WideToCodePage(c.text, c.codePage, TUnmappable::Question)));
        EXPECT_EQ(Hex(c.exactly), Hex(WideToCodePageExactly(c.text, c.codePage)));
    }
}

}  // namespace
}  // namespace tovasen
