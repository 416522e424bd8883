#pragma once
#include <optional>
#include <string>

#include "base/registry.h"

namespace tovasen {

inline constexpr wchar_t kConfigPath[] = L"Dravomix\\Tovasen";

// The per-user settings under HKEY_CURRENT_USER\Software\<path>, created when missing. A value
// that is absent, or stored with another registry type, reads as the default; writes never
// raise (a setting that cannot be stored is simply not kept).
class TConfig {
public:
    explicit TConfig(const std::wstring& path = kConfigPath);

    int ReadInteger(const std::wstring& name, int defaultValue) const;
    std::wstring ReadString(const std::wstring& name, const std::wstring& defaultValue) const;
    // The stored string, or nothing: for defaults that are costly to work out.
    std::optional<std::wstring> ReadOptionalString(const std::wstring& name) const;

    bool WriteBoolean(const std::wstring& name, bool value);
    int WriteInteger(const std::wstring& name, int value);
    std::wstring WriteString(const std::wstring& name, const std::wstring& value);

private:
    std::optional<TRegistryKey> FReg;
};

// The user's Desktop folder, the default output folder.
std::wstring DesktopFolder();

}  // namespace tovasen
