#pragma once
// Text to and from the byte encodings of Windows code pages (the ANSI and OEM code pages, the
// console's, UTF-8), for the places where bytes meet other programs: a console, a child's
// pipes, a server's reply, a text file an editor of the system's code page reads.
#include <optional>
#include <string>
#include <string_view>

namespace tovasen {

// The system's ANSI code page, resolved when a conversion runs (CP_ACP).
inline constexpr unsigned kAnsiCodePage = 0;
inline constexpr unsigned kUtf8CodePage = 65001;

// Bytes in codePage as text. Byte sequences the code page does not define become what the
// system makes of them (U+FFFD in UTF-8); bytes the system refuses as a whole give no text.
std::wstring CodePageToWide(std::string_view bytes, unsigned codePage);

// What a character the code page has no bytes for becomes.
enum class TUnmappable {
    LookAlike,  // a similar character where the system knows one (u with a ring as a plain u), else '?'
    Question,   // always the code page's default character, usually '?'
};

// Text as bytes in codePage; UTF-8 and UTF-7 hold every character. Nothing when the system
// refuses the code page.
std::string WideToCodePage(std::wstring_view text, unsigned codePage, TUnmappable unmappable);

// Text as bytes in codePage only when every character has its own bytes there: nothing when
// one would be replaced, or when the system refuses the code page.
std::optional<std::string> WideToCodePageExactly(std::wstring_view text, unsigned codePage);

}  // namespace tovasen
