#include "i18n/translation.h"

#include "base/utf_convert.h"

namespace tovasen {

std::vector<std::wstring> TranslationTable;
std::wstring CurrentLanguage;

namespace {

wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

std::wstring WithLineBreaks(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\\' && i + 1 < text.size() && text[i + 1] == L'n') {
            out += L'\r';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The code is what stands before the first '='; a line without one has no text.
std::wstring_view CodeOf(std::wstring_view line) {
    const std::size_t eq = line.find(L'=');
    return eq == std::wstring_view::npos ? line : line.substr(0, eq);
}

std::optional<std::wstring_view> TextOf(std::wstring_view line) {
    const std::size_t eq = line.find(L'=');
    if (eq == std::wstring_view::npos) return std::nullopt;
    return line.substr(eq + 1);
}

}  // namespace

std::vector<std::wstring> ParseTranslationTable(std::string_view utf8) {
    if (utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
    const std::wstring text = Utf8ToWide(utf8);
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\r' && text[i] != L'\n') continue;
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

std::wstring TranslateWith(const std::vector<std::wstring>& table, std::wstring_view text, std::wstring_view lang) {
    std::wstring result = WithLineBreaks(text);
    if (text.empty()) return result;
    std::size_t found = 0;
    for (; found < table.size(); ++found) {
        const auto candidate = TextOf(table[found]);
        if (candidate && EqualsIgnoringAsciiCase(*candidate, text)) break;
    }
    if (found == table.size()) return result;
    std::size_t first = found;
    while (first > 0 && !table[first - 1].empty()) --first;
    for (std::wstring_view wanted : {lang, std::wstring_view(L"en")}) {
        for (std::size_t i = first; i < table.size() && !table[i].empty(); ++i) {
            if (CodeOf(table[i]) == wanted) return WithLineBreaks(TextOf(table[i]).value_or(L""));
        }
    }
    return result;
}

std::wstring Translate(std::wstring_view text, std::wstring_view lang) {
    return TranslateWith(TranslationTable, text, lang.empty() ? std::wstring_view(CurrentLanguage) : lang);
}

int LanguageIndex(std::wstring_view code) {
    for (std::size_t i = 0; i < kLanguageCodes.size(); ++i) {
        if (code == kLanguageCodes[i]) return static_cast<int>(i);
    }
    return -1;
}

std::wstring ResolveLanguage(const std::optional<std::wstring>& stored, const std::wstring& userLanguage) {
    const std::wstring code = stored ? *stored : userLanguage.substr(0, 2);
    return LanguageIndex(code) >= 0 ? code : L"en";
}

std::wstring FillIn(std::wstring format, std::initializer_list<std::wstring> values) {
    std::size_t from = 0;
    for (const std::wstring& value : values) {
        const std::size_t at = format.find(L"%s", from);
        if (at == std::wstring::npos) break;
        format.replace(at, 2, value);
        from = at + value.size();
    }
    return format;
}

std::wstring FileMissingText(const std::wstring& file) {
    const std::wstring text = Translate(L"\"%s\" 파일이 없습니다.");
    return text.find(L"%s") == std::wstring::npos ? text + L" " + file : FillIn(text, {file});
}

}  // namespace tovasen
