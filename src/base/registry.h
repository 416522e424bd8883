#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "base/errors.h"
#include "base/handles.h"

namespace tovasen {

class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

// One open registry key. Every failed write raises ERegistryException; reads of a missing value,
// or of a value of another type, give nothing.
class TRegistryKey {
public:
    // Opens root\path for reading and writing, creating it when create is set.
    static TRegistryKey Open(HKEY root, const std::wstring& path, bool create);

    bool ValueExists(const std::wstring& name) const;
    std::optional<std::wstring> ReadString(const std::wstring& name) const;
    std::optional<int> ReadInteger(const std::wstring& name) const;
    void WriteString(const std::wstring& name, const std::wstring& value);
    void WriteInteger(const std::wstring& name, int value);
    void DeleteValue(const std::wstring& name);

    HKEY Handle() const noexcept { return FKey.Get(); }

private:
    explicit TRegistryKey(HKEY key) : FKey(key) {}
    UniqueKey FKey;
};

}  // namespace tovasen
