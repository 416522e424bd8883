#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "base/capture_kinds.h"
#include "select/selection_pixels.h"
#include "image/bitmap.h"
#include "ui/form.h"
#include "ui/timer.h"

namespace tovasen {

class TMovementWatch;
class TOutlineStrip;

// The window a window-mode capture takes: the foreground window (active window mode) or the
// window under the cursor (window-control mode). The picker's own outline stands for the main window, so what is
// outlined is what is captured. Null when there is none (or for any other mode).
HWND PickTarget(TCaptureMode mode, HWND picker, HWND mainWindow);

// The picker: a one-pixel outline laid around the window or control that a window-control
// capture would take, redrawn as a moving dashed line. It never takes the focus and never
// appears in a capture (it lies one pixel outside the target).
//
// The outline is four thin windows, one per side, so a redraw touches a few thousand pixels,
// never a screen-sized window. This form's own window is the top side; the other
// three are owned by it. It follows the mouse and other windows as they move (hooks, no
// polling); a timer only moves the dashes on, and looks again for what a hook cannot report.
class TFrmLine : public TForm {
public:
    static constexpr wchar_t kClassName[] = L"TFrmLine";
    static constexpr UINT kDashInterval = 110;  // ms between dash steps
    static constexpr int kStepsPerLook = 9;     // dash steps between two looks without a hook's word

    // mode tells the capture mode now; mainWindow gets the focus back and stands in for the
    // outline itself.
    TFrmLine(TComponent* owner, std::function<TCaptureMode()> mode, HWND mainWindow);
    ~TFrmLine() override;

    // Shows the outline without activating anything and starts following.
    void ShowPicker();
    // Follows the target now: moves the outline when the target or its bounds changed.
    void Follow();
    // One dash step: follows, then redraws the outline with the dashes moved on.
    void Timer1Timer();

    TTimer* Timer1 = nullptr;
    // The phase of the dashes, shared by every picker of the program; a new picker starts at 0.
    static std::uint8_t DashPattern;

    // The target outlined last, the outline's screen rectangle, how often the outline moved and
    // how often it was drawn (tests, figures).
    HWND Target() const noexcept { return FTarget; }
    RECT OutlineRect() const noexcept { return FBounds; }
    int Moves() const noexcept { return FMoves; }
    int Draws() const noexcept { return FDraws; }
    // The four sides: top (this form's window), right, bottom, left.
    std::array<HWND, 4> Strips() const;
    // Whether the mouse hook is set (without it the outline follows at the dash steps only).
    bool Watching() const noexcept;

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    friend class TOutlineStrip;
    // Finds the target again; true when the outline must move.
    bool Track();
    // Puts the sides in place when they moved, with the dashes moved on when asked.
    void Draw(bool moved, bool nextDash);
    void PaintSide(std::size_t side, HDC dc);
    void StopFollowing();
    // What every side answers alike (side 0 is the top, this form's window); handled false
    // passes the message on.
    LRESULT StripMessage(std::size_t side, UINT msg, WPARAM wParam, bool& handled);

    std::function<TCaptureMode()> FMode;
    HWND FMainWindow;
    HWND FTarget = nullptr;
    RECT FBounds{};
    int FMoves = 0;
    int FDraws = 0;
    int FSteps = 0;
    std::array<TOutlineStrip*, 3> FOthers{};  // right, bottom, left
    std::array<TBitmap, 4> FPixels;           // each side's picture, one pixel thick
    std::array<HDC, 4> FDcs{};                // each side's own DC (CS_OWNDC: never released)
    TOutlineStrips FDashes;                   // the dashes drawn last, kept while only moving
    std::unique_ptr<TMovementWatch> FWatch;
};

}  // namespace tovasen
