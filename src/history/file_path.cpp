#include "history/file_path.h"

#include "base/utf_convert.h"

namespace tovasen {

std::filesystem::path FsPath(const std::wstring& path) {
#ifdef _WIN32
    return std::filesystem::path(path);
#else
    return std::filesystem::path(WideToUtf8(path));
#endif
}

std::wstring WidePath(const std::filesystem::path& path) {
#ifdef _WIN32
    return path.wstring();
#else
    return Utf8ToWide(path.string());
#endif
}

std::wstring PathIn(const std::wstring& folder, const std::wstring& name) {
    return WidePath(FsPath(folder) / FsPath(name));
}

std::string Utf8Path(const std::wstring& path) { return WideToUtf8(path); }

}  // namespace tovasen
