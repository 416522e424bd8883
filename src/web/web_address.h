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
// Whether the page at pageAddress may go to url, a full address the browser is about to load,
// in its own window or in a frame: web pages, the blank page and the browser's error pages
// always; a file on this computer only from a page that is itself one, so that no page from
// the web reaches local files.
bool MayNavigateInPage(std::wstring_view url, std::wstring_view pageAddress);

// Where the browser window's page may go, following the page from the navigations it lets
// through. A navigation the user asked for (the address field, back, forward) may open a
// local file; one that a page starts, in its window or a frame, only from a local page.
class TNavigationGuard {
public:
    // Whether the navigation may start. A top-level one that may becomes the page: from then
    // on its scripts run with that address.
    bool Allow(std::wstring_view url, bool topLevel, bool userAsked);
    // The page (topLevel) shows the document at url. A page is never made local this way: a
    // remote page that lands on a local address got there without being let through.
    void Shown(std::wstring_view url, bool topLevel);
    const std::wstring& Page() const noexcept { return FPage; }

private:
    std::wstring FPage = L"about:blank";
};

}  // namespace tovasen
