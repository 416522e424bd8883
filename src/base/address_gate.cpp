#include "base/address_gate.h"

#include <cstddef>

namespace tovasen {
namespace {

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        wchar_t c = text[i];
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

bool IsHostCharacter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-' ||
           c == L'.' || c == L'_';
}

// "host:port" or "[v6]:port": a host that is a name or a bracketed literal, and a port of
// digits only when there is one. No user part: "http://trusted.example@evil.example/" reads
// as the first name to a person and goes to the second.
bool IsAuthority(std::wstring_view authority) {
    if (authority.find(L'@') != std::wstring_view::npos) return false;
    std::wstring_view host = authority;
    std::wstring_view port;
    if (!authority.empty() && authority.front() == L'[') {
        const std::size_t close = authority.find(L']');
        if (close == std::wstring_view::npos || close < 2) return false;
        for (wchar_t c : authority.substr(1, close - 1)) {
            if (!(IsHostCharacter(c) || c == L':')) return false;
        }
        host = authority.substr(0, close + 1);
        const std::wstring_view rest = authority.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != L':') return false;
            port = rest.substr(1);
        }
    } else {
        const std::size_t colon = authority.find(L':');
        if (colon != std::wstring_view::npos) {
            host = authority.substr(0, colon);
            port = authority.substr(colon + 1);
            if (port.empty()) return false;
        }
        if (host.empty()) return false;
        for (wchar_t c : host) {
            if (!IsHostCharacter(c)) return false;
        }
    }
    for (wchar_t c : port) {
        if (c < L'0' || c > L'9') return false;
    }
    return port.size() <= 5;
}

}  // namespace

bool IsSafeWebAddress(std::wstring_view address) {
    if (address.empty() || address.size() > kMaxWebAddressLength) return false;
    for (wchar_t c : address) {
        if (c < 0x21 || c > 0x7E) return false;
        if (std::wstring_view(L"\"<>\\^`{|}").find(c) != std::wstring_view::npos) return false;
    }
    std::size_t schemeLength = 0;
    if (StartsWithNoCase(address, L"http://")) schemeLength = 7;
    else if (StartsWithNoCase(address, L"https://")) schemeLength = 8;
    else return false;
    const std::wstring_view rest = address.substr(schemeLength);
    return IsAuthority(rest.substr(0, rest.find_first_of(L"/?#")));
}

}  // namespace tovasen
