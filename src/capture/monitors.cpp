#include "capture/monitors.h"

#include <algorithm>

#include "base/exception_text.h"

namespace tovasen {

std::vector<HMONITOR> ScreenMonitors() {
    std::vector<HMONITOR> monitors;
    EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR monitor, HDC, LPRECT, LPARAM data) -> BOOL {
            return Guarded(FALSE, [&] {
                reinterpret_cast<std::vector<HMONITOR>*>(data)->push_back(monitor);
                return TRUE;
            });
        },
        reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

int MonitorIndexFromPoint(POINT point) {
    const HMONITOR nearest = MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST);
    const std::vector<HMONITOR> monitors = ScreenMonitors();
    const auto found = std::find(monitors.begin(), monitors.end(), nearest);
    return found == monitors.end() ? 0 : static_cast<int>(found - monitors.begin());
}

RECT MonitorBounds(HMONITOR monitor) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(monitor, &info);
    return info.rcMonitor;
}

RECT VirtualScreenRect() {
    const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return {x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN), y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

}  // namespace tovasen
