#include "history/history_format.h"

#include <gtest/gtest.h>

#include "base/utf_convert.h"

namespace tovasen {
namespace {

constexpr std::int64_t kSecond = 1000;

TEST(HistoryTime, IsoLocalTimeCarriesTheOffsetOfThatMoment) {
    struct Case {
        std::int64_t utcMs;
        int offset;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {0, 0, L"1970-01-01T00:00:00+00:00"},
        {1710000000 * kSecond, 9 * 60, L"2024-03-10T01:00:00+09:00"},
        {1710000000 * kSecond + 999, -5 * 60, L"2024-03-09T11:00:00-05:00"},  // milliseconds never round up
        {1709164800 * kSecond, 0, L"2024-02-29T00:00:00+00:00"},              // a leap day
        {1709164800 * kSecond - 1, 0, L"2024-02-28T23:59:59+00:00"},
        {1700000000 * kSecond, 5 * 60 + 45, L"2023-11-15T03:58:20+05:45"},
        {1700000000 * kSecond, -(9 * 60 + 30), L"2023-11-14T12:43:20-09:30"},
        {-1 * kSecond, 0, L"1969-12-31T23:59:59+00:00"},
        {-1, 60, L"1970-01-01T00:59:59+01:00"},
        {4102444800 * kSecond, 0, L"2100-01-01T00:00:00+00:00"},  // past 2038, and not a leap year
        {951782400 * kSecond, 0, L"2000-02-29T00:00:00+00:00"},   // a leap year by the 400 rule
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, IsoLocalTime(c.utcMs, c.offset)) << c.utcMs << " at " << c.offset;
    }
    EXPECT_EQ(L"2024-03-10 01:00:00", DisplayTime(1710000000 * kSecond, 9 * 60));
}

TEST(HistoryLine, FourTabSeparatedFieldsThatNoTitleCanBreak) {
    THistoryEntry entry;
    entry.TimeUtcMs = 1710000000 * kSecond;
    entry.UtcOffsetMinutes = 60;
    entry.Target = L"clipboard";
    entry.Path = L"C:\\Users\\민수\\AppData\\Local\\Tovasen\\History\\a.png";
    entry.WindowTitle = L"Bad\ttitle\r\nwith\nbreaks\x2028";
    const std::wstring line = HistoryLine(entry);
    EXPECT_EQ(L"2024-03-09T17:00:00+01:00\tclipboard\tC:\\Users\\민수\\AppData\\Local\\Tovasen\\History\\a.png\t"
              L"Bad title  with breaks ",
              line);
    EXPECT_EQ(std::wstring::npos, line.find_first_of(L"\r\n"));

    THistoryEntry empty;
    EXPECT_EQ(L"1970-01-01T00:00:00+00:00\t\t\t", HistoryLine(empty)) << "empty fields keep their columns";
}

TEST(HistoryRecentMenu, CaptionsAreShortAndMakeNoMnemonics) {
    THistoryEntry entry;
    entry.TimeUtcMs = 1710000000 * kSecond;
    entry.UtcOffsetMinutes = 9 * 60;
    entry.Target = L"clipboard";
    entry.WindowTitle = L"R&D\tplan";
    EXPECT_EQ(L"01:00  R&&D plan (clipboard)", RecentMenuCaption(entry));
    entry.WindowTitle.clear();
    entry.Path = L"C:\\x\\shot.png";
    EXPECT_EQ(L"01:00  shot.png (clipboard)", RecentMenuCaption(entry));
    entry.WindowTitle = std::wstring(100, L'가');
    const std::wstring caption = RecentMenuCaption(entry, 40);
    EXPECT_EQ(40u, caption.size());
    EXPECT_EQ(L"…", caption.substr(caption.size() - 13, 1));
}

TEST(HistorySearch, EveryWordMustOccurInTitleProcessFileTargetOrDate) {
    THistoryEntry entry;
    entry.TimeUtcMs = 1710000000 * kSecond;
    entry.UtcOffsetMinutes = 9 * 60;
    entry.Target = L"png";
    entry.Path = L"C:\\Shots\\Capture_0012.PNG";
    entry.WindowTitle = L"Отчёт — Résumé 보고서";
    entry.ProcessName = L"WINWORD.EXE";
    const std::wstring text = SearchText(entry);
    struct Case {
        const wchar_t* query;
        bool matches;
    };
    const Case cases[] = {
        {L"", true},
        {L"   ", true},
        {L"winword", true},
        {L"capture_0012", true},
        {L"ОТЧЁТ", true},         // Cyrillic capitals fold
        {L"RÉSUMÉ", true},        // Latin-1 capitals fold
        {L"보고서", true},
        {L"2024-03-10", true},   // the local date, not the UTC one
        {L"2024-03-09", false},
        {L"01:00", true},
        {L"png winword", true},
        {L"png excel", false},  // all words must match
        {L"shots", false},      // the folder is not searched, only the file name
        {L"\u3000winword\t", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.matches, MatchesSearch(text, SearchWords(c.query))) << WideToUtf8(c.query);
    }
}

TEST(HistorySearch, FoldCaseLeavesCaselessScriptsAlone) {
    EXPECT_EQ(L'a', FoldCase(L'A'));
    EXPECT_EQ(L'ё', FoldCase(L'Ё'));
    EXPECT_EQ(L'ω', FoldCase(L'Ω'));
    EXPECT_EQ(L'ą', FoldCase(L'Ą'));
    EXPECT_EQ(L'×', FoldCase(L'×'));
    EXPECT_EQ(L'한', FoldCase(L'한'));
    EXPECT_EQ(L'カ', FoldCase(L'カ'));
}

// The names stored histories hold: they never change with the lists.
TEST(HistoryNames, ModesAndTargetsKeepTheirStoredNames) {
    EXPECT_EQ(L"fullscreen", ModeName(TCaptureMode::FullScreen));
    EXPECT_EQ(L"color", ModeName(TCaptureMode::Color));
    EXPECT_EQ(L"scrolling", ModeName(TCaptureMode::Scrolling));
    EXPECT_EQ(L"png", TargetName(TSaveTarget::Png));
    EXPECT_EQ(L"clipboard", TargetName(TSaveTarget::Clipboard));
    EXPECT_EQ(L"floating", TargetName(TSaveTarget::Floating));
    EXPECT_EQ(L"gif-animated", TargetName(TSaveTarget::GifAnimated));
    EXPECT_TRUE(RecordedTarget(L"gif-animated"));
    EXPECT_TRUE(RecordedTarget(L"mp4"));
    EXPECT_FALSE(RecordedTarget(L"gif"));
    EXPECT_FALSE(RecordedTarget(L"unknown"));
    EXPECT_EQ(L"a.png", FileNameOf(L"C:\\x/y\\a.png"));
    EXPECT_EQ(L"a.png", FileNameOf(L"a.png"));
}

}  // namespace
}  // namespace tovasen
