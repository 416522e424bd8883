#pragma once
#include <windows.h>

namespace tovasen {

// Lets lower-integrity processes send msg to our windows; false when the system cannot.
bool AllowWindowMessage(UINT msg);

// Brings a window to the foreground even when another process holds the foreground lock.
void ForceForegroundWindow(HWND window);

void HideMainWindow();
void RestoreMainWindow();

}  // namespace tovasen
