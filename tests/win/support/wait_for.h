#pragma once
// Waiting for what the code under test starts: a window (an overlay, a menu, a dialog) or a
// process.
#include <windows.h>

#include <functional>

namespace tovasen::test {

// The first visible window of className in process pid that also passes accept, once its thread
// answers a message: it is then in its message loop, past its start-up, and what is posted to
// it is handled as a user's input would be. Null when none came within timeoutMs. Pumps this
// thread's messages meanwhile, so it may be called from the thread that owns the window.
HWND WaitForVisibleWindow(DWORD pid, const wchar_t* className, DWORD timeoutMs = 10000,
                          const std::function<bool(HWND)>& accept = {});

// The first child of parent, at any depth, for which match holds (the condition of a wait);
// null when none does.
HWND FindChildWindow(HWND parent, const std::function<bool(HWND)>& match);

// The processes running now whose program file is named exeName ("ffmpeg.exe").
int ProcessCount(const wchar_t* exeName);

}  // namespace tovasen::test
