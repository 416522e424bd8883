#include "output/progress_form.h"

#include <commctrl.h>
#include <uxtheme.h>

#include "output/upload_request.h"
#include "ui/form.h"
#include "ui/std_controls.h"
#include "ui/timer.h"

namespace tovasen {
namespace {

constexpr BYTE kStripAlpha = 140;
constexpr COLORREF kGaugeBackground = RGB(64, 0, 0);
constexpr COLORREF kGaugeBar = RGB(255, 0, 0);
constexpr UINT kRefreshMs = 15;

class TStripForm : public TForm {
public:
    TStripForm() : TForm(nullptr, L"FrmProgress") {
        TCreateParams params;
        params.ClassName = TProgressForm::kClassName;
        params.Style = WS_POPUP | WS_CLIPCHILDREN;
        params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
        params.X = params.Y = params.Width = params.Height = 0;
        params.Background = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        CreateHandle(params);
    }

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_MOUSEACTIVATE) return MA_NOACTIVATE;
        return TForm::WndProc(msg, wParam, lParam);
    }
};

class TGauge : public TControl {
public:
    explicit TGauge(TForm* parent) : TControl(parent, L"FGauge") {
        CreateControl(PROGRESS_CLASSW, L"", PBS_SMOOTH);
        // Themed bars ignore their colours: draw this one classically.
        SetWindowTheme(Handle(), L"", L"");
        SendMessageW(Handle(), PBM_SETBKCOLOR, 0, kGaugeBackground);
        SendMessageW(Handle(), PBM_SETBARCOLOR, 0, kGaugeBar);
        SendMessageW(Handle(), PBM_SETRANGE32, 0, 100);
        SendMessageW(Handle(), PBM_SETPOS, 0, 0);
    }
};

// The caption over the gauge: its text only, the bar shows through around the letters.
class TStripLabel : public TLabel {
public:
    TStripLabel(TForm* parent, const std::wstring& caption) : TLabel(parent, L"FLabel", caption, SS_CENTER) {
        SetWindowLongPtrW(Handle(), GWL_EXSTYLE, GetWindowLongPtrW(Handle(), GWL_EXSTYLE) | WS_EX_TRANSPARENT);
    }

protected:
    HBRUSH CNCtlColor(HDC dc) override {
        TLabel::CNCtlColor(dc);
        SetBkMode(dc, TRANSPARENT);
        return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    }
};

}  // namespace

TProgressForm::TProgressForm(const std::wstring& text) {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    FForm = std::make_unique<TStripForm>();
    HWND strip = FForm->Handle();
    // Owned by the desktop: the strip belongs to no window of ours and outlives none of them.
    SetWindowLongPtrW(strip, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(GetDesktopWindow()));
    SetLayeredWindowAttributes(strip, 0, kStripAlpha, LWA_ALPHA);

    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    FHandle = FindWindowW(L"Shell_TrayWnd", nullptr);
    StripRect taskbar{};
    if (FHandle && GetWindowRect(FHandle, &FRect)) taskbar = {FRect.left, FRect.top, FRect.right, FRect.bottom};
    else FHandle = nullptr;
    const int top = ProgressStripTop(screenWidth, screenHeight, FHandle ? &taskbar : nullptr);
    SetWindowPos(strip, HWND_TOPMOST, 0, top, screenWidth, kStripHeight, SWP_NOACTIVATE);

    FGauge = new TGauge(FForm.get());
    MoveWindow(FGauge->Handle(), 0, 0, screenWidth, kStripHeight, FALSE);
    FLabel = new TStripLabel(FForm.get(), text);
    FLabel->SetFont(L"Segoe UI", 12, false);
    FLabel->SetFontColor(RGB(255, 255, 255));
    MoveWindow(FLabel->Handle(), 0, 8, screenWidth, kStripHeight - 8, FALSE);
    SetWindowPos(FLabel->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    FTimer = new TTimer(FForm.get(), L"TmrProgress", kRefreshMs);
    FTimer->OnTimer = [this] { ApplyValues(); };
    FTimer->SetEnabled(true);

    ShowWindow(strip, SW_SHOWNOACTIVATE);
    UpdateWindow(strip);
}

TProgressForm::~TProgressForm() {
    if (!FForm) return;
    ShowWindow(FForm->Handle(), SW_HIDE);
    // The form frees its timer, label and gauge before its window.
    FForm.reset();
}

HWND TProgressForm::Handle() const noexcept { return FForm->Handle(); }

void TProgressForm::SetProgress(std::uint32_t position, std::uint32_t size) {
    // The gauge counts in a signed int: a range beyond that is shown in halves.
    int shift = 0;
    while ((size >> shift) > 0x7FFFFFFFu) ++shift;
    if (size != FShownSize) {
        SendMessageW(FGauge->Handle(), PBM_SETRANGE32, 0, static_cast<LPARAM>(size >> shift));
        FShownSize = size;
    }
    SendMessageW(FGauge->Handle(), PBM_SETPOS, static_cast<WPARAM>(position >> shift), 0);
    FShownPosition = position;
    // The bar paints over the transparent caption: paint it now, then the text again.
    UpdateWindow(FGauge->Handle());
    RedrawWindow(FLabel->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void TProgressForm::ApplyValues() {
    const std::uint32_t size = FValues->Size.load();
    const std::uint32_t position = FValues->Position.load();
    if (size == FShownSize && position == FShownPosition) return;
    SetProgress(position, size);
}

}  // namespace tovasen
