#pragma once
// Shared pieces of the secret finder's scanners. Every scanner reads the normalised line (same
// length as the original, so its positions are the original's) and appends what it finds.
#include <cstddef>
#include <string_view>
#include <vector>

#include "redact/secrets.h"

namespace tovasen::secret_scan {

inline bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
inline bool IsUpper(wchar_t c) { return c >= L'A' && c <= L'Z'; }
inline bool IsLower(wchar_t c) { return c >= L'a' && c <= L'z'; }
inline bool IsAsciiLetter(wchar_t c) { return IsUpper(c) || IsLower(c); }
inline bool IsAsciiAlnum(wchar_t c) { return IsDigit(c) || IsAsciiLetter(c); }
inline bool IsHex(wchar_t c) { return IsDigit(c) || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'); }
inline wchar_t AsciiLower(wchar_t c) { return IsUpper(c) ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

// Letters of any script count as part of a word, so "v1.2.3.4" or "ID4111..." stay one word;
// punctuation, symbols and emoji (surrogates) do not.
inline bool IsWordChar(wchar_t c) {
    if (IsAsciiAlnum(c) || c == L'_') return true;
    if (c < 0xC0 || c == 0xD7 || c == 0xF7) return false;
    if ((c >= 0x2000 && c <= 0x2BFF) || (c >= 0x3000 && c <= 0x303F) || (c >= 0xD800 && c <= 0xDFFF)) return false;
    return !((c >= 0xFF00 && c <= 0xFF0F) || (c >= 0xFF1A && c <= 0xFF20) || (c >= 0xFF3B && c <= 0xFF40) || c >= 0xFF5B);
}

inline wchar_t At(std::wstring_view s, std::size_t i) { return i < s.size() ? s[i] : L'\0'; }
inline wchar_t Before(std::wstring_view s, std::size_t i) { return i > 0 && i <= s.size() ? s[i - 1] : L'\0'; }

// A digit run starting at i (exactly count digits, no digit after). Returns the value.
bool ReadDigits(std::wstring_view s, std::size_t i, std::size_t count, int& value);

// Reads a token of characters accepted by inAlphabet from start, stepping over a single space
// that a recogniser may have put inside it while fewer than minLength characters are read (and
// after that only into a piece that looks random: a digit or a capital in it). Stops at
// maxLength characters. Returns the end (one past the last token character) and the count.
struct TTokenEnd {
    std::size_t end;
    std::size_t count;
};
template <class Alphabet>
TTokenEnd ReadToken(std::wstring_view s, std::size_t start, Alphabet inAlphabet, std::size_t minLength,
                    std::size_t maxLength) {
    std::size_t i = start;
    std::size_t count = 0;
    std::size_t pieceLength = 0;
    while (count < maxLength) {
        const wchar_t c = At(s, i);
        if (inAlphabet(c)) {
            ++i;
            ++count;
            ++pieceLength;
            continue;
        }
        if (c != L' ' || count == 0 || !inAlphabet(At(s, i + 1))) break;
        if (count >= minLength) {
            // Past the shortest token only a long piece joins a random-looking one; a word such as
            // "then" after the token stays outside.
            bool looksRandom = false;
            std::size_t j = i + 1;
            for (; j < s.size() && inAlphabet(s[j]) && j - i <= 64; ++j) looksRandom = looksRandom || IsDigit(s[j]) || IsUpper(s[j]);
            if (pieceLength < 8 || !looksRandom || j - i - 1 < 4) break;
        }
        ++i;
        pieceLength = 0;
    }
    return {i, count};
}

void FindEmails(std::wstring_view s, std::vector<TSecretMatch>& out);
void FindUrlCredentials(std::wstring_view s, std::vector<TSecretMatch>& out);
void FindTokens(std::wstring_view s, std::vector<TSecretMatch>& out);
void FindPrivateKeyHeaders(std::wstring_view s, std::vector<TSecretMatch>& out);
void FindLabelledSecrets(std::wstring_view s, std::vector<TSecretMatch>& out);
void FindCards(std::wstring_view s, std::vector<TSecretMatch>& out);
void FindIbans(std::wstring_view s, std::vector<TSecretMatch>& out);
void FindResidentNumbers(std::wstring_view s, std::vector<TSecretMatch>& out);
void FindPhones(std::wstring_view s, std::vector<TSecretMatch>& out);
void FindIpAddresses(std::wstring_view s, std::vector<TSecretMatch>& out);

}  // namespace tovasen::secret_scan
