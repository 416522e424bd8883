#pragma once
#include <string>

namespace tovasen {

inline constexpr wchar_t kAutoStartName[] = L"Tovasen";
inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The Run value's data: the exe's full path in quotes, then " /start".
std::wstring AutoStartCommand(const std::wstring& exePath);

// Writes (enable) or deletes the Run value name; false when the registry refused.
bool SetAutoStart(const std::wstring& name, bool enable);

// Whether the Run value exists; when it does it is rewritten to point at this exe.
bool RefreshAutoStart(const std::wstring& name);

// Lets the Print Screen key reach our hotkey instead of the system's snipping tool.
void DisableSnippingKey();

}  // namespace tovasen
