#include "base/registry.h"

#include <vector>

namespace tovasen {
namespace {

[[noreturn]] void Fail(const std::wstring& what, LSTATUS status) {
    throw ERegistryException(EOSError(what, static_cast<unsigned long>(status)).Message());
}

}  // namespace

TRegistryKey TRegistryKey::Open(HKEY root, const std::wstring& path, bool create) {
    HKEY key = nullptr;
    const LSTATUS status =
        create ? RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr)
               : RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_WRITE, &key);
    if (status != ERROR_SUCCESS) Fail(L"Opening the registry key " + path, status);
    return TRegistryKey(key);
}

bool TRegistryKey::ValueExists(const std::wstring& name) const {
    return RegQueryValueExW(FKey.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::optional<std::wstring> TRegistryKey::ReadString(const std::wstring& name) const {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(FKey.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::nullopt;
    }
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (RegQueryValueExW(FKey.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                         &bytes) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::wstring value(buffer.data(), bytes / sizeof(wchar_t));
    while (!value.empty() && value.back() == L'\0') value.pop_back();
    return value;
}

std::optional<int> TRegistryKey::ReadInteger(const std::wstring& name) const {
    DWORD type = 0, value = 0, size = sizeof(value);
    if (RegQueryValueExW(FKey.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

void TRegistryKey::WriteString(const std::wstring& name, const std::wstring& value) {
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    const LSTATUS status =
        RegSetValueExW(FKey.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    if (status != ERROR_SUCCESS) Fail(L"Writing the registry value " + name, status);
}

void TRegistryKey::WriteInteger(const std::wstring& name, int value) {
    const auto data = static_cast<DWORD>(value);
    const LSTATUS status =
        RegSetValueExW(FKey.Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data));
    if (status != ERROR_SUCCESS) Fail(L"Writing the registry value " + name, status);
}

void TRegistryKey::DeleteValue(const std::wstring& name) {
    const LSTATUS status = RegDeleteValueW(FKey.Get(), name.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        Fail(L"Deleting the registry value " + name, status);
    }
}

}  // namespace tovasen
