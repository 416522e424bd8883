#pragma once
#include <windows.h>

#include <string>

namespace tovasen {

// Full path of a loaded module's file (the exe for nullptr), however long it is.
std::wstring ModuleFileName(HMODULE module);

// The folder of the running exe, with a trailing backslash.
std::wstring ExeFolder();

}  // namespace tovasen
