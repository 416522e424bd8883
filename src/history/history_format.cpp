#include "history/history_format.h"


namespace tovasen {
namespace {

struct TCivilTime {
    long long Year;
    int Month, Day, Hour, Minute, Second;
};

long long FloorDiv(long long a, long long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }

// Local wall-clock fields of a moment; days to a date by the proleptic Gregorian calendar.
TCivilTime CivilTime(std::int64_t utcMs, int offsetMinutes) {
    const long long seconds = FloorDiv(utcMs, 1000) + static_cast<long long>(offsetMinutes) * 60;
    const long long days = FloorDiv(seconds, 86400);
    const long long inDay = seconds - days * 86400;
    const long long z = days + 719468;
    const long long era = FloorDiv(z, 146097);
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const long long year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    return {year, month, day, static_cast<int>(inDay / 3600), static_cast<int>(inDay / 60 % 60),
            static_cast<int>(inDay % 60)};
}

// value in decimal with at least width digits (a sign first when negative).
std::wstring Padded(long long value, std::size_t width) {
    std::wstring digits = std::to_wstring(value < 0 ? -value : value);
    if (digits.size() < width) digits.insert(0, width - digits.size(), L'0');
    return value < 0 ? L"-" + digits : digits;
}

std::wstring Format(std::int64_t utcMs, int offsetMinutes, bool iso) {
    const TCivilTime t = CivilTime(utcMs, offsetMinutes);
    std::wstring text = Padded(t.Year, 4) + L"-" + Padded(t.Month, 2) + L"-" + Padded(t.Day, 2) + (iso ? L"T" : L" ") +
                        Padded(t.Hour, 2) + L":" + Padded(t.Minute, 2) + L":" + Padded(t.Second, 2);
    if (iso) {
        const int magnitude = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
        text += (offsetMinutes < 0 ? L"-" : L"+") + Padded(magnitude / 60, 2) + L":" + Padded(magnitude % 60, 2);
    }
    return text;
}

std::wstring Field(const std::wstring& text) {
    std::wstring out = text;
    for (wchar_t& c : out) {
        if (c == L'\t' || c == L'\r' || c == L'\n' || c == 0x2028 || c == 0x2029) c = L' ';
    }
    return out;
}

std::wstring Folded(std::wstring text) {
    for (wchar_t& c : text) c = FoldCase(c);
    return text;
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == 0x3000; }

}  // namespace

wchar_t FoldCase(wchar_t c) {
    if (c >= L'A' && c <= L'Z') return static_cast<wchar_t>(c + 32);
    if (c < 0xC0) return c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F)) {
        return static_cast<wchar_t>(c + 32);
    }
    if (c >= 0x400 && c <= 0x40F) return static_cast<wchar_t>(c + 80);
    // Latin Extended-A pairs capitals and small letters as even and odd code points.
    if (c >= 0x100 && c <= 0x137 && c % 2 == 0) return static_cast<wchar_t>(c + 1);
    return c;
}

std::wstring IsoLocalTime(std::int64_t utcMs, int offsetMinutes) { return Format(utcMs, offsetMinutes, true); }

std::wstring DisplayTime(std::int64_t utcMs, int offsetMinutes) { return Format(utcMs, offsetMinutes, false); }

std::wstring HistoryLine(const THistoryEntry& entry) {
    return IsoLocalTime(entry.TimeUtcMs, entry.UtcOffsetMinutes) + L"\t" + Field(entry.Target) + L"\t" +
           Field(entry.Path) + L"\t" + Field(entry.WindowTitle);
}

std::wstring RecentMenuCaption(const THistoryEntry& entry, std::size_t maxLength) {
    // No tab either: it would start the menu's accelerator column.
    std::wstring name = Field(entry.WindowTitle.empty() ? FileNameOf(entry.Path) : entry.WindowTitle);
    const std::wstring time = DisplayTime(entry.TimeUtcMs, entry.UtcOffsetMinutes).substr(11, 5);
    const std::wstring suffix = L" (" + Field(entry.Target) + L")";
    const std::size_t fixed = time.size() + 2 + suffix.size();
    const std::size_t room = maxLength > fixed + 1 ? maxLength - fixed : 1;
    if (name.size() > room) name = name.substr(0, room - 1) + L"\x2026";
    std::wstring caption = time + L"  ";
    for (wchar_t c : name) {
        caption += c;
        if (c == L'&') caption += L'&';
    }
    return caption + suffix;
}

std::wstring SearchText(const THistoryEntry& entry) {
    return Folded(entry.WindowTitle + L"\n" + entry.ProcessName + L"\n" + FileNameOf(entry.Path) + L"\n" +
                  entry.Target + L"\n" + DisplayTime(entry.TimeUtcMs, entry.UtcOffsetMinutes));
}

std::vector<std::wstring> SearchWords(std::wstring_view query) {
    std::vector<std::wstring> words;
    std::size_t i = 0;
    while (i < query.size()) {
        while (i < query.size() && IsBlank(query[i])) ++i;
        const std::size_t start = i;
        while (i < query.size() && !IsBlank(query[i])) ++i;
        if (i > start) words.push_back(Folded(std::wstring(query.substr(start, i - start))));
    }
    return words;
}

bool MatchesSearch(const std::wstring& searchText, const std::vector<std::wstring>& words) {
    for (const std::wstring& word : words) {
        if (searchText.find(word) == std::wstring::npos) return false;
    }
    return true;
}

}  // namespace tovasen
