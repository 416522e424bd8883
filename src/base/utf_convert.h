#pragma once
#include <string>
#include <string_view>

namespace tovasen {

// UTF-8 <-> the program's wide strings (UTF-16 on Windows; UTF-32 where wchar_t is 32 bits, as
// on the Linux test builds). Malformed input becomes U+FFFD instead of failing.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
// UTF-16 code units (as Windows messages carry them) to the program's wide strings.
std::wstring Utf16ToWide(std::u16string_view text);

}  // namespace tovasen
