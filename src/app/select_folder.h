#pragma once
#include <windows.h>

#include <string>

namespace tovasen {

// Lets the user pick a folder with the common item dialog; path is the start folder and, on
// OK, the chosen one. title and okLabel are shown as given. Returns whether OK was pressed.
bool SelectFolder(HWND owner, std::wstring& path, const std::wstring& title, const std::wstring& okLabel);

}  // namespace tovasen
