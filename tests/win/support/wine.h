#pragma once
#include <windows.h>

namespace tovasen::test {

// True under Wine, where a few checks are known to differ from Windows (each says why).
inline bool RunningOnWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace tovasen::test
