// Feeds arbitrary text to the address rules of the browser window. Besides not crashing, what
// they let through never starts a script, never names a network share, never carries a control
// character the browser would silently drop, and never takes a web page to a local file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "web/web_address.h"

namespace {

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
    for (std::size_t i = 0; prefix[i]; ++i) {
        if (i >= text.size()) return false;
        wchar_t c = text[i];
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::wstring text;
    for (std::size_t i = 0; i + 1 < size; i += 2) text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    const std::wstring trimmed = tovasen::TrimAddress(text);
    Check(tovasen::TrimAddress(trimmed) == trimmed);
    for (const std::wstring& address : {text, trimmed}) {
        const bool typed = tovasen::MayNavigateTyped(address);
        // From a local page, where a page may go furthest; from a web page, never to a local file.
        const bool page = tovasen::MayNavigateInPage(address, L"file:///C:/pages/a.html");
        if (tovasen::MayNavigateInPage(address, L"https://example.com/")) {
            Check(tovasen::ClassifyAddress(address) != tovasen::AddressKind::LocalFile);
        }
        if (!typed && !page) continue;
        for (wchar_t c : address) Check(c >= 0x20 && c != 0x7F);
        Check(!StartsWithNoCase(address, L"javascript:") && !StartsWithNoCase(address, L"vbscript:"));
        Check(!(address.size() >= 2 && (address[0] == L'/' || address[0] == L'\\') &&
                (address[1] == L'/' || address[1] == L'\\')));
        Check(!StartsWithNoCase(address, L"file://") || StartsWithNoCase(address, L"file:///") ||
              StartsWithNoCase(address, L"file://localhost/") ||
              (address.size() > 9 && address[8] == L':') || (address.size() > 9 && address[8] == L'|'));
    }
    return 0;
}
