#include "base/text_helpers.h"

#include <algorithm>
#include <iterator>

namespace tovasen {
namespace {

struct CodeRange {
    char32_t first, last;
};

// Category Cf of the Unicode 15.0 character database, in order.
constexpr CodeRange kFormatCharacters[] = {
    {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},   {0x070F, 0x070F},
    {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x180E, 0x180E},   {0x200B, 0x200F},   {0x202A, 0x202E},
    {0x2060, 0x2064},   {0x2066, 0x206F},   {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD},
    {0x110CD, 0x110CD}, {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
    {0xE0020, 0xE007F},
};

std::wstring UpperAscii(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    }
    return text;
}

bool EndsAtQuote(const std::wstring& endMarker) {
    return !endMarker.empty() && std::wstring(L"\"'").find(endMarker) != std::wstring::npos;
}

// Whether the character at pos follows an odd number of backslashes, counting no further
// back than from.
bool IsEscaped(const std::wstring& text, std::size_t from, std::size_t pos) {
    std::size_t backslashes = 0;
    while (pos > from && text[pos - 1] == L'\\') {
        --pos;
        ++backslashes;
    }
    return backslashes % 2 == 1;
}

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

}  // namespace

std::wstring ExtractBetween(const std::wstring& source, const std::wstring& startMarker,
                            const std::wstring& endMarker) {
    const std::wstring upper = UpperAscii(source);
    std::size_t start = 0;
    if (!startMarker.empty()) {
        const std::size_t found = upper.find(UpperAscii(startMarker));
        if (found == std::wstring::npos) return {};
        start = found + startMarker.size();
    }
    if (endMarker.empty()) return source.substr(start);
    const std::wstring upperEnd = UpperAscii(endMarker);
    const bool quote = EndsAtQuote(endMarker);
    for (std::size_t pos = upper.find(upperEnd, start); pos != std::wstring::npos;
         pos = upper.find(upperEnd, pos + 1)) {
        if (!quote || !IsEscaped(upper, start, pos)) return source.substr(start, pos - start);
    }
    return {};
}

bool IsFormatCharacter(char32_t c) noexcept {
    const auto after = std::upper_bound(std::begin(kFormatCharacters), std::end(kFormatCharacters), c,
                                        [](char32_t value, const CodeRange& range) { return value < range.first; });
    return after != std::begin(kFormatCharacters) && c <= std::prev(after)->last;
}

std::wstring JsonUnescape(const std::wstring& value) {
    std::wstring out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const wchar_t c = value[i];
        if (c != L'\\') {
            out += c;
            continue;
        }
        if (++i == value.size()) break;  // a backslash at the very end is dropped
        switch (value[i]) {
        case L'"': case L'\'': case L'/': case L'\\': out += value[i]; break;
        case L'b': out += L'\b'; break;
        case L'f': out += L'\f'; break;
        case L'n': out += L'\n'; break;
        case L'r': out += L'\r'; break;
        case L't': out += L'\t'; break;
        case L'u': {
            if (value.size() - i - 1 < 4) throw EJsonEscape(L"Incomplete \\u escape in the reply.");
            unsigned code = 0;
            for (std::size_t k = 1; k <= 4; ++k) {
                const int digit = HexValue(value[i + k]);
                if (digit < 0) throw EJsonEscape(L"Invalid \\u escape in the reply.");
                code = code * 16 + static_cast<unsigned>(digit);
            }
            out += static_cast<wchar_t>(code);
            i += 4;
            break;
        }
        default:
            break;  // an unknown escape goes with its character
        }
    }
    return out;
}

}  // namespace tovasen
