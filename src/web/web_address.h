#pragma once
#include <string>
#include <string_view>

namespace tovasen {

// What an address would make the browser do, as far as it matters for where it may go.
enum class AddressKind {
    Web,        // http: or https:
    Blank,      // about:blank
    LocalFile,  // a file on a drive of this computer (file: or a drive-letter path)
    NoScheme,   // text the browser fixes up itself ("example.com", "localhost:8080/x")
    ErrorPage,  // the browser's own error pages (res://ieframe.dll/)
    Refused,    // script, network shares, other protocol handlers, control characters
};

AddressKind ClassifyAddress(std::wstring_view address);

// The typed text without leading and trailing blanks and control characters (below 33).
std::wstring TrimAddress(std::wstring_view text);

// Whether text typed into the address field (trimmed) may be navigated to.
bool MayNavigateTyped(std::wstring_view address);
// Whether the page may go to url, a full address the browser is about to load.
bool MayNavigateInPage(std::wstring_view url);

}  // namespace tovasen
