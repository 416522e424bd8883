#include "web/web_address.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tovasen {
namespace {

std::string Narrow(std::wstring_view w) { return std::string(w.begin(), w.end()); }

TEST(WebAddress, TrimRemovesBlanksAndControlCharactersAtTheEndsOnly) {
    EXPECT_EQ(L"example.com", TrimAddress(L"  example.com\t"));
    EXPECT_EQ(L"a b", TrimAddress(L"\r\n a b \x01"));
    EXPECT_EQ(L"", TrimAddress(L" \t "));
    EXPECT_EQ(L"https://", TrimAddress(L"https://"));
}

TEST(WebAddress, WhatTheAddressFieldAndThePageMayOpen) {
    struct Case {
        const wchar_t* address;
        AddressKind kind;
    } cases[] = {
        {L"http://example.com/", AddressKind::Web},
        {L"HTTPS://example.com/a?b#c", AddressKind::Web},
        {L"https://", AddressKind::Web},
        {L"about:blank", AddressKind::Blank},
        {L"About:Blank", AddressKind::Blank},
        {L"example.com", AddressKind::NoScheme},
        {L"example.com/path:x", AddressKind::NoScheme},
        {L"localhost:8080", AddressKind::NoScheme},
        {L"www.example.com:443/x", AddressKind::NoScheme},
        {L"search words", AddressKind::NoScheme},
        {L"file:///C:/pages/a.html", AddressKind::LocalFile},
        {L"file:///d|/a.html", AddressKind::LocalFile},
        {L"file://localhost/C:/a.html", AddressKind::LocalFile},
        {L"file:C:\\a.html", AddressKind::LocalFile},
        {L"file://C:/a.html", AddressKind::LocalFile},
        {L"C:\\pages\\a.html", AddressKind::LocalFile},
        {L"res://ieframe.dll/navcancl.htm", AddressKind::ErrorPage},
        // Script runs in the page; a share leaks the user's credentials to its host; other
        // handlers start other programs.
        {L"javascript:alert(1)", AddressKind::Refused},
        {L"JavaScript:alert(1)", AddressKind::Refused},
        {L"java\tscript:alert(1)", AddressKind::Refused},
        {L"vbscript:msgbox(1)", AddressKind::Refused},
        {L"\\\\host\\share\\a.html", AddressKind::Refused},
        {L"//host/share", AddressKind::Refused},
        {L"/\\host\\share", AddressKind::Refused},
        {L"file://host/share/a.html", AddressKind::Refused},
        {L"file:////host/share/a.html", AddressKind::Refused},
        {L"file:///%5C%5Chost/share", AddressKind::Refused},
        {L"file://localhost//host/share", AddressKind::Refused},
        {L"file:", AddressKind::Refused},
        {L"mailto:someone@example.com", AddressKind::Refused},
        {L"mailto:123", AddressKind::Refused},
        {L"ms-settings:privacy", AddressKind::Refused},
        {L"about:config", AddressKind::Refused},
        {L"data:text/html,<b>x</b>", AddressKind::Refused},
        {L"res://shell32.dll/1", AddressKind::Refused},
        {L"C:relative", AddressKind::Refused},
        {L"", AddressKind::Refused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.address));
        EXPECT_EQ(c.kind, ClassifyAddress(c.address));
        const bool typed = c.kind == AddressKind::Web || c.kind == AddressKind::Blank ||
                           c.kind == AddressKind::LocalFile || c.kind == AddressKind::NoScheme;
        EXPECT_EQ(typed, MayNavigateTyped(c.address));
        // A page only ever goes to full addresses; its own error pages stay reachable, and
        // local files only from a local page.
        const bool anyPage = c.kind == AddressKind::Web || c.kind == AddressKind::Blank || c.kind == AddressKind::ErrorPage;
        EXPECT_EQ(anyPage, MayNavigateInPage(c.address, L"https://example.com/"));
        EXPECT_EQ(anyPage || c.kind == AddressKind::LocalFile, MayNavigateInPage(c.address, L"file:///C:/pages/a.html"));
    }
}

// What the guard lets through, step by step, as the browser window asks it: the page starts
// blank, each step is a navigation (top level or a frame, the user's or the page's) or a
// document the control shows.
TEST(WebAddress, NoPageFromTheWebReachesALocalFile) {
    enum Step { Page, Frame, User, Shown };
    struct Case {
        Step step;
        const wchar_t* url;
        bool allowed;  // for navigations
    };
    const std::vector<std::vector<Case>> sequences = {
        // A web page may not go to a local file, in its window or a frame.
        {{User, L"https://example.com/", true}, {Page, L"file:///C:/Users/me/secret.html", false},
         {Frame, L"file:///C:/Users/me/secret.html", false}, {Frame, L"file://localhost/C:/x.html", false},
         {Page, L"C:\\Users\\me\\secret.html", false}, {Frame, L"https://ads.example.net/", true}},
        // Nor through a page it loads first, or its error page.
        {{User, L"https://example.com/", true}, {Page, L"https://other.example/", true},
         {Frame, L"file:///C:/x.html", false}, {Page, L"res://ieframe.dll/dnserror.htm", true},
         {Page, L"file:///C:/x.html", false}},
        // A local page the user opened may show local pages and frames, and leave for the web;
        // from there, the way back to local files is closed.
        {{User, L"file:///C:/pages/index.html", true}, {Shown, L"file:///C:/pages/index.html", true},
         {Frame, L"file:///C:/pages/frame.html", true}, {Page, L"file:///C:/pages/next.html", true},
         {Page, L"https://example.com/", true}, {Frame, L"file:///C:/pages/frame.html", false},
         {Page, L"file:///C:/pages/index.html", false}},
        // The user may open a local file from a web page; its document then counts as local.
        {{User, L"https://example.com/", true}, {User, L"file:///C:/pages/a.html", true},
         {Shown, L"file:///C:/pages/a.html", true}, {Frame, L"file:///C:/pages/b.html", true}},
        // A web page that shows up with a local address (a redirect nobody let through) stays
        // a web page.
        {{User, L"https://example.com/", true}, {Shown, L"file:///C:/pages/a.html", true},
         {Frame, L"file:///C:/pages/b.html", false}},
        // The blank start page is not local; script and shares are refused from anywhere.
        {{Page, L"file:///C:/x.html", false}, {User, L"javascript:alert(1)", false},
         {User, L"file:///C:/pages/a.html", true}, {Page, L"javascript:alert(1)", false},
         {Frame, L"\\\\host\\share\\x.html", false}},
    };
    for (std::size_t s = 0; s < sequences.size(); ++s) {
        TNavigationGuard guard;
        for (std::size_t i = 0; i < sequences[s].size(); ++i) {
            const Case& c = sequences[s][i];
            SCOPED_TRACE("sequence " + std::to_string(s) + ", step " + std::to_string(i) + ": " + Narrow(c.url));
            if (c.step == Shown) {
                guard.Shown(c.url, true);
                continue;
            }
            EXPECT_EQ(c.allowed, guard.Allow(c.url, c.step != Frame, c.step == User)) << "page " << Narrow(guard.Page());
        }
    }
}

}  // namespace
}  // namespace tovasen
