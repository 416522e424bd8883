#include "web/web_address.h"

namespace tovasen {
namespace {

bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsSlash(wchar_t c) { return c == L'/' || c == L'\\'; }

wchar_t Lower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

// "C:", "C|", "C:\..." or "C:/...": a path on a local drive.
bool IsDrivePath(std::wstring_view path) {
    return path.size() >= 2 && IsAsciiLetter(path[0]) && (path[1] == L':' || path[1] == L'|') &&
           (path.size() == 2 || IsSlash(path[2]));
}

std::size_t LeadingSlashes(std::wstring_view text) {
    std::size_t n = 0;
    while (n < text.size() && IsSlash(text[n])) ++n;
    return n;
}

// The part of a file: address after the scheme. Only a drive on this computer is local: a host
// name (file://host/share) opens a network share, which hands the user's credentials to it.
bool IsLocalFileRest(std::wstring_view rest) {
    std::size_t slashes = LeadingSlashes(rest);
    if (slashes == 2) {
        std::size_t end = slashes;
        while (end < rest.size() && !IsSlash(rest[end])) ++end;
        const std::wstring_view host = rest.substr(slashes, end - slashes);
        if (IsDrivePath(rest.substr(slashes))) return true;  // file://C:/x
        if (!EqualsNoCase(host, L"localhost")) return false;
        rest = rest.substr(end);
        slashes = LeadingSlashes(rest);
        if (slashes != 1) return false;
    } else if (slashes != 0 && slashes != 1 && slashes != 3) {
        return false;
    }
    return IsDrivePath(rest.substr(slashes));
}

// "example.com:8080" and "localhost:80/x" have no scheme; they name a host and a port.
bool IsHostAndPort(std::wstring_view name, std::wstring_view rest) {
    if (name.find(L'.') == std::wstring_view::npos && !EqualsNoCase(name, L"localhost")) return false;
    std::size_t digits = 0;
    while (digits < rest.size() && IsDigit(rest[digits])) ++digits;
    return digits > 0 && (digits == rest.size() || rest[digits] == L'/' || rest[digits] == L'?' || rest[digits] == L'#');
}

}  // namespace

AddressKind ClassifyAddress(std::wstring_view address) {
    if (address.empty()) return AddressKind::Refused;
    // Browsers drop tabs and line breaks inside addresses, so "java\tscript:" would still run.
    for (wchar_t c : address) {
        if (c < 0x20 || c == 0x7F) return AddressKind::Refused;
    }
    if (LeadingSlashes(address) >= 2) return AddressKind::Refused;  // \\host\share, //host/share

    std::size_t colon = 0;
    if (IsAsciiLetter(address[0])) {
        colon = 1;
        while (colon < address.size() &&
               (IsAsciiLetter(address[colon]) || IsDigit(address[colon]) || address[colon] == L'+' ||
                address[colon] == L'-' || address[colon] == L'.')) {
            ++colon;
        }
    }
    if (colon == 0 || colon >= address.size() || address[colon] != L':') return AddressKind::NoScheme;
    const std::wstring_view scheme = address.substr(0, colon);
    const std::wstring_view rest = address.substr(colon + 1);

    if (scheme.size() == 1) return IsDrivePath(address) ? AddressKind::LocalFile : AddressKind::Refused;
    if (EqualsNoCase(scheme, L"http") || EqualsNoCase(scheme, L"https")) return AddressKind::Web;
    if (EqualsNoCase(scheme, L"about")) return EqualsNoCase(rest, L"blank") ? AddressKind::Blank : AddressKind::Refused;
    if (EqualsNoCase(scheme, L"file")) return IsLocalFileRest(rest) ? AddressKind::LocalFile : AddressKind::Refused;
    if (EqualsNoCase(scheme, L"res")) {
        return StartsWithNoCase(rest, L"//ieframe.dll/") ? AddressKind::ErrorPage : AddressKind::Refused;
    }
    if (IsHostAndPort(scheme, rest)) return AddressKind::NoScheme;
    return AddressKind::Refused;
}

std::wstring TrimAddress(std::wstring_view text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && text[begin] < 33) ++begin;
    while (end > begin && text[end - 1] < 33) --end;
    return std::wstring(text.substr(begin, end - begin));
}

bool MayNavigateTyped(std::wstring_view address) {
    switch (ClassifyAddress(address)) {
    case AddressKind::Web:
    case AddressKind::Blank:
    case AddressKind::LocalFile:
    case AddressKind::NoScheme:
        return true;
    default:
        return false;
    }
}

bool MayNavigateInPage(std::wstring_view url, std::wstring_view pageAddress) {
    switch (ClassifyAddress(url)) {
    case AddressKind::Web:
    case AddressKind::Blank:
    case AddressKind::ErrorPage:
        return true;
    case AddressKind::LocalFile:
        return ClassifyAddress(pageAddress) == AddressKind::LocalFile;
    default:
        return false;
    }
}

bool TNavigationGuard::Allow(std::wstring_view url, bool topLevel, bool userAsked) {
    bool allowed = MayNavigateInPage(url, FPage);
    // The user may open what the address field may: a local file from any page.
    if (!allowed && userAsked && topLevel) allowed = ClassifyAddress(url) == AddressKind::LocalFile;
    if (allowed && topLevel) FPage = url;
    return allowed;
}

void TNavigationGuard::Shown(std::wstring_view url, bool topLevel) {
    if (!topLevel) return;
    const bool local = ClassifyAddress(url) == AddressKind::LocalFile;
    if (!local || ClassifyAddress(FPage) == AddressKind::LocalFile) FPage = url;
}

}  // namespace tovasen
