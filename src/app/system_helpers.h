#pragma once
#include <functional>
#include <string>

namespace tovasen {

// Opens an address or a file with the shell; failures are not reported.
void ShellOpen(const std::wstring& target);
// The folder in the file explorer.
void OpenFolder(const std::wstring& folder);

// Runs proc on the thread pool and keeps this (user-interface) thread handling its messages,
// in 10 ms steps, until proc has finished. An exception proc raises is dropped.
void Wait(const std::function<void()>& proc);

}  // namespace tovasen
