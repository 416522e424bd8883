#pragma once
// The diagnostic record's lines, apart from the file they go to: what a line says, how a
// message is kept to one line, and when the file is full.
#include <cstdint>
#include <string>
#include <string_view>

namespace tovasen {

// A local time to the millisecond, as the line shows it.
struct TLogTime {
    int Year = 0;
    int Month = 0;
    int Day = 0;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int Millisecond = 0;
};

// The most characters a line keeps of a place or of a message; longer ones are cut and end
// in "...". Error texts can quote a whole server reply: the record stays readable without it.
inline constexpr std::size_t MaxLogPlaceChars = 40;
inline constexpr std::size_t MaxLogMessageChars = 2000;

// The size at which the record moves aside and a new one starts.
inline constexpr std::uint64_t LogRotationBytes = 1024 * 1024;

// text on one line: line breaks, tabs and other control characters become spaces (a message
// must not be able to forge a line of its own), and at most maxChars characters are kept
// without splitting a surrogate pair.
std::wstring OneLogLine(std::wstring_view text, std::size_t maxChars = MaxLogMessageChars);

// "2026-12-09 19:00:37.123 [1234] update-check: the message\r\n" in UTF-8.
std::string FormatLogLine(const TLogTime& time, unsigned long threadId, std::wstring_view where,
                          std::wstring_view what);

// Whether a file of fileBytes must move aside before a line of lineBytes is added: only when
// the line would take it past limit, and never for an empty file (a line longer than the
// limit still goes somewhere instead of rotating forever).
bool LogNeedsRotation(std::uint64_t fileBytes, std::uint64_t lineBytes,
                      std::uint64_t limit = LogRotationBytes) noexcept;

}  // namespace tovasen
