#include "ui/control.h"

#include <commctrl.h>

#include "base/errors.h"
#include "base/exception_text.h"
#include "ui/form.h"

namespace tovasen {

TControl::TControl(TForm* parent, std::wstring name) : TComponent(parent, std::move(name)), FParent(parent) {}

TControl::~TControl() {
    if (FHandle) RemoveWindowSubclass(FHandle.Get(), SubclassProc, 1);
}

void TControl::CreateControl(const wchar_t* className, const std::wstring& text, DWORD style, DWORD exStyle) {
    // Ids let the parent find the control again (owner-drawn items name only their id).
    static UINT nextId = 100;
    HWND hwnd = CreateWindowExW(exStyle, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0,
                                FParent->Handle(), reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nextId++)),
                                GetModuleHandleW(nullptr), nullptr);
    if (!hwnd) RaiseLastOSError(std::wstring(L"CreateWindowExW(") + className + L")");
    FHandle.Reset(hwnd);
    SetWindowSubclass(hwnd, SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FParent->Font()), FALSE);
}

void TControl::SetBounds96(int left, int top, int width, int height) {
    FLeft = left;
    FTop = top;
    FWidth = width;
    FHeight = height;
    FBoundsSet = true;
    SetWindowPos(Handle(), nullptr, FParent->ScaleValue(left), FParent->ScaleValue(top), FParent->ScaleValue(width),
                 FParent->ScaleValue(height), SWP_NOZORDER | SWP_NOACTIVATE);
}

void TControl::ApplyDpi() {
    SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(FParent->Font()), FALSE);
    if (FBoundsSet) SetBounds96(FLeft, FTop, FWidth, FHeight);
}

void TControl::SetWidth96(int width) { SetBounds96(FLeft, FTop, width, FHeight); }

void TControl::SetVisible(bool visible) { ShowWindow(Handle(), visible ? SW_SHOWNA : SW_HIDE); }

void TControl::SetEnabled(bool enabled) { EnableWindow(Handle(), enabled); }

RECT TControl::BoundsInParent() const {
    RECT rect{};
    GetWindowRect(Handle(), &rect);
    MapWindowPoints(nullptr, FParent->Handle(), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

LRESULT TControl::ControlProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case CN_COMMAND:
        CNCommand(HIWORD(wParam));
        return 0;
    case CN_DRAWITEM:
        CNDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case CN_CTLCOLOR:
        return reinterpret_cast<LRESULT>(CNCtlColor(reinterpret_cast<HDC>(wParam)));
    case WM_SETCURSOR:
        if (Cursor && LOWORD(lParam) == HTCLIENT) {
            SetCursor(Cursor);
            return TRUE;
        }
        break;
    case WM_RBUTTONUP:
        if (OnRightClick) {
            OnRightClick();
            return 0;
        }
        break;
    default:
        break;
    }
    return DefSubclassProc(Handle(), msg, wParam, lParam);
}

LRESULT CALLBACK TControl::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                        DWORD_PTR data) {
    auto* self = reinterpret_cast<TControl*>(data);
    bool failed = false;
    const LRESULT result = Guarded(LRESULT{0}, [&]() -> LRESULT {
        failed = true;
        const LRESULT r = self->ControlProc(msg, wParam, lParam);
        failed = false;
        return r;
    });
    return failed ? DefSubclassProc(hwnd, msg, wParam, lParam) : result;
}

}  // namespace tovasen
