#include "base/settings_registry.h"

#include "base/log_event.h"

namespace tovasen {

TRegistrySettings::TRegistrySettings(const std::wstring& path) {
    try {
        FKey.emplace(TRegistryKey::Open(HKEY_CURRENT_USER, L"Software\\" + path, true));
    } catch (const ERegistryException&) {
        // Every read then gives its default.
        LogCaught(L"settings", std::current_exception());
    }
}

std::optional<int> TRegistrySettings::ReadInteger(std::wstring_view name) const {
    return FKey ? FKey->ReadInteger(std::wstring(name)) : std::nullopt;
}

std::optional<std::wstring> TRegistrySettings::ReadString(std::wstring_view name) const {
    return FKey ? FKey->ReadString(std::wstring(name)) : std::nullopt;
}

TSettings ReadRegistrySettings(const TSettingsEnvironment& env, const std::wstring& path) {
    return ReadSettings(TRegistrySettings(path), env);
}

TSettingsWriter RegistrySettingsWriter(const std::wstring& path) {
    return TSettingsWriter([path](const TStoredValue& value) {
        TConfig config(path);
        if (value.integer) config.WriteInteger(std::wstring(value.name), *value.integer);
        if (value.text) config.WriteString(std::wstring(value.name), *value.text);
    });
}

TSettingsEnvironment ScreenSettingsEnvironment() {
    TSettingsEnvironment env;
    env.screenWidth = GetSystemMetrics(SM_CXSCREEN);
    env.screenHeight = GetSystemMetrics(SM_CYSCREEN);
    return env;
}

}  // namespace tovasen
