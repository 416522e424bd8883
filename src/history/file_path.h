#pragma once
// Paths as the program keeps them (wide strings) and as the standard library's file functions
// take them, the same way on Windows and on the Linux test builds.
#include <filesystem>
#include <string>

namespace tovasen {

std::filesystem::path FsPath(const std::wstring& path);
std::wstring WidePath(const std::filesystem::path& path);
// name inside folder, joined by the system's separator; folder may end with one already.
std::wstring PathIn(const std::wstring& folder, const std::wstring& name);
// The path as SQLite's file functions take it (UTF-8).
std::string Utf8Path(const std::wstring& path);

}  // namespace tovasen
