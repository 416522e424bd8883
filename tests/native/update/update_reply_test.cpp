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

TEST(UpdateReply, ServerTextIsCleanedAndCapped) {
    EXPECT_EQ(L"ab&c", CleanServerText(L"a\r\nb\t&c\u0007\u0085"));
    EXPECT_EQ(std::wstring(kMaxServerText, L'x'), CleanServerText(std::wstring(1000, L'x')));
    EXPECT_EQ(L"한국어", CleanServerText(L"한국어"));
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
