#pragma once
#include <windows.h>

namespace tovasen {

// BeginPaint and its EndPaint, which runs however the painting code leaves (an early return
// included), so a window is never left with its update region unvalidated.
class TPaintGuard {
public:
    explicit TPaintGuard(HWND window) noexcept : FWindow(window), FDc(BeginPaint(window, &FPaint)) {}
    TPaintGuard(const TPaintGuard&) = delete;
    TPaintGuard& operator=(const TPaintGuard&) = delete;
    ~TPaintGuard() { EndPaint(FWindow, &FPaint); }

    HDC Dc() const noexcept { return FDc; }
    const RECT& Dirty() const noexcept { return FPaint.rcPaint; }

private:
    HWND FWindow;
    PAINTSTRUCT FPaint{};
    HDC FDc;
};

}  // namespace tovasen
