#include "redact/secrets.h"

namespace tovasen {

std::vector<TSecretMatch> FindSecrets(std::wstring_view line) {
    (void)line;
    return {};
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

}  // namespace tovasen
