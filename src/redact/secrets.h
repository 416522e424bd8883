#pragma once
#include <cstddef>
#include <string_view>
#include <vector>

namespace tovasen {

// What a span of text was taken for.
enum class TSecretKind {
    Email,
    Phone,
    Card,
    Iban,
    Rrn,
    Ip,
    UrlCredentials,
    AwsKey,
    GithubToken,
    SlackToken,
    StripeKey,
    GoogleApiKey,
    Jwt,
    PrivateKey,
    LabelledSecret,
};

// A finding as a span of UTF-16 units in the line that was searched.
struct TSecretMatch {
    std::size_t start;
    std::size_t length;
    TSecretKind kind;
};

// The things in one line of (possibly recognised) text that should not leave the machine:
// addresses, numbers that pass their checks, keys and tokens by their published shapes and
// values behind labels such as "password:". Matches are sorted by start and never overlap:
// findings that overlap ("password: kim@example.com") become one span covering them all, named
// after the most specific kind. Linear in the line's length.
std::vector<TSecretMatch> FindSecrets(std::wstring_view line);

// The lower-case English key of a kind ("email", "url-credentials", ...).
std::wstring_view SecretKindName(TSecretKind kind);

}  // namespace tovasen
