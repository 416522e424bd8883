#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "ui/component.h"
#include "ui/handles.h"

namespace tovasen {

class TForm;

// Messages a parent reflects to the child control that raised them.
inline constexpr UINT CN_COMMAND = WM_APP + 0x200;
inline constexpr UINT CN_DRAWITEM = WM_APP + 0x201;
inline constexpr UINT CN_MEASUREITEM = WM_APP + 0x202;

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
    bool Visible() const noexcept { return IsWindowVisible(Handle()) != FALSE; }
    void SetVisible(bool visible);
    bool Enabled() const noexcept { return IsWindowEnabled(Handle()) != FALSE; }
    void SetEnabled(bool enabled);

protected:
    void CreateControl(const wchar_t* className, const std::wstring& text, DWORD style, DWORD exStyle = 0);
    virtual LRESULT ControlProc(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual void CNCommand(WORD) {}

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self);
    TForm* FParent;
    UniqueWindow FHandle;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
};

}  // namespace tovasen
