// The secret finder against a labelled table of lines (secret_lines.txt): every kind, the
// damage a recogniser does, and the ordinary numbers and words that must stay uncovered.
#include "redact/secrets.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/utf_convert.h"

namespace tovasen {
namespace {

// One table line: "group | text", where each expected finding is written ⟦kind:text⟧. Groups
// named "limit/..." are lines the finder is known to get wrong: counted, shown, not failed.
struct TCase {
    int lineNumber = 0;
    std::string group;
    std::wstring text;
    std::vector<TSecretMatch> expected;
};

bool KindFromName(std::wstring_view name, TSecretKind& kind) {
    for (int k = 0; k <= static_cast<int>(TSecretKind::LabelledSecret); ++k) {
        if (SecretKindName(static_cast<TSecretKind>(k)) == name) {
            kind = static_cast<TSecretKind>(k);
            return true;
        }
    }
    return false;
}

std::vector<TCase> ReadTable() {
    std::ifstream file(TOVASEN_SOURCE_DIR "/tests/native/redact/secret_lines.txt", std::ios::binary);
    EXPECT_TRUE(file) << "secret_lines.txt not found";
    std::vector<TCase> cases;
    std::string raw;
    for (int number = 1; std::getline(file, raw); ++number) {
        if (raw.empty() || raw[0] == '#') continue;
        const std::size_t bar = raw.find(" | ");
        if (bar == std::string::npos) {
            ADD_FAILURE() << "line " << number << " has no ' | '";
            continue;
        }
        TCase c;
        c.lineNumber = number;
        c.group = raw.substr(0, bar);
        // Positions are counted in UTF-16 units, as on Windows, also where wchar_t is wider.
        std::wstring marked;
        for (wchar_t ch : Utf8ToWide(raw.substr(bar + 3))) {
            const auto code = static_cast<std::uint32_t>(ch);
            if (code < 0x10000) {
                marked.push_back(ch);
                continue;
            }
            marked.push_back(static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10)));
            marked.push_back(static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        }
        for (std::size_t i = 0; i < marked.size(); ++i) {
            if (marked[i] != L'\u27E6') {
                c.text.push_back(marked[i]);
                continue;
            }
            const std::size_t colon = marked.find(L':', i);
            const std::size_t close = marked.find(L'\u27E7', i);
            TSecretKind kind{};
            if (colon == std::wstring::npos || close == std::wstring::npos || colon > close ||
                !KindFromName(std::wstring_view(marked).substr(i + 1, colon - i - 1), kind)) {
                ADD_FAILURE() << "line " << number << " has a malformed span";
                break;
            }
            c.expected.push_back({c.text.size(), close - colon - 1, kind});
            c.text.append(marked, colon + 1, close - colon - 1);
            i = close;
        }
        cases.push_back(std::move(c));
    }
    return cases;
}

std::string Describe(const std::wstring& text, const std::vector<TSecretMatch>& matches) {
    std::string out;
    for (const TSecretMatch& m : matches) {
        out += " [" + WideToUtf8(SecretKindName(m.kind)) + " " + std::to_string(m.start) + "+" +
               std::to_string(m.length) + " \"" + WideToUtf8(std::wstring_view(text).substr(m.start, m.length)) + "\"]";
    }
    return out.empty() ? " (none)" : out;
}

bool Same(const TSecretMatch& a, const TSecretMatch& b) {
    return a.start == b.start && a.length == b.length && a.kind == b.kind;
}

TEST(SecretFinder, FindsWhatTheTableMarksAndNothingElse) {
    const std::vector<TCase> cases = ReadTable();
    EXPECT_GE(cases.size(), 300u);
    struct TScore {
        int found = 0, missed = 0, wrong = 0;
    };
    std::map<std::wstring, TScore> scores;
    int limitsHit = 0;
    for (const TCase& c : cases) {
        const std::vector<TSecretMatch> actual = FindSecrets(c.text);
        bool exact = actual.size() == c.expected.size();
        for (const TSecretMatch& e : c.expected) {
            bool hit = false;
            for (const TSecretMatch& a : actual) hit = hit || Same(a, e);
            ++(hit ? scores[std::wstring(SecretKindName(e.kind))].found : scores[std::wstring(SecretKindName(e.kind))].missed);
            exact = exact && hit;
        }
        for (const TSecretMatch& a : actual) {
            bool expected = false;
            for (const TSecretMatch& e : c.expected) expected = expected || Same(a, e);
            if (!expected) ++scores[std::wstring(SecretKindName(a.kind))].wrong;
        }
        if (exact) continue;
        const std::string report = "line " + std::to_string(c.lineNumber) + " (" + c.group + "): " +
                                   WideToUtf8(c.text) + "\n  expected" + Describe(c.text, c.expected) +
                                   "\n  found   " + Describe(c.text, actual);
        if (c.group.starts_with("limit/")) {
            ++limitsHit;
            std::printf("known limit, %s\n", report.c_str());
        } else {
            ADD_FAILURE() << report;
        }
    }
    std::printf("%zu lines, %d on known limits\n%-16s %9s %9s %6s %6s %6s\n", cases.size(), limitsHit, "kind",
                "precision", "recall", "found", "missed", "wrong");
    for (const auto& [kind, s] : scores) {
        const double precision = s.found + s.wrong ? double(s.found) / (s.found + s.wrong) : 1.0;
        const double recall = s.found + s.missed ? double(s.found) / (s.found + s.missed) : 1.0;
        std::printf("%-16s %9.3f %9.3f %6d %6d %6d\n", WideToUtf8(kind).c_str(), precision, recall, s.found, s.missed,
                    s.wrong);
    }
    // Every kind is in the table, so each has a figure.
    EXPECT_EQ(scores.size(), static_cast<std::size_t>(TSecretKind::LabelledSecret) + 1);
}

TEST(SecretFinder, KindNamesAreTheStoredKeys) {
    const std::pair<TSecretKind, std::wstring_view> names[] = {
        {TSecretKind::Email, L"email"},          {TSecretKind::Phone, L"phone"},
        {TSecretKind::Card, L"card"},            {TSecretKind::Iban, L"iban"},
        {TSecretKind::Rrn, L"rrn"},              {TSecretKind::Ip, L"ip"},
        {TSecretKind::UrlCredentials, L"url-credentials"}, {TSecretKind::AwsKey, L"aws-key"},
        {TSecretKind::GithubToken, L"github-token"}, {TSecretKind::SlackToken, L"slack-token"},
        {TSecretKind::StripeKey, L"stripe-key"}, {TSecretKind::GoogleApiKey, L"google-api-key"},
        {TSecretKind::Jwt, L"jwt"},              {TSecretKind::PrivateKey, L"private-key"},
        {TSecretKind::LabelledSecret, L"labelled-secret"},
    };
    for (const auto& [kind, name] : names) EXPECT_EQ(SecretKindName(kind), name);
}

// Lines far longer than any recognised line, of the shapes that make a careless scanner go
// back over the same text: they end, and what they find lies inside the line.
TEST(SecretFinder, HostileLongLinesEndWithSpansInsideThem) {
    const std::pair<const char*, std::wstring> pieces[] = {
        {"digits", L"4"},       {"groups", L"4111 "},      {"at signs", L"a@"},      {"labels", L"password:"},
        {"jwt parts", L"eyJhbGciOiJ-"}, {"colons", L"fe80:"}, {"dots", L"1."},       {"schemes", L"a://b:c"},
        {"spaced token", L"AKIA "}, {"quotes", L"token='"}, {"pluses", L"+1 "},     {"begins", L"-----BEGIN "},
    };
    for (const auto& [label, piece] : pieces) {
        std::wstring line;
        while (line.size() < 1000000) line += piece;
        const std::vector<TSecretMatch> found = FindSecrets(line);
        for (const TSecretMatch& m : found) EXPECT_LE(m.start + m.length, line.size()) << label;
        for (std::size_t k = 1; k < found.size(); ++k)
            EXPECT_LE(found[k - 1].start + found[k - 1].length, found[k].start) << label << ": spans overlap";
    }
}

}  // namespace
}  // namespace tovasen
