#include "base/version_text.h"

#include <windows.h>

#include <vector>

#include "base/version_format.h"
#include "base/module_path.h"

namespace tovasen {

std::wstring GetVersionText(std::wstring_view format, const std::wstring& path) {
    const std::wstring file = path.empty() ? ModuleFileName(nullptr) : path;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (size == 0) return L"0.0.0.0";
    std::vector<unsigned char> data(size);
    if (!GetFileVersionInfoW(file.c_str(), 0, size, data.data())) return L"0.0.0.0";
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
        length < sizeof(VS_FIXEDFILEINFO)) {
        return L"0.0.0.0";
    }
    return FormatVersion(format, {HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                                  HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS)});
}

}  // namespace tovasen
