// Numbers that pass their checks: payment cards (issuer prefix and Luhn), IBANs (country length
// and mod 97), Korean resident registration numbers (a real birth date) and phone numbers in
// the shapes people write them. Near misses (dates, prices, ISBNs, order numbers) fail a check.
#include <array>
#include <cstdint>
#include <string>

#include "redact/secret_scan.h"

namespace tovasen::secret_scan {
namespace {

// A separator after which digits go on, as in "1,234" or "10.5": the run belongs to a longer
// number and is not a start of its own.
bool ContinuesNumber(std::wstring_view s, std::size_t i) {
    const wchar_t c = Before(s, i);
    return (c == L'.' || c == L',') && i >= 2 && IsDigit(s[i - 2]);
}

bool StartsFree(std::wstring_view s, std::size_t i) {
    return !IsWordChar(Before(s, i)) && !ContinuesNumber(s, i);
}

bool EndsFree(std::wstring_view s, std::size_t end) {
    const wchar_t c = At(s, end);
    if (IsWordChar(c)) return false;
    return !((c == L'.' || c == L',') && IsDigit(At(s, end + 1)));
}

std::size_t DigitRun(std::wstring_view s, std::size_t i) {
    std::size_t n = 0;
    while (IsDigit(At(s, i + n))) ++n;
    return n;
}

// ---- payment cards ----

bool LuhnValid(const std::array<int, 19>& d, std::size_t n) {
    int sum = 0;
    for (std::size_t k = 0; k < n; ++k) {
        int v = d[n - 1 - k];
        if (k % 2 == 1) v = v * 2 > 9 ? v * 2 - 9 : v * 2;
        sum += v;
    }
    return sum % 10 == 0;
}

bool KnownIssuer(const std::array<int, 19>& d, std::size_t n) {
    const int p2 = d[0] * 10 + d[1];
    const int p3 = p2 * 10 + d[2];
    const int p4 = p3 * 10 + d[3];
    const bool long16to19 = n >= 16 && n <= 19;
    if (d[0] == 4) return n == 13 || n == 16 || n == 19;                        // Visa
    if ((p2 >= 51 && p2 <= 55) || (p4 >= 2221 && p4 <= 2720)) return n == 16;  // Mastercard
    if (p2 == 34 || p2 == 37) return n == 15;                                   // American Express
    if (p4 == 6011 || p2 == 65 || (p3 >= 644 && p3 <= 649)) return long16to19;  // Discover
    if (p4 >= 3528 && p4 <= 3589) return long16to19;                            // JCB
    if ((p3 >= 300 && p3 <= 305) || p2 == 36 || p2 == 38) return n >= 14 && n <= 19;  // Diners Club
    if (p2 == 62) return long16to19;                                            // UnionPay
    return false;
}

// The digits from start either in one run or in groups (the first of four, the rest of three
// to six) joined by one kind of separator; the longest piece of 13 to 19 digits that passes.
// Returns the end of that piece, or 0.
std::size_t CardEnd(std::wstring_view s, std::size_t start) {
    std::array<int, 19> d{};
    std::size_t n = 0;
    const std::size_t first = DigitRun(s, start);
    if (first >= 13 && first <= 19) {
        for (std::size_t k = 0; k < first; ++k) d[k] = s[start + k] - L'0';
        return EndsFree(s, start + first) && LuhnValid(d, first) && KnownIssuer(d, first) ? start + first : 0;
    }
    if (first != 4 && At(s, start + first) == L' ' && IsDigit(At(s, start + first + 1))) {
        // One stray space a recogniser put into an ungrouped number.
        const std::size_t second = DigitRun(s, start + first + 1);
        const std::size_t total = first + second;
        if (total < 13 || total > 19) return 0;
        for (std::size_t k = 0; k < first; ++k) d[k] = s[start + k] - L'0';
        for (std::size_t k = 0; k < second; ++k) d[first + k] = s[start + first + 1 + k] - L'0';
        const std::size_t end = start + first + 1 + second;
        return EndsFree(s, end) && LuhnValid(d, total) && KnownIssuer(d, total) ? end : 0;
    }
    if (first != 4) return 0;
    const wchar_t separator = At(s, start + 4);
    if (separator != L' ' && separator != L'-') return 0;
    std::size_t best = 0;
    std::size_t i = start;
    for (std::size_t group = 0;; ++group) {
        const std::size_t run = DigitRun(s, i);
        if (group > 0 && (run < 3 || run > 6)) break;
        if (n + run > 19) break;
        for (std::size_t k = 0; k < run; ++k) d[n + k] = s[i + k] - L'0';
        n += run;
        i += run;
        if (n >= 13 && LuhnValid(d, n) && KnownIssuer(d, n) &&
            (EndsFree(s, i) || (At(s, i) == separator && IsDigit(At(s, i + 1)))))
            best = i;
        if (At(s, i) != separator || !IsDigit(At(s, i + 1))) break;
        ++i;
    }
    return best;
}

// ---- IBAN ----

struct TIbanCountry {
    wchar_t code[3];
    std::uint8_t length;
};

constexpr TIbanCountry kIbanCountries[] = {
    {L"AD", 24}, {L"AE", 23}, {L"AL", 28}, {L"AT", 20}, {L"AZ", 28}, {L"BA", 20}, {L"BE", 16}, {L"BG", 22},
    {L"BH", 22}, {L"BR", 29}, {L"BY", 28}, {L"CH", 21}, {L"CR", 22}, {L"CY", 28}, {L"CZ", 24}, {L"DE", 22},
    {L"DK", 18}, {L"DO", 28}, {L"EE", 20}, {L"EG", 29}, {L"ES", 24}, {L"FI", 18}, {L"FO", 18}, {L"FR", 27},
    {L"GB", 22}, {L"GE", 22}, {L"GI", 23}, {L"GL", 18}, {L"GR", 27}, {L"GT", 28}, {L"HR", 21}, {L"HU", 28},
    {L"IE", 22}, {L"IL", 23}, {L"IQ", 23}, {L"IS", 26}, {L"IT", 27}, {L"JO", 30}, {L"KW", 30}, {L"KZ", 20},
    {L"LB", 28}, {L"LC", 32}, {L"LI", 21}, {L"LT", 20}, {L"LU", 20}, {L"LV", 21}, {L"LY", 25}, {L"MC", 27},
    {L"MD", 24}, {L"ME", 22}, {L"MK", 19}, {L"MR", 27}, {L"MT", 31}, {L"MU", 30}, {L"NL", 18}, {L"NO", 15},
    {L"PK", 24}, {L"PL", 28}, {L"PS", 29}, {L"PT", 25}, {L"QA", 29}, {L"RO", 24}, {L"RS", 22}, {L"SA", 24},
    {L"SC", 31}, {L"SD", 18}, {L"SE", 24}, {L"SI", 19}, {L"SK", 24}, {L"SM", 27}, {L"ST", 25}, {L"SV", 28},
    {L"TL", 23}, {L"TN", 24}, {L"TR", 26}, {L"UA", 29}, {L"VA", 22}, {L"VG", 24}, {L"XK", 20},
};

std::size_t IbanLength(wchar_t a, wchar_t b) {
    for (const TIbanCountry& c : kIbanCountries)
        if (c.code[0] == a && c.code[1] == b) return c.length;
    return 0;
}

// Reads the IBAN's characters from start (printed groups of four may be split by one space)
// and checks its mod 97. Returns the end, or 0.
std::size_t IbanEnd(std::wstring_view s, std::size_t start, std::size_t length) {
    std::array<wchar_t, 34> chars{};
    std::size_t n = 0;
    std::size_t i = start;
    std::size_t sinceSpace = 0;
    while (n < length) {
        const wchar_t c = At(s, i);
        if (IsDigit(c) || IsUpper(c)) {
            chars[n++] = c;
            ++sinceSpace;
            ++i;
        } else if (c == L' ' && sinceSpace == 4 && (IsDigit(At(s, i + 1)) || IsUpper(At(s, i + 1)))) {
            sinceSpace = 0;
            ++i;
        } else {
            return 0;
        }
    }
    if (IsAsciiAlnum(At(s, i)) || IsWordChar(At(s, i))) return 0;
    int remainder = 0;
    for (std::size_t k = 0; k < length; ++k) {
        const wchar_t c = chars[(k + 4) % length];
        const int value = IsDigit(c) ? c - L'0' : c - L'A' + 10;
        remainder = (value >= 10 ? remainder * 100 + value : remainder * 10 + value) % 97;
    }
    return remainder == 1 ? i : 0;
}

// ---- resident registration numbers ----

bool ValidBirthDate(int yy, int mm, int dd, int centuryDigit) {
    const int century = centuryDigit <= 2 || centuryDigit == 5 || centuryDigit == 6 ? 1900 : 2000;
    const int year = century + yy;
    if (mm < 1 || mm > 12 || dd < 1) return false;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return dd <= kDays[mm - 1] + (mm == 2 && leap ? 1 : 0);
}

// ---- phone numbers ----

bool IsPhoneSeparator(wchar_t c) { return c == L' ' || c == L'-' || c == L'.'; }

// "+82 10-1234-5678", "+1 (555) 123-4567", "+44 (0)20 7946 0958": a country code and 8 to 15
// digits in all, groups split by single separators or parentheses. Returns the end, or 0.
std::size_t InternationalPhoneEnd(std::wstring_view s, std::size_t plus) {
    std::size_t i = plus + 1;
    if (!IsDigit(At(s, i)) || At(s, i) == L'0') return 0;
    std::size_t digits = 0;
    std::size_t end = 0;
    while (digits <= 15) {
        const wchar_t c = At(s, i);
        if (IsDigit(c)) {
            ++digits;
            ++i;
            end = i;
        } else if (c == L'(' && end != 0) {
            std::size_t k = i + 1;
            const std::size_t run = DigitRun(s, k);
            if (run == 0 || run > 4 || At(s, k + run) != L')') break;
            const bool trunkZero = run == 1 && s[k] == L'0';
            if (!trunkZero) digits += run;
            i = k + run + 1;
            end = i;
            if (At(s, i) == L' ') ++i;
        } else if (IsPhoneSeparator(c) && (IsDigit(At(s, i + 1)) || At(s, i + 1) == L'(')) {
            ++i;
        } else {
            break;
        }
    }
    if (digits < 8 || digits > 15 || !EndsFree(s, end)) return 0;
    return end;
}

// National forms with one kind of separator: a trunk-zero area or mobile code of 2 to 4
// digits ("00" dials abroad and starts none), 3 or 4, then 4 (02-123-4567, 031-1234-5678, 010-1234-5678, 020 7946 0958), and the
// North American 555-123-4567 / 555.123.4567 / (555) 123-4567. Returns the end, or 0.
std::size_t NationalPhoneEnd(std::wstring_view s, std::size_t start) {
    std::size_t i = start;
    const bool parenthesised = At(s, i) == L'(';
    if (parenthesised) ++i;
    const std::size_t g1 = DigitRun(s, i);
    i += g1;
    wchar_t separator = 0;
    if (parenthesised) {
        if (g1 != 3 || At(s, i) != L')') return 0;
        ++i;
        if (At(s, i) == L' ') ++i;
    } else {
        separator = At(s, i);
        if (!IsPhoneSeparator(separator)) return 0;
        ++i;
    }
    const std::size_t g2 = DigitRun(s, i);
    i += g2;
    const wchar_t second = At(s, i);
    if (!IsPhoneSeparator(second) || (separator != 0 && second != separator)) return 0;
    ++i;
    const std::size_t g3 = DigitRun(s, i);
    i += g3;
    if (g3 != 4) return 0;
    const bool trunk = !parenthesised && s[start] == L'0' && s[start + 1] != L'0' && g1 >= 2 && g1 <= 4 && g2 >= 3 && g2 <= 4;
    const bool northAmerican = g1 == 3 && g2 == 3 && s[parenthesised ? start + 1 : start] >= L'2' &&
                               (parenthesised ? second != L'.' : separator != L' ');
    if (!trunk && !northAmerican) return 0;
    // The same separator and more digits: a longer chain such as an ISBN, not a phone number.
    if (!EndsFree(s, i) || (At(s, i) == second && IsDigit(At(s, i + 1)))) return 0;
    return i;
}

// The French and Belgian way: a trunk zero and nine more digits in five pairs, "01 23 45 67 89",
// one kind of separator throughout. Returns the end, or 0.
std::size_t PairedPhoneEnd(std::wstring_view s, std::size_t start) {
    if (s[start] != L'0' || At(s, start + 1) < L'1' || At(s, start + 1) > L'9' || DigitRun(s, start) != 2) return 0;
    const wchar_t separator = At(s, start + 2);
    if (!IsPhoneSeparator(separator)) return 0;
    std::size_t i = start + 2;
    for (int pair = 0; pair < 4; ++pair) {
        if (At(s, i) != separator || DigitRun(s, i + 1) != 2) return 0;
        i += 3;
    }
    if (!EndsFree(s, i) || (At(s, i) == separator && IsDigit(At(s, i + 1)))) return 0;
    return i;
}

// ---- IP addresses ----

bool ReadOctet(std::wstring_view s, std::size_t& i) {
    const std::size_t run = DigitRun(s, i);
    if (run == 0 || run > 3 || (run > 1 && s[i] == L'0')) return false;
    int value = 0;
    for (std::size_t k = 0; k < run; ++k) value = value * 10 + (s[i + k] - L'0');
    i += run;
    return value <= 255;
}

// Four octets from start; returns the end, or 0.
std::size_t Ipv4End(std::wstring_view s, std::size_t start) {
    std::size_t i = start;
    for (int octet = 0; octet < 4; ++octet) {
        if (octet > 0) {
            if (At(s, i) != L'.') return 0;
            ++i;
        }
        if (!ReadOctet(s, i)) return 0;
    }
    return i;
}

// Whether the word just before start names a version ("version 10.0.0.1", "Build: 1.2.3.4")
// or the number is a product's version ("Chrome/120.0.0.0").
bool FollowsVersionWord(std::wstring_view s, std::size_t start) {
    if (Before(s, start) == L'/' && start >= 2 && IsAsciiLetter(s[start - 2])) return true;
    std::size_t i = start;
    while (i > 0 && start - i < 5 && (s[i - 1] == L' ' || s[i - 1] == L':' || s[i - 1] == L'=' || s[i - 1] == L'.' || s[i - 1] == L'"' || s[i - 1] == L'\'')) --i;
    std::size_t wordEnd = i;
    while (i > 0 && wordEnd - i < 16 && IsWordChar(s[i - 1])) --i;
    std::wstring word;
    for (std::size_t k = i; k < wordEnd; ++k) word.push_back(AsciiLower(s[k]));
    static constexpr std::wstring_view kWords[] = {L"version", L"ver", L"v",        L"build",      L"release",
                                                   L"rev",     L"revision", L"firmware", L"fw",    L"\uBC84\uC804",
                                                   L"\u30D0\u30FC\u30B8\u30E7\u30F3", L"\u0432\u0435\u0440\u0441\u0438\u044F"};
    for (std::wstring_view w : kWords)
        if (word == w) return true;
    return false;
}

// A hexadecimal IPv6 address: eight groups, or fewer around one "::" (at least two groups, one
// of them three digits long or three groups in all, so "a::b" in code stays), possibly ending
// in an IPv4 address. Returns the end, or 0.
std::size_t Ipv6End(std::wstring_view s, std::size_t start) {
    std::size_t i = start;
    int groups = 0;
    bool compressed = false;
    bool anyDigit = false;
    std::size_t longest = 0;
    std::size_t end = 0;
    if (At(s, i) == L':' && At(s, i + 1) == L':') {
        compressed = true;
        i += 2;
    }
    while (groups < 8) {
        std::size_t run = 0;
        while (IsHex(At(s, i + run))) ++run;
        if (run == 0) break;
        if (At(s, i + run) == L'.' && groups <= 6) {
            const std::size_t v4 = Ipv4End(s, i);
            if (v4 == 0) return 0;
            groups += 2;
            anyDigit = true;
            end = v4;
            break;
        }
        if (run > 4) return 0;
        for (std::size_t k = 0; k < run; ++k) anyDigit = anyDigit || IsDigit(s[i + k]);
        longest = run > longest ? run : longest;
        ++groups;
        i += run;
        end = i;
        if (At(s, i) == L':' && At(s, i + 1) == L':') {
            if (compressed) return 0;
            compressed = true;
            i += 2;
            end = i;
        } else if (At(s, i) == L':' && IsHex(At(s, i + 1))) {
            ++i;
        } else {
            break;
        }
    }
    const bool full = groups == 8 && !compressed;
    const bool shortened = compressed && groups >= 2 && groups <= 7 && (longest >= 3 || groups >= 3);
    if (!(full || shortened) || !anyDigit) return 0;
    if (IsWordChar(At(s, end)) || At(s, end) == L':' || (At(s, end) == L'.' && IsDigit(At(s, end + 1)))) return 0;
    return end;
}

}  // namespace

void FindCards(std::wstring_view s, std::vector<TSecretMatch>& out) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (!IsDigit(s[i]) || !StartsFree(s, i)) continue;
        if (const std::size_t end = CardEnd(s, i)) {
            out.push_back({i, end - i, TSecretKind::Card});
            i = end - 1;
        }
    }
}

void FindIbans(std::wstring_view s, std::vector<TSecretMatch>& out) {
    for (std::size_t i = 0; i + 4 <= s.size(); ++i) {
        if (!IsUpper(s[i]) || !IsUpper(s[i + 1]) || !IsDigit(s[i + 2]) || !IsDigit(s[i + 3])) continue;
        if (IsWordChar(Before(s, i))) continue;
        const std::size_t length = IbanLength(s[i], s[i + 1]);
        if (length == 0) continue;
        if (const std::size_t end = IbanEnd(s, i, length)) {
            out.push_back({i, end - i, TSecretKind::Iban});
            i = end - 1;
        }
    }
}

void FindResidentNumbers(std::wstring_view s, std::vector<TSecretMatch>& out) {
    for (std::size_t i = 0; i + 14 <= s.size(); ++i) {
        if (!IsDigit(s[i]) || !StartsFree(s, i) || IsDigit(Before(s, i))) continue;
        if (Before(s, i) == L'-' && IsDigit(Before(s, i - 1))) continue;
        int yymmdd = 0;
        int rest = 0;
        if (!ReadDigits(s, i, 6, yymmdd)) continue;
        if (s[i + 6] != L'-' && s[i + 6] != L' ') continue;
        if (!ReadDigits(s, i + 7, 7, rest)) continue;
        const int centuryDigit = s[i + 7] - L'0';
        if (centuryDigit < 1 || centuryDigit > 8) continue;
        if (!ValidBirthDate(yymmdd / 10000, yymmdd / 100 % 100, yymmdd % 100, centuryDigit)) continue;
        if (!EndsFree(s, i + 14) || (At(s, i + 14) == L'-' && IsDigit(At(s, i + 15)))) continue;
        out.push_back({i, 14, TSecretKind::Rrn});
        i += 13;
    }
}

void FindPhones(std::wstring_view s, std::vector<TSecretMatch>& out) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        const wchar_t c = s[i];
        std::size_t end = 0;
        if (c == L'+' && !IsWordChar(Before(s, i)) && Before(s, i) != L'+') {
            end = InternationalPhoneEnd(s, i);
        } else if ((IsDigit(c) || c == L'(') && StartsFree(s, i) && !IsDigit(Before(s, i)) &&
                   !((Before(s, i) == L'-' || Before(s, i) == L'.') && i >= 2 && IsDigit(s[i - 2])) && Before(s, i) != L'+') {
            end = NationalPhoneEnd(s, i);
            if (end == 0 && IsDigit(c)) end = PairedPhoneEnd(s, i);
        }
        if (end != 0) {
            out.push_back({i, end - i, TSecretKind::Phone});
            i = end - 1;
        }
    }
}

void FindIpAddresses(std::wstring_view s, std::vector<TSecretMatch>& out) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        const wchar_t before = Before(s, i);
        if (IsWordChar(before) || before == L':' || before == L'.') continue;
        std::size_t end = 0;
        if (IsDigit(s[i])) {
            end = Ipv4End(s, i);
            if (end != 0 && (!EndsFree(s, end) || FollowsVersionWord(s, i))) end = 0;
        }
        if (end == 0 && (IsHex(s[i]) || s[i] == L':')) end = Ipv6End(s, i);
        if (end != 0) {
            out.push_back({i, end - i, TSecretKind::Ip});
            i = end - 1;
        }
    }
}

}  // namespace tovasen::secret_scan
