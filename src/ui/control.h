#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "ui/component.h"
#include "base/handles.h"

namespace tovasen {

class TForm;

// Messages a parent reflects to the child control that raised them.
inline constexpr UINT CN_COMMAND = WM_APP + 0x200;
inline constexpr UINT CN_DRAWITEM = WM_APP + 0x201;
inline constexpr UINT CN_CTLCOLOR = WM_APP + 0x202;

// A child control of a form: one system control window, subclassed so that the notifications
// its parent reflects reach this object. Positions are given at 96 DPI.
class TControl : public TComponent {
public:
    TControl(TForm* parent, std::wstring name);
    ~TControl() override;

    HWND Handle() const noexcept { return FHandle.Get(); }
    TForm* Parent() const noexcept { return FParent; }

    void SetBounds96(int left, int top, int width, int height);
    void SetWidth96(int width);
    // The control's own visibility, whether or not its form shows.
    bool Visible() const noexcept { return (GetWindowLongPtrW(Handle(), GWL_STYLE) & WS_VISIBLE) != 0; }
    void SetVisible(bool visible);
    bool Enabled() const noexcept { return IsWindowEnabled(Handle()) != FALSE; }
    void SetEnabled(bool enabled);
    RECT BoundsInParent() const;
    // Re-applies the 96-DPI bounds and the font at the parent's current DPI.
    virtual void ApplyDpi();

    // A cursor shown over the control (not owned; a system cursor), or none for the default.
    HCURSOR Cursor = nullptr;
    std::function<void()> OnRightClick;

protected:
    void CreateControl(const wchar_t* className, const std::wstring& text, DWORD style, DWORD exStyle = 0);
    virtual LRESULT ControlProc(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual void CNCommand(WORD) {}
    virtual void CNDrawItem(const DRAWITEMSTRUCT&) {}
    // The background brush for a static or button control's colours, or null for the form's.
    virtual HBRUSH CNCtlColor(HDC) { return nullptr; }

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self);
    TForm* FParent;
    UniqueWindow FHandle;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    bool FBoundsSet = false;
};

}  // namespace tovasen
