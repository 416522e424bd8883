#pragma once
#include <string>
#include <string_view>

namespace tovasen {

// UTF-8 <-> the program's wide strings (UTF-16 on Windows; UTF-32 where wchar_t is 32 bits, as
// on the Linux test builds). Malformed input becomes U+FFFD instead of failing.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

}  // namespace tovasen
