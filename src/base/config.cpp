#include "base/config.h"

#include <shlobj.h>

#include "base/log_event.h"

namespace tovasen {

TConfig::TConfig(const std::wstring& path) {
    try {
        FReg.emplace(TRegistryKey::Open(HKEY_CURRENT_USER, L"Software\\" + path, true));
    } catch (const ERegistryException&) {
        // Not shown: every read then gives its default.
        LogCaught(L"config", std::current_exception());
    }
}

int TConfig::ReadInteger(const std::wstring& name, int defaultValue) const {
    return (FReg ? FReg->ReadInteger(name) : std::nullopt).value_or(defaultValue);
}

std::wstring TConfig::ReadString(const std::wstring& name, const std::wstring& defaultValue) const {
    return ReadOptionalString(name).value_or(defaultValue);
}

std::optional<std::wstring> TConfig::ReadOptionalString(const std::wstring& name) const {
    return FReg ? FReg->ReadString(name) : std::nullopt;
}

bool TConfig::WriteBoolean(const std::wstring& name, bool value) {
    WriteInteger(name, value ? 1 : 0);
    return value;
}

int TConfig::WriteInteger(const std::wstring& name, int value) {
    try {
        if (FReg) FReg->WriteInteger(name, value);
    } catch (const ERegistryException&) {
        LogCaught(L"config", std::current_exception());
    }
    return value;
}

std::wstring TConfig::WriteString(const std::wstring& name, const std::wstring& value) {
    try {
        if (FReg) FReg->WriteString(name, value);
    } catch (const ERegistryException&) {
        LogCaught(L"config", std::current_exception());
    }
    return value;
}

std::wstring DesktopFolder() {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_DESKTOP, nullptr, 0, path))) return {};
    return path;
}

}  // namespace tovasen
