#pragma once
#include <windows.h>

#include <string>

#include "base/handles.h"
#include "ui/component.h"
#include "ui/timer.h"

namespace tovasen {

struct TCreateParams {
    std::wstring ClassName;
    std::wstring Caption;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    int X = CW_USEDEFAULT, Y = CW_USEDEFAULT, Width = CW_USEDEFAULT, Height = CW_USEDEFAULT;
    HWND Parent = nullptr;
    HBRUSH Background = nullptr;
    HICON Icon = nullptr;
    UINT ClassStyle = CS_DBLCLKS;
};

// A component that owns one window. A single window procedure finds the object through
// GWLP_USERDATA, set at WM_NCCREATE and cleared before the window goes; every exception a
// handler raises is caught there and reported, never unwound into user32. The window is made
// by CreateHandle after construction, so its first messages already reach the derived class.
class TWindow : public TComponent, public TTimerHost {
public:
    using TComponent::TComponent;
    ~TWindow() override;

    HWND Handle() const noexcept { return FHandle.Get(); }
    HWND TimerWindow() const noexcept override { return Handle(); }
    bool HandleAllocated() const noexcept { return static_cast<bool>(FHandle); }

    // Frees the window now (components first); the object stays.
    void DestroyHandle();

protected:
    void CreateHandle(const TCreateParams& params);
    virtual LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    UniqueWindow FHandle;
};

}  // namespace tovasen
