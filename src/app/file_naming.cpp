#include "app/file_naming.h"

#include <cstdio>
#include <cwchar>
#include <limits>

namespace tovasen {
namespace {

constexpr std::uint32_t kDirectoryOnly = 0x10;

bool HasInvalidPathCharacters(const std::wstring& text, const wchar_t* invalid) {
    for (wchar_t c : text) {
        if (c < 32 || std::wcschr(invalid, c)) return true;
    }
    return false;
}

// A whole decimal integer with an optional sign; -1 for anything else.
int ParseInteger(const std::wstring& text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    if (i == text.size()) return -1;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < L'0' || text[i] > L'9') return -1;
        value = value * 10 + (text[i] - L'0');
        if (value > std::numeric_limits<int>::max()) return -1;
    }
    return static_cast<int>(negative ? -value : value);
}

}  // namespace

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    if (HasInvalidPathCharacters(folder, L"<>\"|?*") || HasInvalidPathCharacters(name, L"<>\"|?*:/\\")) {
        throw EInvalidPath();
    }
    return AppendToFolder(folder, name);
}

std::wstring AppendToFolder(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty()) return name;
    const wchar_t last = folder.back();
    return (last == L'\\' || last == L'/') ? folder + name : folder + L"\\" + name;
}

int HighestSequenceNumber(const std::vector<DirEntry>& entries) {
    int result = 0;
    for (const DirEntry& entry : entries) {
        if (entry.attributes == kDirectoryOnly) continue;
        if (entry.name.compare(0, 2, L"T-") != 0) continue;
        const std::size_t dot = entry.name.find(L'.', 2);
        const std::wstring candidate = dot == std::wstring::npos ? L"" : entry.name.substr(2, dot - 2);
        const int value = ParseInteger(candidate);
        if (value > result) result = value;
    }
    return result;
}

std::wstring SequenceName(int number, const std::wstring& ext) {
    wchar_t digits[16];
    std::swprintf(digits, 16, L"%03d", number);
    return L"T-" + std::wstring(digits) + L"." + ext;
}

std::wstring DateTimeName(const LocalTime& t, const std::wstring& ext) {
    wchar_t stamp[32];
    std::swprintf(stamp, 32, L"%04d%02d%02d-%02d%02d%02d%03d", t.year, t.month, t.day, t.hour, t.minute, t.second,
                  t.millisecond);
    return L"T-" + std::wstring(stamp) + L"." + ext;
}

std::wstring NewFilename(NamingScheme scheme, const std::wstring& folder, const std::wstring& ext,
                         const NamingContext& context) {
    if (scheme == NamingScheme::Continue || scheme == NamingScheme::FirstFree) {
        int n = scheme == NamingScheme::Continue ? HighestSequenceNumber(context.listFolder()) : 0;
        for (;;) {
            const std::wstring path = JoinPath(folder, SequenceName(++n, ext));
            if (!context.exists(path)) return path;
        }
    }
    const std::wstring name = DateTimeName(context.now(), ext);
    std::wstring path = JoinPath(folder, name);
    const std::wstring stem = name.substr(0, name.size() - ext.size() - 1);
    for (int suffix = 1; context.exists(path); ++suffix) {
        path = JoinPath(folder, stem + L"-" + std::to_wstring(suffix) + L"." + ext);
    }
    return path;
}

}  // namespace tovasen
