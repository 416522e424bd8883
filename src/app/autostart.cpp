#include "app/autostart.h"

#include <windows.h>

#include "base/log_event.h"
#include "base/module_path.h"
#include "base/registry.h"

namespace tovasen {

std::wstring AutoStartCommand(const std::wstring& exePath) { return L"\"" + exePath + L"\" /start"; }

bool SetAutoStart(const std::wstring& name, bool enable) {
    try {
        TRegistryKey run = TRegistryKey::Open(HKEY_CURRENT_USER, kRunKey, true);
        if (enable) run.WriteString(name, AutoStartCommand(ModuleFileName(nullptr)));
        else run.DeleteValue(name);
        return true;
    } catch (const ERegistryException&) {
        LogCaught(L"autostart", std::current_exception());
        return false;
    }
}

bool RefreshAutoStart(const std::wstring& name) {
    try {
        const bool exists = TRegistryKey::Open(HKEY_CURRENT_USER, kRunKey, true).ValueExists(name);
        if (exists) SetAutoStart(name, true);
        return exists;
    } catch (const ERegistryException&) {
        LogCaught(L"autostart", std::current_exception());
        return false;
    }
}

void DisableSnippingKey() {
    try {
        TRegistryKey::Open(HKEY_CURRENT_USER, L"Control Panel\\Keyboard", true)
            .WriteInteger(L"PrintScreenKeyForSnippingEnabled", 0);
    } catch (const ERegistryException&) {
        // A comfort only: the hotkey still works where the system leaves the key alone.
        LogCaught(L"autostart", std::current_exception());
    }
}

}  // namespace tovasen
