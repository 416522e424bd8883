#include "base/log_line.h"

#include <cstdio>

#include "base/utf_convert.h"

namespace tovasen {
namespace {

bool IsHighSurrogate(wchar_t c) noexcept { return c >= 0xD800 && c <= 0xDBFF; }

bool IsControl(wchar_t c) noexcept {
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

}  // namespace

std::wstring OneLogLine(std::wstring_view text, std::size_t maxChars) {
    static constexpr std::wstring_view Ellipsis = L"...";
    const bool cut = text.size() > maxChars;
    std::size_t keep = text.size();
    if (cut) {
        keep = maxChars > Ellipsis.size() ? maxChars - Ellipsis.size() : 0;
        if (keep > 0 && IsHighSurrogate(text[keep - 1])) --keep;
    }
    std::wstring line;
    line.reserve(keep + (cut ? Ellipsis.size() : 0));
    for (std::size_t i = 0; i < keep; ++i) line.push_back(IsControl(text[i]) ? L' ' : text[i]);
    if (cut) line.append(Ellipsis.substr(0, maxChars - keep));
    return line;
}

std::string FormatLogLine(const TLogTime& time, unsigned long threadId, std::wstring_view where,
                          std::wstring_view what) {
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d [%lu] ", time.Year, time.Month,
                  time.Day, time.Hour, time.Minute, time.Second, time.Millisecond, threadId);
    std::string line = stamp;
    line += WideToUtf8(OneLogLine(where, MaxLogPlaceChars));
    line += ": ";
    line += WideToUtf8(OneLogLine(what));
    line += "\r\n";
    return line;
}

bool LogNeedsRotation(std::uint64_t fileBytes, std::uint64_t lineBytes, std::uint64_t limit) noexcept {
    return fileBytes > 0 && fileBytes + lineBytes > limit;
}

}  // namespace tovasen
