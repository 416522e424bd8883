#pragma once
#include <windows.h>

#include "base/handles.h"
#include "support/wait.h"

namespace tovasen::test {

// The colour at (x, y) of the test pattern, in the painted window's client coordinates.
inline COLORREF PatternAt(int x, int y) {
    return RGB((x * 7) % 256, (y * 13) % 256, (x * 3 + y * 5) % 256);
}

// A topmost popup that paints PatternAt in its own client coordinates, or one plain colour.
class PatternWindow {
public:
    PatternWindow(int x, int y, int w, int h, bool white = false, HCURSOR cursor = nullptr)
        : PatternWindow(x, y, w, h, white ? RGB(255, 255, 255) : kPattern, cursor) {}
    PatternWindow(int x, int y, int w, int h, COLORREF plain, HCURSOR cursor = nullptr) : plain_(plain) {
        static const wchar_t* kClass = L"TovasenTestPattern";
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kClass;
        RegisterClassW(&wc);
        hwnd_.Reset(CreateWindowExW(WS_EX_TOPMOST, kClass, L"", WS_POPUP, x, y, w, h, nullptr, nullptr,
                                    wc.hInstance, this));
        if (cursor) SetClassLongPtrW(hwnd_.Get(), GCLP_HCURSOR, reinterpret_cast<LONG_PTR>(cursor));
        ShowWindow(hwnd_.Get(), SW_SHOW);
        SetForegroundWindow(hwnd_.Get());
        UpdateWindow(hwnd_.Get());
        // The window has painted, but the X server shows it a moment later. A test that then
        // fails to see the pattern says so itself, so the wait's outcome is not needed here.
        const COLORREF middle = plain_ != kPattern ? plain_ : PatternAt(w / 2, h / 2);
        WaitUntil([&] { return ScreenPixel(x + w / 2, y + h / 2) == middle; }, 2000);
    }
    PatternWindow(const PatternWindow&) = delete;
    PatternWindow& operator=(const PatternWindow&) = delete;
    HWND Handle() const { return hwnd_.Get(); }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_NCCREATE) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
        }
        auto* self = reinterpret_cast<PatternWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == WM_PAINT && self) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            RECT client;
            GetClientRect(hwnd, &client);
            for (int y = 0; y < client.bottom; ++y) {
                for (int x = 0; x < client.right; ++x) SetPixel(dc, x, y, self->plain_ != kPattern ? self->plain_ : PatternAt(x, y));
            }
            EndPaint(hwnd, &ps);
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    static COLORREF ScreenPixel(int x, int y) {
        WindowDC screen(nullptr);
        return GetPixel(screen.Get(), x, y);
    }
    static constexpr COLORREF kPattern = 0xFFFFFFFF;  // not a colour: paint the pattern
    UniqueWindow hwnd_;
    COLORREF plain_;
};


}  // namespace tovasen::test
