// The value written after a label such as "password:" or "api_key=", in the languages whose
// recognition the program offers.
#include <string>
#include <string_view>
#include <vector>

#include "redact/secret_scan.h"

namespace tovasen::secret_scan {
namespace {

constexpr std::size_t kLongestKey = 40;
constexpr std::size_t kLongestValue = 256;

bool IsKeyChar(wchar_t c) { return IsWordChar(c) || c == L'-' || c == L'.' || c == L' '; }

wchar_t Lower(wchar_t c) {
    if (c >= 0x0410 && c <= 0x042F) return static_cast<wchar_t>(c + 0x20);  // Cyrillic capitals
    return AsciiLower(c);
}

// The key split into lower-case words at separators and at camel-case humps ("dbPassword",
// "client_secret", "X-Api-Key", "AWS_SECRET_ACCESS_KEY").
std::vector<std::wstring> KeyWords(std::wstring_view key) {
    std::vector<std::wstring> words(1);
    for (std::size_t i = 0; i < key.size(); ++i) {
        const wchar_t c = key[i];
        if (c == L'_' || c == L'-' || c == L'.' || c == L' ') {
            if (!words.back().empty()) words.emplace_back();
            continue;
        }
        if (IsUpper(c) && i > 0 && IsLower(key[i - 1]) && !words.back().empty()) words.emplace_back();
        words.back().push_back(Lower(c));
    }
    if (words.back().empty()) words.pop_back();
    return words;
}

bool IsLabel(std::wstring_view key) {
    const std::vector<std::wstring> words = KeyWords(key);
    if (words.empty()) return false;
    // The shell's working directory, not a password.
    if (key == L"PWD") return false;
    // A public key's token ("publicKeyToken") is published on purpose.
    for (const std::wstring& word : words)
        if (word == L"public") return false;
    const std::wstring& last = words.back();
    static constexpr std::wstring_view kWords[] = {L"password", L"passwd", L"pwd", L"passphrase", L"secret",
                                                   L"token", L"apikey", L"passwort", L"kennwort", L"contrase\u00F1a"};
    for (std::wstring_view w : kWords)
        if (last == w) return true;
    // Written without spaces, as these scripts are, the label may end a longer word
    // ("새비밀번호", "ログインパスワード").
    static constexpr std::wstring_view kEndings[] = {L"\uBE44\uBC00\uBC88\uD638", L"\uC554\uD638",
                                                     L"\u30D1\u30B9\u30EF\u30FC\u30C9", L"\u043F\u0430\u0440\u043E\u043B\u044C",
                                                     L"\u5BC6\u7801"};
    for (std::wstring_view w : kEndings)
        if (std::wstring_view(last).ends_with(w)) return true;
    if (words.size() >= 2 && last == L"key") {
        const std::wstring& before = words[words.size() - 2];
        return before == L"api" || before == L"secret" || before == L"access" || before == L"private" || before == L"auth";
    }
    return false;
}

// Code that names where the secret is instead of holding it: a call ("NewToken(", "Read(*token")
// or a member of an object ("box.token", "settings.Password"). Tokens with dots carry digits.
bool IsCodeReference(std::wstring_view value) {
    bool dotted = false;
    for (std::size_t k = 0; k < value.size(); ++k) {
        const wchar_t c = value[k];
        if (c == L'(') return k > 0;
        if (c == L'.' && k > 0 && IsAsciiLetter(At(value, k + 1))) {
            dotted = true;
            continue;
        }
        if (!IsAsciiLetter(c) && c != L'_') return false;
    }
    return dotted;
}

// Values that stand in for a secret rather than being one: masks, empty markers, placeholders,
// references to a variable holding it, and values too short to be a password ("token = 0").
bool IsPlaceholder(std::wstring_view value) {
    if (value.size() < 4 || IsCodeReference(value)) return true;
    const wchar_t first = value.front();
    if (first == L'<' || first == L'$' || first == L'%' || first == L'{') return true;
    bool masked = true;
    for (wchar_t c : value)
        masked = masked && (c == L'*' || c == L'\u2022' || c == L'\u25CF' || c == L'\u00B7' || c == L'x' || c == L'X' ||
                            c == L'.' || c == L'-' || c == L'_');
    if (masked) return true;
    std::wstring lower;
    for (wchar_t c : value) lower.push_back(AsciiLower(c));
    static constexpr std::wstring_view kWords[] = {L"null", L"none", L"nil", L"undefined", L"true", L"false",
                                                   L"required", L"optional", L"hidden"};
    for (std::wstring_view w : kWords)
        if (lower == w) return true;
    return false;
}

// A label followed by a sentence ("Password: must be 8 characters long") rather than by a
// value: a word of letters only, then another word that is not a key of its own ("host=db").
bool StartsProse(std::wstring_view s, std::size_t start, std::size_t end) {
    for (std::size_t k = start; k < end; ++k)
        if (!IsAsciiLetter(s[k])) return false;
    if (At(s, end) != L' ' || !IsLower(At(s, end + 1))) return false;
    for (std::size_t k = end + 1; k < s.size() && k - end < kLongestKey && s[k] != L' '; ++k)
        if (s[k] == L'=' || s[k] == L':') return false;
    return true;
}

// The key ending just before the marker at mark (spaces and one quote allowed between).
std::wstring_view KeyBefore(std::wstring_view s, std::size_t mark) {
    std::size_t end = mark;
    while (end > 0 && mark - end < 3 && s[end - 1] == L' ') --end;
    if (end > 0 && (s[end - 1] == L'"' || s[end - 1] == L'\'')) --end;
    std::size_t start = end;
    while (start > 0 && end - start < kLongestKey && IsKeyChar(s[start - 1])) --start;
    while (start < end && s[start] == L' ') ++start;
    return s.substr(start, end - start);
}

// "&name=" after a value in an address's query: the value ends there. A lone '&' ("Tr0ub4dor&3")
// stays part of it.
bool StartsNextParameter(std::wstring_view s, std::size_t i) {
    if (s[i] != L'&') return false;
    std::size_t k = i + 1;
    while (k < s.size() && k - i < 32 && (IsAsciiAlnum(s[k]) || s[k] == L'_' || s[k] == L'-')) ++k;
    return k > i + 1 && At(s, k) == L'=';
}

}  // namespace

void FindLabelledSecrets(std::wstring_view s, std::vector<TSecretMatch>& out) {
    for (std::size_t mark = 0; mark < s.size(); ++mark) {
        const wchar_t c = s[mark];
        if (c != L':' && c != L'=') continue;
        const wchar_t next = At(s, mark + 1);
        if (next == L'=' || next == L':' || (c == L':' && next == L'/')) continue;
        if (c == L'=' && (Before(s, mark) == L'!' || Before(s, mark) == L'<' || Before(s, mark) == L'>' ||
                          Before(s, mark) == L'=' || Before(s, mark) == L':'))
            continue;
        if (!IsLabel(KeyBefore(s, mark))) continue;
        std::size_t start = mark + 1;
        while (start < s.size() && start - mark < 8 && (s[start] == L' ' || s[start] == L'\t')) ++start;
        const wchar_t quote = At(s, start);
        std::size_t end = start;
        if (quote == L'"' || quote == L'\'') {
            ++start;
            end = start;
            while (end < s.size() && end - start < kLongestValue && s[end] != quote) ++end;
            if (At(s, end) != quote) {
                end = start;
                while (end < s.size() && end - start < kLongestValue && s[end] != L' ' && s[end] != L'\t') ++end;
            }
        } else {
            while (end < s.size() && end - start < kLongestValue && s[end] != L' ' && s[end] != L'\t' &&
                   !StartsNextParameter(s, end))
                ++end;
            while (end > start && (s[end - 1] == L',' || s[end - 1] == L';' || s[end - 1] == L')' ||
                                   s[end - 1] == L'"' || s[end - 1] == L'\''))
                --end;
        }
        const std::wstring_view value = s.substr(start, end - start);
        if (IsPlaceholder(value) || (quote != L'"' && quote != L'\'' && StartsProse(s, start, end))) continue;
        out.push_back({start, end - start, TSecretKind::LabelledSecret});
        mark = end > mark ? end - 1 : mark;
    }
}

}  // namespace tovasen::secret_scan
