#pragma once
#include <optional>
#include <string>

#include "base/config.h"
#include "base/registry.h"
#include "base/settings_schema.h"

namespace tovasen {

// The settings as the per-user registry holds them under HKEY_CURRENT_USER\Software\<path>.
// The key is opened (created when missing) once, for reading; a key that cannot be opened
// reads as empty, so every value takes its default.
class TRegistrySettings : public TSettingsSource {
public:
    explicit TRegistrySettings(const std::wstring& path = kConfigPath);
    std::optional<int> ReadInteger(std::wstring_view name) const override;
    std::optional<std::wstring> ReadString(std::wstring_view name) const override;

private:
    std::optional<TRegistryKey> FKey;
};

// All settings in one pass over one open key.
TSettings ReadRegistrySettings(const TSettingsEnvironment& env, const std::wstring& path = kConfigPath);

// Writes each value at once through a key opened for it (and created when missing), as every
// change has always been stored; a value that cannot be stored is simply not kept.
TSettingsWriter RegistrySettingsWriter(const std::wstring& path = kConfigPath);

// The primary screen's size, which the region frame's centred default needs; nothing else.
TSettingsEnvironment ScreenSettingsEnvironment();

}  // namespace tovasen
