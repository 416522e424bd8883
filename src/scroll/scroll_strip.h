#pragma once
#include <windows.h>

#include <string>

#include "ui/form.h"

namespace tovasen {

// The small strip that shows a scrolling capture's progress and "Esc to stop". It sits just
// outside the captured view (below it, else above it); where the view leaves no room it lies
// over the view and the capture hides it for every grab, so it is never in the picture. It
// never takes the focus, and while it exists Esc anywhere asks the capture to stop.
class TScrollStrip : public TForm {
public:
    static constexpr wchar_t kClassName[] = L"TScrollStrip";

    explicit TScrollStrip(const RECT& view);
    ~TScrollStrip() override;

    void SetText(const std::wstring& text);
    void Conceal();
    void Reveal();
    // Esc was pressed since the strip appeared, or since ForgetEsc.
    bool EscPressed();
    void ForgetEsc() noexcept { FEsc = false; }

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void Place();
    void Paint();

    RECT FView;
    bool FCovers = false;
    bool FHotKey = false;
    bool FEsc = false;
    std::wstring FText;
};

}  // namespace tovasen
