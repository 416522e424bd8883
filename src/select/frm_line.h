#pragma once
#include <cstdint>
#include <functional>

#include "ui/form.h"
#include "ui/timer.h"

namespace tovasen {

// The window a window-mode capture takes: the foreground window (mode 3) or the window under
// the cursor (mode 4). The picker's own outline stands for the main window, so what is
// outlined is what is captured. Null when there is none (or for any other mode).
HWND PickTarget(int mode, HWND picker, HWND mainWindow);

// The picker: a one-pixel outline laid around the window or control that a window-control
// capture would take, redrawn as a moving dashed line. It never takes the focus and never
// appears in a capture (it lies one pixel outside the target).
class TFrmLine : public TForm {
public:
    static constexpr wchar_t kClassName[] = L"TFrmLine";

    // mode tells the capture mode now; mainWindow gets the focus back and stands in for the
    // outline itself.
    TFrmLine(TComponent* owner, std::function<int()> mode, HWND mainWindow);
    ~TFrmLine() override;

    // Shows the outline without activating anything and starts following.
    void ShowPicker();
    void Timer1Timer();

    TTimer* Timer1 = nullptr;
    int Delay = 0;
    // The phase of the dashes, shared by every picker of the program; a new picker starts at 0.
    static std::uint8_t DashPattern;

    // The target outlined last and how often the window actually moved (tests, figures).
    HWND Target() const noexcept { return FTarget; }
    int Moves() const noexcept { return FMoves; }

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void RebuildRegion(int width, int height);
    void DrawOutline();

    std::function<int()> FMode;
    HWND FMainWindow;
    HWND FTarget = nullptr;
    RECT FBounds{};
    int FMoves = 0;
};

}  // namespace tovasen
