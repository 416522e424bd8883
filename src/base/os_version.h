#pragma once
#include <windows.h>

namespace tovasen {

// The real major version of Windows (GetVersionEx lies to callers without a manifest entry).
inline DWORD WindowsMajorVersion() {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
        if (auto fn = reinterpret_cast<RtlGetVersionFn>(
                reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))) {
            fn(&info);
        }
    }
    return info.dwMajorVersion;
}

}  // namespace tovasen
