#include "update/update_reply.h"

#include <gtest/gtest.h>

#include <string>

namespace tovasen {
namespace {

TEST(UpdateReply, ReadsEveryKeyAndTheExtraOnlyInsideInfo) {
    const UpdateReply r = ParseUpdateReply(
        LR"({"url":"https://outside","update":"https:\/\/u.example\/new.exe","notify":"https://n.example/x",)"
        LR"("info":{"style":"note","text":"See \"notes\"","flag":"a stayontop b","url":"https:\/\/n.example\/notes"},)"
        LR"("text":"after"})");
    EXPECT_EQ(L"https://u.example/new.exe", r.update);
    EXPECT_EQ(L"https://n.example/x", r.notify);
    EXPECT_EQ(L"note", r.style);
    EXPECT_EQ(L"See \"notes\"", r.text);
    EXPECT_EQ(L"a stayontop b", r.flag);
    EXPECT_EQ(L"https://n.example/notes", r.url);

    const UpdateReply none = ParseUpdateReply(LR"({"update": "spaced","url":"https://x","style":"hold"})");
    EXPECT_EQ(L"", none.update) << "a blank after the colon is not the key";
    EXPECT_EQ(L"", none.url) << "url and style count inside info only";
    EXPECT_EQ(L"", none.style);
}

TEST(UpdateReply, AValueThatDoesNotDecodeIsEmptyAndTheRestIsRead) {
    const UpdateReply r = ParseUpdateReply(LR"({"update":"https://x/\u00zz","notify":"https://n/"})");
    EXPECT_EQ(L"", r.update);
    EXPECT_EQ(L"https://n/", r.notify);
}

// UTF-16 code units as they arrive from a \u escape, whatever the width of wchar_t here.
std::wstring Units(std::initializer_list<unsigned> units) {
    std::wstring text;
    for (unsigned u : units) text += static_cast<wchar_t>(u);
    return text;
}

TEST(UpdateReply, ServerTextIsCleanedAndCapped) {
    struct Case {
        std::wstring text, shown;
    } cases[] = {
        {L"a\r\nb\t&c\u0007\u0085", L"ab&c"},
        {L"한국어", L"한국어"},
        // Shown with its override, the first reads "updateexe.txt": a name that ends in .exe
        // passes for a text file. The isolates and embeddings reorder text the same way.
        {L"update\u202Etxt.exe", L"updatetxt.exe"},
        {L"a\u2066b\u2067c\u2068d\u2069e\u202Af\u202Bg\u202Ch\u202Di\u200Ej\u200Fk\u061Cl", L"abcdefghijkl"},
        // Invisible marks that make two texts that look alike differ.
        {L"pay\u200Bpal\u200C\u200D\u2060\uFEFF\u00AD", L"paypal"},
        // A tag character (U+E0041) as its surrogate pair; an emoji's pair stays whole.
        {Units({'x', 0xDB40, 0xDC41, 'y', 0xD83D, 0xDE00}), Units({'x', 'y', 0xD83D, 0xDE00})},
        // Lone halves of a pair, from a \u escape that was cut, are no characters.
        {Units({'a', 0xD83D, 'b', 0xDE00, 'c', 0xDC00, 0xD800}), L"abc"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.shown, CleanServerText(c.text)) << testing::PrintToString(c.text);

    EXPECT_EQ(std::wstring(kMaxServerText, L'x'), CleanServerText(std::wstring(1000, L'x')));
    // A pair that would straddle the limit goes whole rather than leave its first half behind.
    const std::wstring pairAtTheEnd = std::wstring(kMaxServerText - 1, L'x') + Units({0xD83D, 0xDE00});
    EXPECT_EQ(std::wstring(kMaxServerText - 1, L'x'), CleanServerText(pairAtTheEnd));
    const std::wstring pairThatFits = std::wstring(kMaxServerText - 2, L'x') + Units({0xD83D, 0xDE00, 'y'});
    EXPECT_EQ(std::wstring(kMaxServerText - 2, L'x') + Units({0xD83D, 0xDE00}), CleanServerText(pairThatFits));
    // What is dropped does not count against the limit.
    EXPECT_EQ(std::wstring(kMaxServerText, L'x'),
              CleanServerText(std::wstring(300, L'\u202E') + std::wstring(kMaxServerText, L'x')));
}

TEST(UpdateIdentifier, HasItsFixedShapeAndOnlyThatShapeIsSent) {
    const std::wstring kuid = MakeKuid(0xFFFFFFFF, 0xFFFF, 0x12345678, {2026, 12, 9, 7, 5, 3});
    EXPECT_EQ(L"00000001261209000007050312345678", kuid);  // 0xFFFFFFFF wraps to 1
    EXPECT_TRUE(IsValidKuid(kuid));
    EXPECT_EQ(32u, MakeKuid(0x7FFFFFFE, 0xFFFE, 0, {1999, 1, 1, 23, 59, 59}).size());
    EXPECT_FALSE(IsValidKuid(L""));
    EXPECT_FALSE(IsValidKuid(L"0000000026120900000705031234567"));
    EXPECT_FALSE(IsValidKuid(L"000000002612090000070503123456789"));
    EXPECT_FALSE(IsValidKuid(L"0000000a261209000007050312345678")) << "lower case";
    EXPECT_FALSE(IsValidKuid(L"00000000A61209000007050312345678")) << "a letter in the date";
    EXPECT_FALSE(IsValidKuid(L"000000002612090000070503123\r\nX:"));

    EXPECT_EQ(L"User-Version: 1.2.3.4\r\nUser-Language: ja\r\nUser-Debug: false\r\nUser-Union: " + kuid + L"\r\n",
              UpdateCheckHeaders(L"1.2.3.4", L"ja", kuid));
    EXPECT_EQ(L"User-Version: 1.2.3.4\r\nUser-Language: \r\nUser-Debug: false\r\nUser-Union: \r\n",
              UpdateCheckHeaders(L"1.2.3.4", L"ja\r\nX: 1", L"bad\r\nX: 1"));
    EXPECT_EQ(L"User-Version: 1.2.3.4\r\nUser-Command: hold\r\n", UpdateHoldHeaders(L"1.2.3.4"));
}

TEST(UpdateAddress, OnlyHttpsWithAHost) {
    EXPECT_TRUE(IsHttpsAddress(L"https://update.example.com/api.init.php"));
    EXPECT_TRUE(IsHttpsAddress(L"HTTPS://localhost:8443/x/api.init.php"));
    EXPECT_FALSE(IsHttpsAddress(L"http://update.example.com/api.init.php"));
    EXPECT_FALSE(IsHttpsAddress(L"https:///api.init.php"));
    EXPECT_FALSE(IsHttpsAddress(L"file:///c:/x"));
    EXPECT_FALSE(IsHttpsAddress(L""));
}

TEST(UpdateTexts, EachLanguageHasItsOwnAndOthersGetEnglish) {
    EXPECT_STREQ(L"はい", UpdateTextsFor(L"ja").yes);
    EXPECT_STREQ(L"アップデート可", UpdateTextsFor(L"ja").status);
    EXPECT_STREQ(L"예", UpdateTextsFor(L"ko").yes);
    EXPECT_STREQ(L"Sì", UpdateTextsFor(L"it").yes);
    for (const wchar_t* code : {L"en", L"xx", L"", L"KO"}) {
        EXPECT_STREQ(L"Update available", UpdateTextsFor(code).status) << testing::PrintToString(std::wstring(code));
        EXPECT_STREQ(L"No", UpdateTextsFor(code).no);
    }
    const std::wstring dialog = UpdateTextsFor(L"en").dialog;
    EXPECT_EQ(L"This program has been updated.\r\rIt is recommended to download and execute new for stable use.\r\rDo you want to download it?", dialog);
}

}  // namespace
}  // namespace tovasen
