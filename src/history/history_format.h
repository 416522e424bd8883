#pragma once
// How history entries read as text: the lines of "tovasen-cmd history", the dates the window
// shows, and the search that answers as the user types.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "history/history_entry.h"

namespace tovasen {

// The moment as ISO 8601 local time with its offset, to the second: "2024-03-09T14:05:07+09:00".
std::wstring IsoLocalTime(std::int64_t utcMs, int offsetMinutes);
// The same moment as the window shows it: "2024-03-09 14:05:07".
std::wstring DisplayTime(std::int64_t utcMs, int offsetMinutes);

// One line of "tovasen-cmd history", without a line end: time, target, path and window title,
// separated by tabs. A tab or line break inside a field becomes a space, so a hostile window
// title can neither add a column nor a line.
std::wstring HistoryLine(const THistoryEntry& entry);

// An entry as the "Recent" menu shows it: "14:05  Title (png)", the file name when there is no
// title, at most maxLength characters. "&" is doubled so that no title makes a mnemonic.
std::wstring RecentMenuCaption(const THistoryEntry& entry, std::size_t maxLength = 60);

// The text a search looks through (window title, process, file name, target and date), folded
// to lower case once so that a search per keystroke stays cheap.
std::wstring SearchText(const THistoryEntry& entry);
// The words of what the user typed, folded the same way; blanks separate words.
std::vector<std::wstring> SearchWords(std::wstring_view query);
// True when every word occurs in searchText (no words: everything matches).
bool MatchesSearch(const std::wstring& searchText, const std::vector<std::wstring>& words);

// Lower case for the scripts the interface is translated into (Latin, Greek, Cyrillic);
// other characters (Hangul, kana, Han) have no case and stay.
wchar_t FoldCase(wchar_t c);

}  // namespace tovasen
