#pragma once
#include <windows.h>

#include <vector>

namespace tovasen {

// The bounds of every display monitor, in the system's enumeration order.
std::vector<HMONITOR> ScreenMonitors();

// Index in ScreenMonitors of the monitor nearest to a point (the one holding it, if any).
int MonitorIndexFromPoint(POINT point);

RECT MonitorBounds(HMONITOR monitor);

// The rectangle around every monitor, in screen coordinates (right and bottom excluded).
RECT VirtualScreenRect();

}  // namespace tovasen
