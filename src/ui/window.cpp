#include "ui/window.h"

#include "base/errors.h"
#include "base/exception_text.h"

namespace tovasen {

TWindow::~TWindow() { DestroyHandle(); }

void TWindow::DestroyHandle() {
    // Timers, menus and tray icons go while the window still exists.
    DestroyComponents();
    if (FHandle) SetWindowLongPtrW(FHandle.Get(), GWLP_USERDATA, 0);
    FHandle.Reset();
}

void TWindow::CreateHandle(const TCreateParams& params) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (!GetClassInfoExW(instance, params.ClassName.c_str(), &existing)) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.style = params.ClassStyle;
        wc.lpfnWndProc = StaticWndProc;
        wc.hInstance = instance;
        wc.hIcon = params.Icon;
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
        wc.hbrBackground = params.Background;
        wc.lpszClassName = params.ClassName.c_str();
        if (!RegisterClassExW(&wc)) RaiseLastOSError(L"RegisterClassExW(" + params.ClassName + L")");
    }
    HWND hwnd = CreateWindowExW(params.ExStyle, params.ClassName.c_str(), params.Caption.c_str(),
                                params.Style, params.X, params.Y, params.Width, params.Height,
                                params.Parent, nullptr, instance, this);
    if (!hwnd) RaiseLastOSError(L"CreateWindowExW(" + params.ClassName + L")");
    if (FHandle.Get() != hwnd) FHandle.Reset(hwnd);  // normally already taken at WM_NCCREATE
}

LRESULT TWindow::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefaultHandler(msg, wParam, lParam);
}

LRESULT TWindow::DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(Handle(), msg, wParam, lParam);
}

LRESULT CALLBACK TWindow::StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<TWindow*>(create->lpCreateParams);
        self->FHandle.Reset(hwnd);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->FHandle.Release();  // the system has destroyed it; nothing left to free
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    return Guarded(LRESULT{0}, [&]() -> LRESULT {
        if (msg == WM_TIMER && self->DispatchTimer(wParam)) return 0;
        return self->WndProc(msg, wParam, lParam);
    });
}

}  // namespace tovasen
