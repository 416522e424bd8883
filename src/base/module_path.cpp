#include "base/module_path.h"

namespace tovasen {

std::wstring ModuleFileName(HMODULE module) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring ExeFolder() {
    std::wstring path = ModuleFileName(nullptr);
    path.erase(path.find_last_of(L'\\') + 1);
    return path;
}

}  // namespace tovasen
