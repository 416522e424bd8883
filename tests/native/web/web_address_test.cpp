#include "web/web_address.h"

#include <gtest/gtest.h>

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
        // The page only ever goes to full addresses; its own error pages stay reachable.
        const bool page = c.kind == AddressKind::Web || c.kind == AddressKind::Blank ||
                          c.kind == AddressKind::LocalFile || c.kind == AddressKind::ErrorPage;
        EXPECT_EQ(page, MayNavigateInPage(c.address));
    }
}

}  // namespace
}  // namespace tovasen
