#include "select/frm_area.h"

#include <windowsx.h>

#include <climits>

#include "capture/monitors.h"
#include "base/dpi_scale.h"
#include "base/errors.h"
#include "base/settings_registry.h"
#include "i18n/translate_component.h"
#include "select/frm_size.h"
#include "ui/application.h"
#include "ui/fonts.h"
#include "ui/paint_guard.h"

namespace tovasen {

static_assert(ahCaption == HTCAPTION && ahLeft == HTLEFT && ahBottomRight == HTBOTTOMRIGHT && ahClient == HTCLIENT);

namespace {

constexpr COLORREF kHeadColor = RGB(64, 0, 0);
constexpr COLORREF kRecIdleColor = RGB(128, 0, 0);
constexpr COLORREF kRecActiveColor = RGB(255, 255, 0);

TRectI ToRectI(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

TRectI VirtualScreen() { return ToRectI(VirtualScreenRect()); }

}  // namespace

TFrmArea::TFrmArea(TComponent* owner, TFrmSize* sizeDialog)
    : TFrmArea(owner, sizeDialog, ReadRegistrySettings(ScreenSettingsEnvironment()), RegistrySettingsWriter()) {}

TFrmArea::TFrmArea(TComponent* owner, TFrmSize* sizeDialog, const TSettings& settings, TSettingsWriter writer)
    : TForm(owner, L"FrmArea"), FSize(sizeDialog), FWriter(std::move(writer)) {
    TCreateParams params;
    params.ClassName = kClassName;
    params.Caption = L"영역지정 - Tovasen";
    // No parent and no owner: the frame stays when the main window hides in the tray.
    params.Style = WS_POPUP | WS_CLIPCHILDREN;
    params.ExStyle = WS_EX_TOPMOST;
    params.X = 0;
    params.Y = 0;
    params.Width = AreaWindowWidth(settings.width);
    params.Height = AreaWindowHeight(settings.height, kHead96);
    params.Background = nullptr;  // everything is painted in WM_PAINT
    CreateHandle(params);
    // From here on the frame keeps its own scale: on Windows the window already reports a new
    // monitor's DPI when WM_DPICHANGED arrives, while the layout is still the old one.
    FLayoutDpi = Dpi();
    SetCaption(L"영역지정 - Tovasen");

    PopSize = new TPopupMenu(this, L"PopSize");
    PopSize_1 = new TMenuItem(&PopSize->Items(), L"PopSize_1", L"320x240", [this](TMenuItem&) { PopSizeClick(1); });
    PopSize_2 = new TMenuItem(&PopSize->Items(), L"PopSize_2", L"640x480", [this](TMenuItem&) { PopSizeClick(2); });
    PopSize_3 = new TMenuItem(&PopSize->Items(), L"PopSize_3", L"720x480", [this](TMenuItem&) { PopSizeClick(3); });
    new TMenuItem(&PopSize->Items(), L"N1", L"-");
    PopConfig = new TMenuItem(&PopSize->Items(), L"PopConfig", L"설정하기", [this](TMenuItem&) {
        if (FSize) FSize->Open();
    });
    PopClose = new TMenuItem(&PopSize->Items(), L"PopClose", L"감추기", [this](TMenuItem&) { Close(); });
    TmrColor = new TTimer(this, L"TmrColor", 100);
    TmrColor->OnTimer = [this] { TmrColorTimer(); };
    OnClose = [this] { FormClose(); };

    if (FSize) FSize->OnApply = [this](int w, int h, int sizeNo) { SetSize(w, h, sizeNo); };
    TranslateComponent(this);
    LoadConfig(settings);
    FLoaded = true;
    FormResize();
}

TFrmArea::~TFrmArea() {
    if (FSize) FSize->OnApply = nullptr;
}

// --- Geometry ----------------------------------------------------------------------------------

TRectI TFrmArea::WindowRectI() const {
    RECT r{};
    GetWindowRect(Handle(), &r);
    return ToRectI(r);
}

SIZE TFrmArea::ClientSize() const {
    RECT r{};
    GetClientRect(Handle(), &r);
    return {r.right, r.bottom};
}

RECT TFrmArea::GetRect() const {
    const TRectI r = AreaCaptureRect(WindowRectI(), HeadHeight());
    return {r.left, r.top, r.right, r.bottom};
}

void TFrmArea::SetSize(int width, int height, int sizeNo) {
    TMenuItem* items[] = {nullptr, PopSize_1, PopSize_2, PopSize_3};
    if (sizeNo >= 1 && sizeNo <= 3) items[sizeNo]->Caption = FormatAreaSize(width, height);
    SetWindowPos(Handle(), nullptr, 0, 0, AreaWindowWidth(width), AreaWindowHeight(height, HeadHeight()),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TFrmArea::SetMove(int left, int top) {
    SetWindowPos(Handle(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (FLoaded) SaveConfig();
}

void TFrmArea::LoadConfig(const TSettings& settings) {
    const SIZE presets[] = {{settings.width_1, settings.height_1},
                            {settings.width_2, settings.height_2},
                            {settings.width_3, settings.height_3}};
    TMenuItem* items[] = {PopSize_1, PopSize_2, PopSize_3};
    for (int i = 1; i <= 3; ++i) {
        FPresets[i - 1] = presets[i - 1];
        // Each caption is made from the value its item applies.
        const int w = FSize ? FSize->PresetWidth(i) : presets[i - 1].cx;
        const int h = FSize ? FSize->PresetHeight(i) : presets[i - 1].cy;
        items[i - 1]->Caption = FormatAreaSize(w, h);
    }

    int left = settings.left, top = settings.top, width = settings.width, height = settings.height;
    // The whole window must lie on the desktop, head and bands included, or the user could not
    // reach the frame to move it back.
    const TRectI window{left, top, left + AreaWindowWidth(width), top + AreaWindowHeight(height, HeadHeight())};
    const bool fits = width >= kAreaMinCapture && height >= kAreaMinCapture && AreaFitsDesktop(window, VirtualScreen());
    if (!fits) {
        const TSettings defaults = DefaultSettings(ScreenSettingsEnvironment());
        left = defaults.left;
        top = defaults.top;
        width = defaults.width;
        height = defaults.height;
    }
    SetMove(left, top);
    SetSize(width, height, 0);
    if (!fits) {
        FLoaded = true;
        SaveConfig();
        FLoaded = false;
    }
}

void TFrmArea::SaveConfig() {
    if (!FLoaded) return;
    const TRectI window = WindowRectI();
    const TRectI capture = AreaCaptureRect(window, HeadHeight());
    FWriter.Write(&TSettings::width, capture.Width());
    FWriter.Write(&TSettings::height, capture.Height());
    FWriter.Write(&TSettings::left, window.left);
    FWriter.Write(&TSettings::top, window.top);
}

void TFrmArea::FormResize() {
    const SIZE client = ClientSize();
    const int head = HeadHeight();
    const int width = client.cx - 2 * kAreaBorder;
    const int height = client.cy - head - 2 * kAreaBorder;
    FSizeText = FormatAreaSize(width, height);
    // A move changes nothing here, and the hole only moves when the size or the head does.
    if (client.cx != FRegionSize.cx || client.cy != FRegionSize.cy || head != FRegionHead) {
        RebuildRegion(client.cx, client.cy);
        FRegionSize = client;
        FRegionHead = head;
    }
    InvalidateRect(Handle(), nullptr, FALSE);
    // Inside the system's move or size loop the dialog's fields and the settings wait for its
    // end: each step of a drag is then only the window and its region.
    if (FInSizeMove) return;
    if (FSize) FSize->SetCurrentSize(width, height);
    // The first sizes arrive while the window is made, before the stored geometry is read:
    // they must not overwrite it.
    if (FLoaded && !FAdjustingDpi) SaveConfig();
}

void TFrmArea::EndSizeMove() {
    FInSizeMove = false;
    const SIZE client = ClientSize();
    if (FSize) FSize->SetCurrentSize(client.cx - 2 * kAreaBorder, client.cy - HeadHeight() - 2 * kAreaBorder);
    SaveConfig();
}

int TFrmArea::Scale(int pixels96) const { return ScaleToDpi(pixels96, FLayoutDpi); }

void TFrmArea::RebuildRegion(int width, int height) {
    const int head = HeadHeight();
    UniqueRegion outer(CreateRectRgn(0, 0, width, height));
    UniqueRegion hole(CreateRectRgn(kAreaBorder, head + kAreaBorder, width - kAreaBorder, height - kAreaBorder));
    if (!outer || !hole) RaiseLastOSError(L"CreateRectRgn");
    CombineRgn(outer.Get(), outer.Get(), hole.Get(), RGN_DIFF);
    // The system owns the region once it took it; a refused one is still ours to delete.
    if (SetWindowRgn(Handle(), outer.Get(), TRUE)) outer.Release();
}

bool TFrmArea::RecLabelVisible() const { return WindowRectI().Width() > Scale(292); }
bool TFrmArea::CloseButtonVisible() const { return WindowRectI().Width() > Scale(112); }
bool TFrmArea::SizeLabelVisible() const { return WindowRectI().Width() > Scale(64); }

RECT TFrmArea::CloseButtonRect() const {
    const SIZE client = ClientSize();
    const int left = client.cx - Scale(kPanel96) + Scale(58);
    return {left, Scale(5), left + Scale(16), Scale(5) + Scale(16)};
}

RECT TFrmArea::RecLabelRect() const {
    const SIZE client = ClientSize();
    return {Scale(kPanel96), 0, client.cx - Scale(kPanel96), HeadHeight()};
}

void TFrmArea::DpiChanged(int dpi, const RECT& suggested) {
    // The new position, the head at the new scale, and the capture area unchanged in pixels:
    // a preset or a recording keeps its exact size on any monitor.
    const TRectI capture = AreaCaptureRect(WindowRectI(), HeadHeight());
    FLayoutDpi = dpi;
    const RECT target{suggested.left, suggested.top, suggested.left + AreaWindowWidth(capture.Width()),
                      suggested.top + AreaWindowHeight(capture.Height(), HeadHeight())};
    FAdjustingDpi = true;
    try {
        TForm::DpiChanged(dpi, target);
    } catch (...) {
        FAdjustingDpi = false;
        throw;
    }
    FAdjustingDpi = false;
    FBoldFont.Reset();
    FormResize();
}

// --- Recording state ---------------------------------------------------------------------------

void TFrmArea::SetRecording(bool recording) {
    FRecording = recording;
    if (!recording) {
        FPaused = false;
        FElapsed = L"00:00:00";
    }
    ShowRecLabel();
}

void TFrmArea::SetRecTime(const std::wstring& elapsed) {
    FElapsed = elapsed;
    ShowRecLabel();
}

void TFrmArea::SetPaused(bool paused) {
    FPaused = paused;
    ShowRecLabel();
}

void TFrmArea::ShowRecLabel() {
    FRecText = (FPaused ? L"[PAUSED] " : L"[REC] ") + FElapsed;
    const RECT label = RecLabelRect();
    InvalidateRect(Handle(), &label, FALSE);
}

// --- Actions -----------------------------------------------------------------------------------

void TFrmArea::PopSizeClick(int sizeNo) {
    if (FSize) {
        SetSize(FSize->PresetWidth(sizeNo), FSize->PresetHeight(sizeNo), 0);
        return;
    }
    const SIZE preset = FPresets[sizeNo - 1];
    SetSize(preset.cx, preset.cy, 0);
}

void TFrmArea::BtnCloseClick() {
    // Closed first: whoever hears it finds the frame hidden and its recording stopped.
    Close();
    if (OnCloseButton) OnCloseButton();
}

void TFrmArea::FormClose() {
    if (FRecording && OnStopRecording) OnStopRecording();
    SaveConfig();
}

void TFrmArea::TmrColorTimer() {
    FBandColor = FPulse.Tick(FAreaColor);
    WindowDC dc(Handle());
    if (dc.Get()) PaintBands(dc.Get());
}

void TFrmArea::ShowSizeMenu(int x, int y) { PopSize->Popup(x, y, Handle()); }

bool TFrmArea::KeyDown(WPARAM key) {
    AreaKey move;
    switch (key) {
    case VK_UP: move = AreaKey::Up; break;
    case VK_DOWN: move = AreaKey::Down; break;
    case VK_LEFT: move = AreaKey::Left; break;
    case VK_RIGHT: move = AreaKey::Right; break;
    default: return false;
    }
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    const TRectI moved = AreaKeyMove(WindowRectI(), move, shift, ctrl, HeadHeight());
    SetWindowPos(Handle(), nullptr, moved.left, moved.top, moved.Width(), moved.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
    SaveConfig();
    return true;
}

LRESULT TFrmArea::HitTest(LPARAM lParam) {
    const LRESULT standard = DefaultHandler(WM_NCHITTEST, 0, lParam);
    if (standard == HTNOWHERE) return standard;
    POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(Handle(), &at);
    const SIZE client = ClientSize();
    const RECT button = CloseButtonRect();
    AreaHitInput in;
    in.x = at.x;
    in.y = at.y;
    in.clientWidth = client.cx;
    in.clientHeight = client.cy;
    in.head = HeadHeight();
    in.overButton = CloseButtonVisible() && PtInRect(&button, at);
    in.resizeLocked = FRecording;
    return AreaHitTest(in);
}

// --- Painting ----------------------------------------------------------------------------------

HFONT TFrmArea::BoldFont() {
    if (!FBoldFont || FBoldFontDpi != FLayoutDpi) {
        FBoldFont = NewFont(Scale(12), FW_BOLD);
        FBoldFontDpi = FLayoutDpi;
    }
    return FBoldFont.Get();
}

void TFrmArea::PaintBands(HDC dc) {
    const SIZE c = ClientSize();
    const int head = HeadHeight();
    const RECT bands[] = {{0, head, c.cx, head + kAreaBorder},
                          {0, head + kAreaBorder, kAreaBorder, c.cy - kAreaBorder},
                          {c.cx - kAreaBorder, head + kAreaBorder, c.cx, c.cy - kAreaBorder},
                          {0, c.cy - kAreaBorder, c.cx, c.cy}};
    // The DC's own brush: a pulse tick allocates nothing.
    const ScopedSelect brush(dc, GetStockObject(DC_BRUSH));
    SetDCBrushColor(dc, FBandColor);
    for (const RECT& band : bands) PatBlt(dc, band.left, band.top, band.right - band.left, band.bottom - band.top, PATCOPY);
}

void TFrmArea::Paint(HDC dc) {
    const SIZE c = ClientSize();
    const int head = HeadHeight();
    {
        const ScopedSelect brush(dc, GetStockObject(DC_BRUSH));
        SetDCBrushColor(dc, kHeadColor);
        PatBlt(dc, 0, 0, c.cx, head, PATCOPY);
    }
    PaintBands(dc);
    SetBkMode(dc, TRANSPARENT);
    if (SizeLabelVisible()) {
        const ScopedSelect font(dc, Font());
        SetTextColor(dc, RGB(255, 255, 255));
        RECT label{Scale(6), Scale(5), Scale(kPanel96), head};
        DrawTextW(dc, FSizeText.c_str(), static_cast<int>(FSizeText.size()), &label, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    }
    if (RecLabelVisible()) {
        const ScopedSelect font(dc, FRecording ? BoldFont() : Font());
        SetTextColor(dc, FRecording ? kRecActiveColor : kRecIdleColor);
        RECT label = RecLabelRect();
        label.top = Scale(5);
        DrawTextW(dc, FRecText.c_str(), static_cast<int>(FRecText.size()), &label, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    }
    if (CloseButtonVisible()) {
        // The close glyph, drawn at the window's scale so it stays sharp on any monitor.
        const RECT b = CloseButtonRect();
        const int inset = Scale(4);
        UniquePen pen(CreatePen(PS_SOLID, Scale(2), RGB(255, 255, 255)));
        const ScopedSelect selected(dc, pen.Get());
        MoveToEx(dc, b.left + inset, b.top + inset, nullptr);
        LineTo(dc, b.right - inset, b.bottom - inset);
        MoveToEx(dc, b.right - inset, b.top + inset, nullptr);
        LineTo(dc, b.left + inset, b.bottom - inset);
    }
}

// --- Messages ----------------------------------------------------------------------------------

LRESULT TFrmArea::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_NCHITTEST:
        return HitTest(lParam);
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
            POINT at{};
            GetCursorPos(&at);
            ScreenToClient(Handle(), &at);
            const RECT button = CloseButtonRect();
            if (CloseButtonVisible() && PtInRect(&button, at)) {
                SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
                return TRUE;
            }
        }
        break;
    case WM_LBUTTONUP: {
        const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        const RECT button = CloseButtonRect();
        if (CloseButtonVisible() && PtInRect(&button, at)) BtnCloseClick();
        return 0;
    }
    case WM_NCLBUTTONDBLCLK:
        // A quick second press on the head or a band is a press like the first: it starts a
        // move or a resize, never a maximise.
        return DefaultHandler(WM_NCLBUTTONDOWN, wParam, lParam);
    case WM_NCRBUTTONDOWN:
    case WM_RBUTTONDOWN:
        // The right button never starts the system's move loop, which only a left release ends.
        return 0;
    case WM_NCRBUTTONUP:
        ShowSizeMenu(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_RBUTTONUP: {
        POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(Handle(), &at);
        ShowSizeMenu(at.x, at.y);
        return 0;
    }
    case WM_CONTEXTMENU: {
        POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (lParam == -1) {  // from the keyboard: under the head's left corner
            RECT window{};
            GetWindowRect(Handle(), &window);
            at = {window.left, window.top + HeadHeight()};
        }
        ShowSizeMenu(at.x, at.y);
        return 0;
    }
    case WM_KEYDOWN:
        if (KeyDown(wParam)) return 0;
        break;
    case WM_SYSKEYDOWN:
        if (wParam == VK_F4) return 0;  // Alt+F4 leaves the frame where it is
        break;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        int w = 0, h = 0;
        ClampAreaWindowSize(w, h, HeadHeight());
        info->ptMinTrackSize = {w, h};
        info->ptMaxTrackSize = {SHRT_MAX, SHRT_MAX};  // no maximum: presets may exceed the screen
        return 0;
    }
    case WM_WINDOWPOSCHANGING: {
        auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
        if (!(pos->flags & SWP_NOSIZE)) ClampAreaWindowSize(pos->cx, pos->cy, HeadHeight());
        return 0;
    }
    case WM_WINDOWPOSCHANGED: {
        const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
        // The pulse runs exactly while the frame shows, however it was shown or hidden.
        if (TmrColor && (pos->flags & SWP_SHOWWINDOW)) TmrColor->SetEnabled(true);
        if (TmrColor && (pos->flags & SWP_HIDEWINDOW)) TmrColor->SetEnabled(false);
        break;  // the default sends WM_SIZE and WM_MOVE
    }
    case WM_SIZE:
        FormResize();
        return 0;
    case WM_ENTERSIZEMOVE:
        FInSizeMove = true;
        return 0;
    case WM_EXITSIZEMOVE:
        EndSizeMove();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        const TPaintGuard painting(Handle());
        HDC dc = painting.Dc();
        if (dc) Paint(dc);
        return 0;
    }
    default:
        break;
    }
    return TForm::WndProc(msg, wParam, lParam);
}

}  // namespace tovasen
