#include "select/frm_area.h"

#include <windowsx.h>

#include <climits>

#include "base/config.h"
#include "base/dpi_scale.h"
#include "base/errors.h"
#include "i18n/translate_component.h"
#include "select/frm_size.h"
#include "ui/application.h"

namespace tovasen {

static_assert(ahCaption == HTCAPTION && ahLeft == HTLEFT && ahBottomRight == HTBOTTOMRIGHT && ahClient == HTCLIENT);

namespace {

constexpr COLORREF kHeadColor = RGB(64, 0, 0);
constexpr COLORREF kRecIdleColor = RGB(128, 0, 0);
constexpr COLORREF kRecActiveColor = RGB(255, 255, 0);
constexpr int kDefaultWidth = 480, kDefaultHeight = 360;

TRectI ToRectI(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

TRectI VirtualScreen() {
    const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return {x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN), y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

}  // namespace

TFrmArea::TFrmArea(TComponent* owner, TFrmSize* sizeDialog) : TForm(owner, L"FrmArea"), FSize(sizeDialog) {
    TCreateParams params;
    params.ClassName = kClassName;
    params.Caption = L"영역지정 - Tovasen";
    // No parent and no owner: the frame stays when the main window hides in the tray.
    params.Style = WS_POPUP | WS_CLIPCHILDREN;
    params.ExStyle = WS_EX_TOPMOST;
    params.X = 0;
    params.Y = 0;
    params.Width = AreaWindowWidth(kDefaultWidth);
    params.Height = AreaWindowHeight(kDefaultHeight, kHead96);
    params.Background = nullptr;  // everything is painted in WM_PAINT
    CreateHandle(params);
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
    LoadConfig();
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

void TFrmArea::LoadConfig() {
    TConfig config;
    const int centreLeft = (GetSystemMetrics(SM_CXSCREEN) - kDefaultWidth) / 2;
    const int centreTop = (GetSystemMetrics(SM_CYSCREEN) - kDefaultHeight) / 2;
    int left = config.ReadInteger(L"left", centreLeft);
    int top = config.ReadInteger(L"top", centreTop);
    int width = config.ReadInteger(L"width", kDefaultWidth);
    int height = config.ReadInteger(L"height", kDefaultHeight);

    // Each caption is made from the value its item applies, which the dialog keeps in range.
    static constexpr int kPresetDefaults[3][2] = {{320, 240}, {640, 480}, {720, 480}};
    TMenuItem* items[] = {PopSize_1, PopSize_2, PopSize_3};
    for (int i = 1; i <= 3; ++i) {
        const std::wstring n = std::to_wstring(i);
        const int w = FSize ? FSize->PresetWidth(i) : ClampSpin(config.ReadInteger(L"width_" + n, kPresetDefaults[i - 1][0]));
        const int h = FSize ? FSize->PresetHeight(i) : ClampSpin(config.ReadInteger(L"height_" + n, kPresetDefaults[i - 1][1]));
        items[i - 1]->Caption = FormatAreaSize(w, h);
    }

    // The whole window must lie on the desktop, head and bands included, or the user could not
    // reach the frame to move it back.
    const TRectI window{left, top, left + AreaWindowWidth(width), top + AreaWindowHeight(height, HeadHeight())};
    const bool fits = width >= kAreaMinCapture && height >= kAreaMinCapture && AreaFitsDesktop(window, VirtualScreen());
    if (!fits) {
        left = centreLeft;
        top = centreTop;
        width = kDefaultWidth;
        height = kDefaultHeight;
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
    TConfig config;
    config.WriteInteger(L"width", capture.Width());
    config.WriteInteger(L"height", capture.Height());
    config.WriteInteger(L"left", window.left);
    config.WriteInteger(L"top", window.top);
}

void TFrmArea::FormResize() {
    const SIZE client = ClientSize();
    const int width = client.cx - 2 * kAreaBorder;
    const int height = client.cy - HeadHeight() - 2 * kAreaBorder;
    if (FSize) FSize->SetCurrentSize(width, height);
    FSizeText = FormatAreaSize(width, height);
    RebuildRegion(client.cx, client.cy);
    InvalidateRect(Handle(), nullptr, FALSE);
    // The first sizes arrive while the window is made, before the stored geometry is read:
    // they must not overwrite it.
    if (FLoaded && !FAdjustingDpi) SaveConfig();
}

void TFrmArea::RebuildRegion(int width, int height) {
    const int head = HeadHeight();
    UniqueRegion outer(CreateRectRgn(0, 0, width, height));
    UniqueRegion hole(CreateRectRgn(kAreaBorder, head + kAreaBorder, width - kAreaBorder, height - kAreaBorder));
    if (!outer || !hole) RaiseLastOSError(L"CreateRectRgn");
    CombineRgn(outer.Get(), outer.Get(), hole.Get(), RGN_DIFF);
    // The system owns the region once it took it; a refused one is still ours to delete.
    if (SetWindowRgn(Handle(), outer.Get(), TRUE)) outer.Release();
}

bool TFrmArea::RecLabelVisible() const { return WindowRectI().Width() > ScaleValue(292); }
bool TFrmArea::CloseButtonVisible() const { return WindowRectI().Width() > ScaleValue(112); }
bool TFrmArea::SizeLabelVisible() const { return WindowRectI().Width() > ScaleValue(64); }

RECT TFrmArea::CloseButtonRect() const {
    const SIZE client = ClientSize();
    const int left = client.cx - ScaleValue(kPanel96) + ScaleValue(58);
    return {left, ScaleValue(5), left + ScaleValue(16), ScaleValue(5) + ScaleValue(16)};
}

RECT TFrmArea::RecLabelRect() const {
    const SIZE client = ClientSize();
    return {ScaleValue(kPanel96), 0, client.cx - ScaleValue(kPanel96), HeadHeight()};
}

void TFrmArea::DpiChanged(int dpi, const RECT& suggested) {
    // The new position, the head at the new scale, and the capture area unchanged in pixels:
    // a preset or a recording keeps its exact size on any monitor.
    const TRectI capture = AreaCaptureRect(WindowRectI(), HeadHeight());
    const RECT target{suggested.left, suggested.top, suggested.left + AreaWindowWidth(capture.Width()),
                      suggested.top + AreaWindowHeight(capture.Height(), ScaleToDpi(kHead96, dpi))};
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
    static constexpr int kPresetDefaults[3][2] = {{320, 240}, {640, 480}, {720, 480}};
    const std::wstring n = std::to_wstring(sizeNo);
    TConfig config;
    SetSize(ClampSpin(config.ReadInteger(L"width_" + n, kPresetDefaults[sizeNo - 1][0])),
            ClampSpin(config.ReadInteger(L"height_" + n, kPresetDefaults[sizeNo - 1][1])), 0);
}

void TFrmArea::BtnCloseClick() {
    if (OnCloseButton) OnCloseButton();
    Close();
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
    if (!FBoldFont || FBoldFontDpi != Dpi()) {
        LOGFONTW font{};
        font.lfHeight = -ScaleValue(12);
        font.lfWeight = FW_BOLD;
        font.lfCharSet = DEFAULT_CHARSET;
        font.lfQuality = CLEARTYPE_QUALITY;
        lstrcpyW(font.lfFaceName, L"Segoe UI");
        FBoldFont.Reset(CreateFontIndirectW(&font));
        FBoldFontDpi = Dpi();
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
        RECT label{ScaleValue(6), ScaleValue(5), ScaleValue(kPanel96), head};
        DrawTextW(dc, FSizeText.c_str(), static_cast<int>(FSizeText.size()), &label, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    }
    if (RecLabelVisible()) {
        const ScopedSelect font(dc, FRecording ? BoldFont() : Font());
        SetTextColor(dc, FRecording ? kRecActiveColor : kRecIdleColor);
        RECT label = RecLabelRect();
        label.top = ScaleValue(5);
        DrawTextW(dc, FRecText.c_str(), static_cast<int>(FRecText.size()), &label, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    }
    if (CloseButtonVisible()) {
        // The close glyph, drawn at the window's scale so it stays sharp on any monitor.
        const RECT b = CloseButtonRect();
        const int inset = ScaleValue(4);
        UniquePen pen(CreatePen(PS_SOLID, ScaleValue(2), RGB(255, 255, 255)));
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
        // A double click on the head is two presses that move, never a maximise.
        if (wParam == HTCAPTION) return 0;
        break;
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
    case WM_EXITSIZEMOVE:
        SaveConfig();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Handle(), &ps);
        if (dc) Paint(dc);
        EndPaint(Handle(), &ps);
        return 0;
    }
    default:
        break;
    }
    return TForm::WndProc(msg, wParam, lParam);
}

}  // namespace tovasen
