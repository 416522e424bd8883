// Shapes of text: e-mail addresses, passwords inside addresses, keys and tokens by the prefixes
// and lengths their services publish, and PEM private-key headers.
#include <string_view>

#include "redact/secret_scan.h"

namespace tovasen::secret_scan {
namespace {

bool IsLocalPartChar(wchar_t c) {
    return IsAsciiAlnum(c) || c == L'.' || c == L'_' || c == L'%' || c == L'+' || c == L'-' || c == L'\'';
}
bool IsDomainChar(wchar_t c) { return IsAsciiAlnum(c) || c == L'.' || c == L'-'; }
bool IsAlnumToken(wchar_t c) { return IsAsciiAlnum(c); }
bool IsUpperOrDigit(wchar_t c) { return IsUpper(c) || IsDigit(c); }
bool IsUrlSafe(wchar_t c) { return IsAsciiAlnum(c) || c == L'_' || c == L'-'; }
bool IsSlackChar(wchar_t c) { return IsAsciiAlnum(c) || c == L'-'; }
bool IsPatChar(wchar_t c) { return IsAsciiAlnum(c) || c == L'_'; }

bool StartsWith(std::wstring_view s, std::size_t i, std::wstring_view prefix) {
    return s.size() - i >= prefix.size() && s.substr(i, prefix.size()) == prefix;
}

// The end of a well-formed domain starting at i (labels of letters, digits and hyphens, a
// top-level label of two or more letters), or 0.
std::size_t DomainEnd(std::wstring_view s, std::size_t i) {
    std::size_t end = i;
    while (IsDomainChar(At(s, end))) ++end;
    while (end > i && (s[end - 1] == L'.' || s[end - 1] == L'-')) --end;
    std::size_t labelStart = i;
    std::size_t lastLabel = i;
    int labels = 0;
    for (std::size_t k = i; k <= end; ++k) {
        if (k < end && s[k] != L'.') continue;
        if (k == labelStart || s[labelStart] == L'-' || s[k - 1] == L'-') return 0;
        ++labels;
        lastLabel = labelStart;
        labelStart = k + 1;
    }
    if (labels < 2 || end - lastLabel < 2) return 0;
    for (std::size_t m = lastLabel; m < end; ++m)
        if (!IsAsciiLetter(s[m])) return 0;
    return end;
}

struct TTokenShape {
    std::wstring_view prefix;
    TSecretKind kind;
    bool (*alphabet)(wchar_t);
    std::size_t minLength;  // characters after the prefix
    std::size_t maxLength;
};

constexpr TTokenShape kTokenShapes[] = {
    {L"AKIA", TSecretKind::AwsKey, IsUpperOrDigit, 16, 16},
    {L"ASIA", TSecretKind::AwsKey, IsUpperOrDigit, 16, 16},
    {L"ghp_", TSecretKind::GithubToken, IsAlnumToken, 36, 36},
    {L"gho_", TSecretKind::GithubToken, IsAlnumToken, 36, 36},
    {L"ghu_", TSecretKind::GithubToken, IsAlnumToken, 36, 36},
    {L"ghs_", TSecretKind::GithubToken, IsAlnumToken, 36, 36},
    {L"ghr_", TSecretKind::GithubToken, IsAlnumToken, 36, 36},
    {L"github_pat_", TSecretKind::GithubToken, IsPatChar, 22, 255},
    {L"xoxb-", TSecretKind::SlackToken, IsSlackChar, 10, 255},
    {L"xoxp-", TSecretKind::SlackToken, IsSlackChar, 10, 255},
    {L"xoxa-", TSecretKind::SlackToken, IsSlackChar, 10, 255},
    {L"xoxr-", TSecretKind::SlackToken, IsSlackChar, 10, 255},
    {L"xoxs-", TSecretKind::SlackToken, IsSlackChar, 10, 255},
    {L"xoxe-", TSecretKind::SlackToken, IsSlackChar, 10, 255},
    {L"sk_live_", TSecretKind::StripeKey, IsAlnumToken, 16, 255},
    {L"rk_live_", TSecretKind::StripeKey, IsAlnumToken, 16, 255},
    {L"sk_test_", TSecretKind::StripeKey, IsAlnumToken, 16, 255},
    {L"rk_test_", TSecretKind::StripeKey, IsAlnumToken, 16, 255},
    {L"AIza", TSecretKind::GoogleApiKey, IsUrlSafe, 35, 35},
};

// A JSON Web Token: a base64url header that opens with '{"' (so "eyJ"), a payload and a
// signature, which may be empty for an unsigned token. Sets end to how far the header was
// read, so a failed attempt is not repeated from inside it. Returns the token's end, or 0.
std::size_t JwtEnd(std::wstring_view s, std::size_t start, std::size_t& end) {
    const TTokenEnd header = ReadToken(s, start, IsUrlSafe, 10, 8192);
    end = header.end;
    if (header.count < 10 || At(s, header.end) != L'.') return 0;
    const TTokenEnd payload = ReadToken(s, header.end + 1, IsUrlSafe, 4, 65536);
    end = payload.end;
    if (payload.count < 4 || At(s, payload.end) != L'.') return 0;
    const TTokenEnd signature = ReadToken(s, payload.end + 1, IsUrlSafe, 16, 1024);
    end = signature.end;
    if (IsUrlSafe(At(s, signature.end))) return 0;
    return signature.count == 0 ? payload.end + 1 : signature.end;
}

}  // namespace

void FindEmails(std::wstring_view s, std::vector<TSecretMatch>& out) {
    for (std::size_t at = 0; at < s.size(); ++at) {
        if (s[at] != L'@') continue;
        std::size_t start = at;
        while (start > 0 && at - start < 64 && IsLocalPartChar(s[start - 1])) --start;
        while (start < at && (s[start] == L'.' || s[start] == L'\'')) ++start;
        if (start == at || s[at - 1] == L'.') continue;
        const std::size_t end = DomainEnd(s, at + 1);
        if (end == 0) continue;
        out.push_back({start, end - start, TSecretKind::Email});
        at = end - 1;
    }
}

void FindUrlCredentials(std::wstring_view s, std::vector<TSecretMatch>& out) {
    for (std::size_t mark = s.find(L"://"); mark != std::wstring_view::npos; mark = s.find(L"://", mark + 3)) {
        std::size_t start = mark;
        while (start > 0 && mark - start < 32 &&
               (IsAsciiAlnum(s[start - 1]) || s[start - 1] == L'+' || s[start - 1] == L'.' || s[start - 1] == L'-'))
            --start;
        if (start == mark || !IsAsciiLetter(s[start])) continue;
        std::size_t colon = 0;
        std::size_t i = mark + 3;
        for (; i < s.size() && i - mark < 512; ++i) {
            const wchar_t c = s[i];
            if (c == L'@' || c == L'/' || c == L'?' || c == L'#' || c == L' ' || c == L'\t') break;
            if (c == L':' && colon == 0) colon = i;
        }
        if (At(s, i) != L'@' || colon == 0 || colon + 1 == i) continue;
        std::size_t end = i + 1;
        while (end < s.size() && (IsDomainChar(s[end]) || s[end] == L':' || s[end] == L'[' || s[end] == L']' || s[end] == L'_'))
            ++end;
        while (end > i + 1 && (s[end - 1] == L'.' || s[end - 1] == L':')) --end;
        if (end == i + 1) continue;
        out.push_back({start, end - start, TSecretKind::UrlCredentials});
    }
}

void FindTokens(std::wstring_view s, std::vector<TSecretMatch>& out) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (IsWordChar(Before(s, i)) || !IsAsciiLetter(s[i])) continue;
        if (StartsWith(s, i, L"eyJ")) {
            std::size_t reached = i;
            if (const std::size_t end = JwtEnd(s, i, reached)) {
                out.push_back({i, end - i, TSecretKind::Jwt});
                i = end - 1;
            } else if (reached > i) {
                // Any token starting inside what was read ends where this one did, and fails alike.
                i = reached - 1;
            }
            continue;
        }
        for (const TTokenShape& shape : kTokenShapes) {
            if (!StartsWith(s, i, shape.prefix)) continue;
            const std::size_t body = i + shape.prefix.size();
            const TTokenEnd token = ReadToken(s, body, shape.alphabet, shape.minLength, shape.maxLength);
            if (token.count < shape.minLength || shape.alphabet(At(s, token.end)) || IsAsciiAlnum(At(s, token.end)))
                continue;
            out.push_back({i, token.end - i, shape.kind});
            i = token.end - 1;
            break;
        }
    }
}

void FindPrivateKeyHeaders(std::wstring_view s, std::vector<TSecretMatch>& out) {
    for (std::size_t begin = s.find(L"BEGIN "); begin != std::wstring_view::npos; begin = s.find(L"BEGIN ", begin + 6)) {
        std::size_t start = begin;
        while (start > 0 && s[start - 1] == L'-' && begin - start < 5) --start;
        if (begin - start < 3) continue;
        std::size_t i = begin + 6;
        while (i < s.size() && i - begin < 48 && (IsUpper(s[i]) || s[i] == L' ')) ++i;
        std::wstring_view label = s.substr(begin + 6, i - begin - 6);
        if (label.ends_with(L" BLOCK")) label.remove_suffix(6);
        if (!label.ends_with(L"PRIVATE KEY")) continue;
        std::size_t end = i;
        while (end < s.size() && s[end] == L'-' && end - i < 5) ++end;
        if (end - i < 3) continue;
        out.push_back({start, end - start, TSecretKind::PrivateKey});
    }
}

}  // namespace tovasen::secret_scan
