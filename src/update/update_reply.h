#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace tovasen {

// The update service's answer, read by markers as the service writes it. A value whose escapes
// do not decode is empty; the others are still read.
struct UpdateReply {
    std::wstring update;  // address of the new version; empty: none
    std::wstring notify;  // address behind the update-available strip; empty: no strip
    std::wstring style;   // "hold", "note", another text or empty, from the "info" object
    std::wstring text;    // caption of the check box or the link
    std::wstring flag;    // "stayontop" somewhere in it keeps the dialog on top
    std::wstring url;     // address of the link
};
UpdateReply ParseUpdateReply(const std::wstring& reply);

// Server text fit to show: control characters, format characters (the bidirectional
// overrides and isolates, zero-width and tag characters) and lone surrogate halves removed,
// then at most 256 UTF-16 units, never ending inside a surrogate pair.
inline constexpr std::size_t kMaxServerText = 256;
std::wstring CleanServerText(std::wstring_view text);

// The installation identifier: 8 hex digits of first, the date as yymmdd, 4 hex digits of
// second, the time as hhnnss, 8 hex digits of third (upper case, 32 characters). The numbers
// are reduced to 0 ... 0x7FFFFFFE, 0 ... 0xFFFE and 0 ... 0x7FFFFFFE.
struct LocalStamp {
    int year, month, day, hour, minute, second;
};
std::wstring MakeKuid(std::uint32_t first, std::uint32_t second, std::uint32_t third, const LocalStamp& at);
// Whether a stored identifier has that shape; anything else is not sent (it goes into a header).
bool IsValidKuid(std::wstring_view kuid);

// The request headers of the check and of the hold command, each line ending in CR LF. A
// language code that is not two to three letters is sent empty.
std::wstring UpdateCheckHeaders(const std::wstring& version, const std::wstring& language, const std::wstring& kuid);
std::wstring UpdateHoldHeaders(const std::wstring& version);

// Whether the address is one the update check may ask: https with a host.
bool IsHttpsAddress(std::wstring_view address);

// The dialog's texts in one language (English for every code without its own).
struct UpdateTexts {
    const wchar_t* dialog;  // three sentences joined by CR CR
    const wchar_t* status;
    const wchar_t* yes;
    const wchar_t* no;
};
UpdateTexts UpdateTextsFor(std::wstring_view language);

}  // namespace tovasen
