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

    int ShowModal();
    bool Showing() const noexcept { return FModal || Visible(); }
    bool IsModal() const noexcept { return FModal; }
    TModalResult ModalResult = mrNone;

    // Sets the client area to width x height (given at 96 DPI) and centres the window on the
    // monitor that holds it.
    void SetClientSize96(int width, int height);
    void CenterOnScreen();
    int Dpi() const;
    // A length given at 96 DPI at this window's current DPI, ties to even.
    int ScaleValue(int pixels96) const;

    std::function<void(bool& canClose)> OnCloseQuery;
    std::function<void()> OnRightClick;
    std::function<void()> OnClose;

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void HandleClose();
    std::wstring FCaption;
    bool FModal = false;
    UniqueFont FFont;
};

}  // namespace tovasen
