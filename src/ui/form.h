#pragma once
#include <functional>

#include "ui/captioned.h"
#include "ui/window.h"

namespace tovasen {

enum TModalResult : int { mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL, mrYes = IDYES, mrNo = IDNO };

// A top-level window. Closing asks OnCloseQuery; a form that may close then hides, and the
// application's main form ends the message loop. A modal form returns its ModalResult.
// Notifications of child controls are reflected back to them (CN_COMMAND).
class TForm : public TWindow, public TCaptioned {
public:
    using TWindow::TWindow;
    ~TForm() override;

    std::wstring Caption() const override;
    void SetCaption(const std::wstring& caption) override;
    // The font of the form and its controls ("Segoe UI", 12 px at 96 DPI).
    HFONT Font();

    bool Visible() const noexcept { return HandleAllocated() && IsWindowVisible(Handle()); }
    void Show();
    void Hide();
    void BringToFront();
    // Asks to close: the same path as the title bar's close button.
    void Close();

    // Frees the form after the current message handler returns; it hides at once.
    void Release();

    // Runs before a message for this form or one of its controls is dispatched, once the form
    // asked for it (SetDialogKeys, or a form of its own that calls AddMessageFilter); true
    // means handled. The default gives the form dialog keys (Tab, Enter, Esc, mnemonics).
    virtual bool PreTranslateMessage(MSG& msg);
    void SetDialogKeys(bool enabled);

    int ShowModal();
    bool Showing() const noexcept { return FModal || Visible(); }
    bool IsModal() const noexcept { return FModal; }
    TModalResult ModalResult = mrNone;

    // Sets the client area to width x height (given at 96 DPI) and centres the window on the
    // monitor that holds it.
    void SetClientSize96(int width, int height);
    // The client size last set at 96 DPI; 0 when none was.
    int ClientWidth96() const noexcept { return FClientWidth96; }
    int ClientHeight96() const noexcept { return FClientHeight96; }
    void CenterOnScreen();
    // The DPI the form is laid out for: the window's at creation, then each WM_DPICHANGED's.
    int Dpi() const;
    // A length given at 96 DPI at this window's current DPI, ties to even.
    int ScaleValue(int pixels96) const;

    std::function<void(bool& canClose)> OnCloseQuery;
    std::function<void()> OnRightClick;
    std::function<void()> OnClose;

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // A move to a monitor of another DPI: by default the form takes the suggested rectangle,
    // rebuilds its fonts and lays its controls out again at the new scale.
    virtual void DpiChanged(int dpi, const RECT& suggested);

private:
    void HandleClose();
    bool IsForThisForm(const MSG& msg) const;
    void ApplyClientSize();
    std::wstring FCaption;
    bool FModal = false;
    bool FDialogKeys = false;
    int FDpi = 0;
    int FClientWidth96 = 0, FClientHeight96 = 0;
    UniqueFont FFont;
};

}  // namespace tovasen
