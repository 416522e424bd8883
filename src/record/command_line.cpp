#include "record/command_line.h"

#include <algorithm>

namespace tovasen {
namespace {

wchar_t UpperAscii(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

// Environment names compare without regard to case, as the system does.
bool SameName(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return UpperAscii(x) == UpperAscii(y);
           });
}

std::wstring_view NameOf(std::wstring_view entry) {
    // Entries such as "=C:=C:\dir" start with '=': their name runs to the second '='.
    const std::size_t eq = entry.find(L'=', entry.empty() ? 0 : 1);
    return eq == std::wstring_view::npos ? entry : entry.substr(0, eq);
}

}  // namespace

std::wstring QuoteArgument(std::wstring_view argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring_view::npos) {
        return std::wstring(argument);
    }
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            out.append(backslashes * 2 + 1, L'\\');
        } else {
            out.append(backslashes, L'\\');
        }
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');  // they precede the closing quote
    out += L'"';
    return out;
}

std::wstring QuoteProgram(std::wstring_view path) { return L"\"" + std::wstring(path) + L"\""; }

std::wstring BuildEnvironmentBlock(std::wstring_view current, const std::vector<std::wstring>& added) {
    std::wstring block;
    for (std::size_t pos = 0; pos < current.size();) {
        const std::size_t end = current.find(L'\0', pos);
        const std::size_t stop = end == std::wstring_view::npos ? current.size() : end;
        if (stop == pos) break;  // the empty entry that ends the block
        const std::wstring_view entry = current.substr(pos, stop - pos);
        const bool replaced = std::any_of(added.begin(), added.end(),
                                          [&](const std::wstring& a) { return SameName(NameOf(a), NameOf(entry)); });
        if (!replaced) {
            block.append(entry);
            block += L'\0';
        }
        pos = stop + 1;
    }
    for (const std::wstring& entry : added) {
        if (entry.empty()) continue;  // an empty entry would end the block early
        block.append(entry);
        block += L'\0';
    }
    if (block.empty()) block += L'\0';
    block += L'\0';
    return block;
}

std::wstring InputText(std::wstring_view text, bool lineEnd) {
    std::wstring out(text);
    if (lineEnd) out += L"\r\n";
    return out;
}

}  // namespace tovasen
