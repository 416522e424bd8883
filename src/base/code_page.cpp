#include "base/code_page.h"

#include <windows.h>

#include <algorithm>

namespace tovasen {
namespace {

// The number behind CP_ACP and CP_OEMCP: a system whose ANSI code page is UTF-8 must be asked
// as UTF-8.
unsigned Resolved(unsigned codePage) {
    if (codePage == CP_ACP) return GetACP();
    if (codePage == CP_OEMCP) return GetOEMCP();
    return codePage;
}

// UTF-8 and UTF-7 have bytes for every character: the system takes neither the best-fit flag
// nor the question whether a default character was used for them.
bool HoldsEveryCharacter(unsigned codePage) { return codePage == CP_UTF8 || codePage == CP_UTF7; }

// The bytes of text, or nothing when the system refuses. lost (where given) says whether a
// character had to be replaced.
std::optional<std::string> Encode(std::wstring_view text, unsigned codePage, DWORD flags, BOOL* lost) {
    if (text.empty()) return std::string();
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, lost);
    if (size <= 0) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (WideCharToMultiByte(codePage, flags, text.data(), length, bytes.data(), size, nullptr, lost) != size) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace

std::wstring CodePageToWide(std::string_view bytes, unsigned codePage) {
    if (bytes.empty()) return {};
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    if (length <= 0) return {};
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    text.resize(static_cast<std::size_t>(
        std::max(0, MultiByteToWideChar(codePage, 0, bytes.data(), size, text.data(), length))));
    return text;
}

std::string WideToCodePage(std::wstring_view text, unsigned codePage, TUnmappable unmappable) {
    codePage = Resolved(codePage);
    const bool lookAlike = unmappable == TUnmappable::LookAlike || HoldsEveryCharacter(codePage);
    return Encode(text, codePage, lookAlike ? 0 : WC_NO_BEST_FIT_CHARS, nullptr).value_or(std::string());
}

std::optional<std::string> WideToCodePageExactly(std::wstring_view text, unsigned codePage) {
    codePage = Resolved(codePage);
    if (HoldsEveryCharacter(codePage)) return Encode(text, codePage, 0, nullptr);
    BOOL lost = FALSE;
    std::optional<std::string> bytes = Encode(text, codePage, WC_NO_BEST_FIT_CHARS, &lost);
    if (lost) return std::nullopt;
    return bytes;
}

}  // namespace tovasen
