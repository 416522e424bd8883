#include "redact/secrets.h"

#include <algorithm>
#include <string>

#include "redact/secret_scan.h"

namespace tovasen {
namespace {

using namespace secret_scan;

bool IsConfusableDigit(wchar_t c) { return c == L'O' || c == L'o' || c == L'l' || c == L'I'; }

// The line as the scanners read it, unit for unit: full-width digits, colon and at sign become
// ASCII, and in a word made only of digits and the letters a recogniser takes for them
// ("41l1", "2O24") those letters become the digits. A word with no real digit ("Oil") stays,
// unless it is a short piece between numbers joined by dots or dashes ("192.168.l.1").
bool BetweenNumbers(std::wstring_view s, std::size_t start, std::size_t end) {
    const wchar_t joint = Before(s, start);
    return end - start <= 3 && (joint == L'.' || joint == L'-') && start >= 2 && IsDigit(s[start - 2]) &&
           At(s, end) == joint && (IsDigit(At(s, end + 1)) || IsConfusableDigit(At(s, end + 1)));
}

std::wstring Normalise(std::wstring_view line) {
    std::wstring s(line);
    for (wchar_t& c : s) {
        if (c >= 0xFF10 && c <= 0xFF19) c = static_cast<wchar_t>(L'0' + (c - 0xFF10));
        else if (c == 0xFF1A) c = L':';
        else if (c == 0xFF20) c = L'@';
    }
    for (std::size_t i = 0; i < s.size();) {
        if (!IsAsciiAlnum(s[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        bool onlyDigitLike = true;
        bool anyDigit = false;
        for (; end < s.size() && IsAsciiAlnum(s[end]); ++end) {
            anyDigit = anyDigit || IsDigit(s[end]);
            onlyDigitLike = onlyDigitLike && (IsDigit(s[end]) || IsConfusableDigit(s[end]));
        }
        if (onlyDigitLike && (anyDigit || BetweenNumbers(s, i, end))) {
            for (std::size_t k = i; k < end; ++k) {
                if (s[k] == L'O' || s[k] == L'o') s[k] = L'0';
                else if (s[k] == L'l' || s[k] == L'I') s[k] = L'1';
            }
        }
        i = end;
    }
    return s;
}

// Which finding wins where two overlap: the more specific shape. A token behind a label is a
// token; an address with a password in it is more than the e-mail its tail looks like.
int Strength(TSecretKind kind) {
    switch (kind) {
    case TSecretKind::PrivateKey: return 14;
    case TSecretKind::Jwt: return 13;
    case TSecretKind::AwsKey: return 12;
    case TSecretKind::GithubToken: return 12;
    case TSecretKind::SlackToken: return 12;
    case TSecretKind::StripeKey: return 12;
    case TSecretKind::GoogleApiKey: return 12;
    case TSecretKind::UrlCredentials: return 10;
    case TSecretKind::Card: return 9;
    case TSecretKind::Iban: return 8;
    case TSecretKind::Rrn: return 7;
    case TSecretKind::Email: return 6;
    case TSecretKind::LabelledSecret: return 5;
    case TSecretKind::Phone: return 4;
    case TSecretKind::Ip: return 3;
    }
    return 0;
}

}  // namespace

std::vector<TSecretMatch> FindSecrets(std::wstring_view line) {
    const std::wstring s = Normalise(line);
    std::vector<TSecretMatch> found;
    FindPrivateKeyHeaders(s, found);
    FindTokens(s, found);
    FindUrlCredentials(s, found);
    FindEmails(s, found);
    FindCards(s, found);
    FindIbans(s, found);
    FindResidentNumbers(s, found);
    FindPhones(s, found);
    FindIpAddresses(s, found);
    FindLabelledSecrets(s, found);
    std::stable_sort(found.begin(), found.end(),
                     [](const TSecretMatch& a, const TSecretMatch& b) { return a.start < b.start; });
    // Overlapping findings become one span covering them all, named after the strongest: what
    // is covered is never less than any single finding, and each place is counted once.
    std::vector<TSecretMatch> merged;
    for (const TSecretMatch& m : found) {
        if (m.length == 0) continue;
        if (!merged.empty() && m.start < merged.back().start + merged.back().length) {
            TSecretMatch& last = merged.back();
            const std::size_t end = std::max(last.start + last.length, m.start + m.length);
            last.length = end - last.start;
            if (Strength(m.kind) > Strength(last.kind)) last.kind = m.kind;
            continue;
        }
        merged.push_back(m);
    }
    return merged;
}

std::wstring_view SecretKindName(TSecretKind kind) {
    switch (kind) {
    case TSecretKind::Email: return L"email";
    case TSecretKind::Phone: return L"phone";
    case TSecretKind::Card: return L"card";
    case TSecretKind::Iban: return L"iban";
    case TSecretKind::Rrn: return L"rrn";
    case TSecretKind::Ip: return L"ip";
    case TSecretKind::UrlCredentials: return L"url-credentials";
    case TSecretKind::AwsKey: return L"aws-key";
    case TSecretKind::GithubToken: return L"github-token";
    case TSecretKind::SlackToken: return L"slack-token";
    case TSecretKind::StripeKey: return L"stripe-key";
    case TSecretKind::GoogleApiKey: return L"google-api-key";
    case TSecretKind::Jwt: return L"jwt";
    case TSecretKind::PrivateKey: return L"private-key";
    case TSecretKind::LabelledSecret: return L"labelled-secret";
    }
    return L"secret";
}

namespace secret_scan {

bool ReadDigits(std::wstring_view s, std::size_t i, std::size_t count, int& value) {
    value = 0;
    for (std::size_t k = 0; k < count; ++k) {
        if (!IsDigit(At(s, i + k))) return false;
        value = value * 10 + (s[i + k] - L'0');
    }
    return !IsDigit(At(s, i + count));
}

}  // namespace secret_scan
}  // namespace tovasen
