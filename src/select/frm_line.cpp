#include "select/frm_line.h"

#include <cstring>
#include <vector>

#include "base/errors.h"
#include "capture/capture.h"
#include "select/movement_watch.h"
#include "ui/paint_guard.h"

namespace tovasen {

namespace {

constexpr UINT WM_HANDBACK = WM_APP + 0x31;
constexpr wchar_t kStripClassName[] = L"TFrmLineStrip";

// A plain window one pixel thick that paints its side's picture and can be clicked (the main
// window then stands for it); never activated, no taskbar button. Not layered: under Wine a
// layered window's update costs over ten times the plain window's paint.
TCreateParams StripParams(const wchar_t* className, HWND owner) {
    TCreateParams params;
    params.ClassName = className;
    params.Caption = L"";
    params.Style = WS_POPUP;
    params.ExStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
    params.X = 0;
    params.Y = 0;
    params.Width = 1;
    params.Height = 1;
    params.Parent = owner;
    params.ClassStyle = CS_OWNDC;  // each dash step draws through it: no DC is made and freed each time
    return params;
}

}  // namespace

// One side of the outline other than the top: its messages are the picker's.
class TOutlineStrip : public TWindow {
public:
    TOutlineStrip(TFrmLine* picker, std::size_t side) : TWindow(picker, L""), FPicker(picker), FSide(side) {
        CreateHandle(StripParams(kStripClassName, picker->Handle()));
    }

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        bool handled = false;
        const LRESULT result = FPicker->StripMessage(FSide, msg, wParam, handled);
        return handled ? result : TWindow::WndProc(msg, wParam, lParam);
    }

private:
    TFrmLine* FPicker;
    std::size_t FSide;
};

std::uint8_t TFrmLine::DashPattern = 0;

HWND PickTarget(TCaptureMode mode, HWND picker, HWND mainWindow) {
    HWND target = nullptr;
    if (mode == TCaptureMode::ActiveWindow) {
        target = GetForegroundWindow();
    } else if (mode == TCaptureMode::WindowControl) {
        POINT at{};
        if (!GetCursorPos(&at)) return nullptr;
        target = WindowFromPoint(at);
    }
    // Any side of the outline: the top one is the picker's window, the others it owns.
    if (target && picker && (target == picker || GetWindow(target, GW_OWNER) == picker)) target = mainWindow;
    return target;
}

TFrmLine::TFrmLine(TComponent* owner, std::function<TCaptureMode()> mode, HWND mainWindow)
    : TForm(owner, L"FrmLine"), FMode(std::move(mode)), FMainWindow(mainWindow) {
    CreateHandle(StripParams(kClassName, nullptr));
    for (std::size_t i = 0; i < FOthers.size(); ++i) FOthers[i] = new TOutlineStrip(this, i + 1);
    DashPattern = 0;
    Timer1 = new TTimer(this, L"Timer1", kDashInterval);
    Timer1->OnTimer = [this] { Timer1Timer(); };
}

TFrmLine::~TFrmLine() { StopFollowing(); }

std::array<HWND, 4> TFrmLine::Strips() const {
    return {Handle(), FOthers[0]->Handle(), FOthers[1]->Handle(), FOthers[2]->Handle()};
}

bool TFrmLine::Watching() const noexcept { return FWatch && FWatch->Watching(); }

void TFrmLine::ShowPicker() {
    Follow();
    for (HWND strip : Strips()) ShowWindow(strip, SW_SHOWNOACTIVATE);
    Timer1->SetEnabled(true);
    if (!FWatch) FWatch = std::make_unique<TMovementWatch>([this] { Follow(); });
}

void TFrmLine::StopFollowing() {
    if (Timer1) Timer1->SetEnabled(false);
    FWatch.reset();
}

bool TFrmLine::Track() {
    HWND target = PickTarget(FMode ? FMode() : TCaptureMode::FullScreen, Handle(), FMainWindow);
    if (!target) return false;
    if (target != FTarget) {
        FTarget = target;
        // Above any topmost window that came since; restacking is the dearest part of a move, so
        // only for a new target.
        for (HWND strip : Strips()) SetWindowPos(strip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    const RECT r = VisibleWindowRect(target);
    const RECT bounds{r.left - 1, r.top - 1, r.right + 1, r.bottom + 1};
    // A still mouse over a still window costs nothing but this comparison.
    if (EqualRect(&bounds, &FBounds)) return false;
    FBounds = bounds;
    ++FMoves;
    return true;
}

void TFrmLine::Follow() {
    if (Track()) Draw(true, false);
}

void TFrmLine::Timer1Timer() {
    // The hooks miss what moves without telling anyone (and all of it under Wine): now and then a
    // step looks again, so such a move is followed within a second. Not each step: finding the
    // window under the mouse costs more than drawing the dashes.
    const bool moved = ++FSteps % kStepsPerLook == 0 && Track();
    Draw(moved, true);
}

void TFrmLine::Draw(bool moved, bool nextDash) {
    const int width = FBounds.right - FBounds.left, height = FBounds.bottom - FBounds.top;
    if (width <= 0 || height <= 0) return;
    const bool resized = static_cast<int>(FDashes.top.size()) != width || static_cast<int>(FDashes.left.size()) != height;
    if (nextDash || resized) {
        FDashes = DrawOutline(width, height, DashPattern);
        const std::vector<std::uint32_t>* sides[] = {&FDashes.top, &FDashes.right, &FDashes.bottom, &FDashes.left};
        for (std::size_t i = 0; i < FPixels.size(); ++i) {
            const bool across = i % 2 == 0;
            TBitmap& pixels = FPixels[i];
            pixels.SetPixelFormat(TPixelFormat::pf32bit);
            pixels.SetSize(across ? width : 1, across ? 1 : height);
            // A side across is one row; a side down is one pixel a row.
            std::uint8_t* row = pixels.ScanLine(0);
            const std::size_t step = across ? 4 : static_cast<std::size_t>(pixels.Stride());
            for (const std::uint32_t color : *sides[i]) {
                std::memcpy(row, &color, sizeof(color));
                row += step;
            }
        }
        ++FDraws;
    }
    const std::array<HWND, 4> strips = Strips();
    if (moved) {
        // All four at once.
        const POINT origins[] = {{FBounds.left, FBounds.top},
                                 {FBounds.right - 1, FBounds.top},
                                 {FBounds.left, FBounds.bottom - 1},
                                 {FBounds.left, FBounds.top}};
        HDWP batch = BeginDeferWindowPos(4);
        for (std::size_t i = 0; i < strips.size() && batch; ++i) {
            batch = DeferWindowPos(batch, strips[i], nullptr, origins[i].x, origins[i].y, FPixels[i].Width(),
                                   FPixels[i].Height(), SWP_NOACTIVATE | SWP_NOZORDER);
        }
        if (batch) EndDeferWindowPos(batch);
    }
    // Drawn straight away rather than through WM_PAINT: a dash step is then four small copies,
    // through each side's own DC (kept for the window's life, so not asked for at each step).
    // Only a move makes a side ask for a paint, which this drawing makes needless.
    for (std::size_t i = 0; i < strips.size(); ++i) {
        if (!FDcs[i]) FDcs[i] = GetDC(strips[i]);
        if (FDcs[i]) PaintSide(i, FDcs[i]);
        if (moved) ValidateRect(strips[i], nullptr);
    }
}

void TFrmLine::PaintSide(std::size_t side, HDC dc) {
    TBitmap& pixels = FPixels[side];
    if (!pixels.Empty()) BitBlt(dc, 0, 0, pixels.Width(), pixels.Height(), pixels.Canvas().Handle(), 0, 0, SRCCOPY);
}

LRESULT TFrmLine::StripMessage(std::size_t side, UINT msg, WPARAM wParam, bool& handled) {
    handled = true;
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;  // the paint covers the whole side
    case WM_PAINT: {
        const HWND strip = Strips()[side];
        const TPaintGuard painting(strip);
        HDC dc = painting.Dc();
        if (dc) PaintSide(side, dc);
        return 0;
    }
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_ACTIVATE:
        // Give the focus back later, not from inside the activation itself.
        if (LOWORD(wParam) != WA_INACTIVE) PostMessageW(Handle(), WM_HANDBACK, 0, 0);
        break;
    case WM_SETCURSOR:
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32515)));  // IDC_CROSS
        return TRUE;
    default:
        break;
    }
    handled = false;
    return 0;
}

LRESULT TFrmLine::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_HANDBACK) {
        if (FMainWindow && IsWindowVisible(FMainWindow)) SetForegroundWindow(FMainWindow);
        return 0;
    }
    if (msg == WM_WINDOWPOSCHANGED && (reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_HIDEWINDOW)) {
        // Hidden by the owner (closing the picker hides it first): the other sides go with it.
        StopFollowing();
        for (TOutlineStrip* strip : FOthers) ShowWindow(strip->Handle(), SW_HIDE);
    }
    bool handled = false;
    const LRESULT result = StripMessage(0, msg, wParam, handled);
    return handled ? result : TForm::WndProc(msg, wParam, lParam);
}

}  // namespace tovasen
