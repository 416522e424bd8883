#include "editor/editor_canvas.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "base/dpi_scale.h"
#include "base/errors.h"
#include "base/exception_text.h"
#include "editor/gdiplus_painter.h"
#include "ui/fonts.h"
#include "ui/paint_guard.h"

namespace tovasen {
namespace {

constexpr std::array<double, 11> kZooms = {0.25, 1.0 / 3, 0.5, 2.0 / 3, 1.0, 1.5, 2.0, 3.0, 4.0, 6.0, 8.0};
constexpr COLORREF kBackground = RGB(64, 64, 64);
constexpr COLORREF kAccent = RGB(0, 120, 215);
// Typing ends from a posted message: the field may not be destroyed inside its own focus change.
constexpr UINT WM_APP_COMMIT_TEXT = WM_APP + 0x310;
constexpr LPARAM kThenDone = 1;  // Ctrl+Enter: end typing, then hand the picture on
constexpr int kHandle96 = 7, kWheelStep = 48, kLineStep = 16;

POINT PointOf(LPARAM lParam) { return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))}; }

HCURSOR SystemCursor(int id) { return LoadCursorW(nullptr, MAKEINTRESOURCEW(id)); }

// The size cursor of each grip, clockwise from the top-left corner.
HCURSOR GripCursor(int handle) {
    static constexpr int kIds[8] = {32642, 32645, 32643, 32644, 32642, 32645, 32643, 32644};  // NWSE NS NESW WE ...
    return SystemCursor(handle >= 0 && handle < 8 ? kIds[handle] : 32646 /* SIZEALL */);
}

}  // namespace

TEditorCanvas::TEditorCanvas(TComponent* owner, HWND parent, TEditorScene& scene)
    : TWindow(owner, L"Canvas"), FScene(scene), FCrop(scene.Model().Document().Crop) {
    TCreateParams params;
    params.ClassName = kClassName;
    params.Style = WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL | WS_CLIPCHILDREN | WS_TABSTOP;
    params.Parent = parent;
    params.X = params.Y = 0;
    params.Width = params.Height = 1;
    CreateHandle(params);
}

TEditorCanvas::~TEditorCanvas() {
    FTextEdit.Reset();  // before the font it uses
}

int TEditorCanvas::ViewWidth() const noexcept { return static_cast<int>(std::lround(FCrop.Width() * FZoom)); }
int TEditorCanvas::ViewHeight() const noexcept { return static_cast<int>(std::lround(FCrop.Height() * FZoom)); }

int TEditorCanvas::Dpi() const noexcept {
    const UINT dpi = GetDpiForWindow(Handle());
    return dpi ? static_cast<int>(dpi) : 96;
}

double TEditorCanvas::Tolerance() const noexcept { return std::max(1.0, ScaleToDpi(4, Dpi()) / FZoom); }

TPointI TEditorCanvas::ToDocument(POINT client) const noexcept {
    return {FCrop.left + static_cast<int>(std::floor((client.x + FScrollX) / FZoom)),
            FCrop.top + static_cast<int>(std::floor((client.y + FScrollY) / FZoom))};
}

RECT TEditorCanvas::ToClient(const TBox& area) const noexcept {
    return RECT{static_cast<LONG>(std::floor((area.left - FCrop.left) * FZoom)) - FScrollX,
                static_cast<LONG>(std::floor((area.top - FCrop.top) * FZoom)) - FScrollY,
                static_cast<LONG>(std::ceil((area.right - FCrop.left) * FZoom)) - FScrollX,
                static_cast<LONG>(std::ceil((area.bottom - FCrop.top) * FZoom)) - FScrollY};
}

void TEditorCanvas::SetTool(TTool tool) {
    FTool = tool;
    UpdateCursor();
}

void TEditorCanvas::Changed(const TBox& area) {
    if (!(FScene.Model().Document().Crop == FCrop)) {
        ViewChanged();
        return;
    }
    const TBox redone = FScene.Refresh(area);
    RECT r = ToClient(Union(area, redone));
    // Grips and selection frames stick out of what they mark.
    const int margin = ScaleToDpi(kHandle96, Dpi()) + 2;
    InflateRect(&r, margin, margin);
    InvalidateRect(Handle(), &r, FALSE);
}

void TEditorCanvas::ViewChanged() {
    FCrop = FScene.Model().Document().Crop;
    UpdateScrollBars();
    PlaceTextEdit();
    InvalidateRect(Handle(), nullptr, FALSE);
}

void TEditorCanvas::UpdateScrollBars() {
    RECT client{};
    GetClientRect(Handle(), &client);
    FScrollX = std::clamp(FScrollX, 0, std::max(0, ViewWidth() - static_cast<int>(client.right)));
    FScrollY = std::clamp(FScrollY, 0, std::max(0, ViewHeight() - static_cast<int>(client.bottom)));
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMax = ViewWidth() - 1;
    info.nPage = static_cast<UINT>(client.right);
    info.nPos = FScrollX;
    SetScrollInfo(Handle(), SB_HORZ, &info, TRUE);
    info.nMax = ViewHeight() - 1;
    info.nPage = static_cast<UINT>(client.bottom);
    info.nPos = FScrollY;
    SetScrollInfo(Handle(), SB_VERT, &info, TRUE);
}

void TEditorCanvas::ScrollTo(int x, int y) {
    RECT client{};
    GetClientRect(Handle(), &client);
    x = std::clamp(x, 0, std::max(0, ViewWidth() - static_cast<int>(client.right)));
    y = std::clamp(y, 0, std::max(0, ViewHeight() - static_cast<int>(client.bottom)));
    if (x == FScrollX && y == FScrollY) return;
    FScrollX = x;
    FScrollY = y;
    UpdateScrollBars();
    PlaceTextEdit();
    InvalidateRect(Handle(), nullptr, FALSE);
}

void TEditorCanvas::SetZoom(double zoom, POINT anchor) {
    zoom = std::clamp(zoom, kZooms.front(), kZooms.back());
    if (zoom == FZoom) return;
    if (FTextEdit) CommitText();
    const double px = (anchor.x + FScrollX) / FZoom, py = (anchor.y + FScrollY) / FZoom;
    FZoom = zoom;
    FScrollX = static_cast<int>(std::lround(px * zoom)) - anchor.x;
    FScrollY = static_cast<int>(std::lround(py * zoom)) - anchor.y;
    UpdateScrollBars();  // holds the scroll within the new range
    InvalidateRect(Handle(), nullptr, FALSE);
}

void TEditorCanvas::StepZoom(int steps, POINT anchor) {
    auto at = std::lower_bound(kZooms.begin(), kZooms.end(), FZoom - 1e-9);
    std::ptrdiff_t index = at - kZooms.begin();
    if (steps < 0 && index > 0) --index;
    else if (steps > 0 && at != kZooms.end() && std::abs(*at - FZoom) < 1e-9) ++index;
    index = std::clamp<std::ptrdiff_t>(index, 0, static_cast<std::ptrdiff_t>(kZooms.size()) - 1);
    SetZoom(kZooms[static_cast<std::size_t>(index)], anchor);
}

void TEditorCanvas::ScrollBy(int bar, int code) {
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    GetScrollInfo(Handle(), bar, &info);
    int pos = info.nPos;
    switch (code) {
    case SB_LINEUP:
        pos -= kLineStep;
        break;
    case SB_LINEDOWN:
        pos += kLineStep;
        break;
    case SB_PAGEUP:
        pos -= static_cast<int>(info.nPage);
        break;
    case SB_PAGEDOWN:
        pos += static_cast<int>(info.nPage);
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        pos = info.nTrackPos;
        break;
    case SB_TOP:
        pos = 0;
        break;
    case SB_BOTTOM:
        pos = info.nMax;
        break;
    default:
        return;
    }
    if (bar == SB_HORZ) ScrollTo(pos, FScrollY);
    else ScrollTo(FScrollX, pos);
}

void TEditorCanvas::Paint() {
    const TPaintGuard painting(Handle());
    HDC dc = painting.Dc();
    if (!dc) return;
    const RECT& r = painting.Dirty();
    const int w = std::max<LONG>(r.right - r.left, 1), h = std::max<LONG>(r.bottom - r.top, 1);
    const UniqueDC memory(CreateCompatibleDC(dc));
    const UniqueBitmap surface(CreateCompatibleBitmap(dc, w, h));
    {
        const ScopedSelect selectSurface(memory.Get(), surface.Get());
        const UniqueBrush background(CreateSolidBrush(kBackground));
        const RECT all{0, 0, w, h};
        FillRect(memory.Get(), &all, background.Get());
        const RECT view{-FScrollX, -FScrollY, ViewWidth() - FScrollX, ViewHeight() - FScrollY};
        RECT inside{};
        if (IntersectRect(&inside, &r, &view)) {
            // The picture pixels behind the painted part, whole pixels at any zoom.
            const TBox area = Intersection(
                TBox{ToDocument(POINT{inside.left, inside.top}).x, ToDocument(POINT{inside.left, inside.top}).y,
                     ToDocument(POINT{inside.right - 1, inside.bottom - 1}).x + 1,
                     ToDocument(POINT{inside.right - 1, inside.bottom - 1}).y + 1},
                FCrop);
            const RECT target = ToClient(area);
            const TPixelBuffer& shown = FScene.Shown();
            BITMAPINFO info{};
            info.bmiHeader.biSize = sizeof(info.bmiHeader);
            info.bmiHeader.biWidth = shown.Width();
            info.bmiHeader.biHeight = -shown.Height();
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 32;
            info.bmiHeader.biCompression = BI_RGB;
            SetStretchBltMode(memory.Get(), FZoom < 1 ? HALFTONE : COLORONCOLOR);
            SetBrushOrgEx(memory.Get(), 0, 0, nullptr);
            StretchDIBits(memory.Get(), target.left - r.left, target.top - r.top, target.right - target.left,
                          target.bottom - target.top, area.left, area.top, area.Width(), area.Height(), shown.Data(), &info,
                          DIB_RGB_COLORS, SRCCOPY);
        }
        PaintOverlay(memory.Get(), POINT{r.left, r.top});
        BitBlt(dc, r.left, r.top, w, h, memory.Get(), 0, 0, SRCCOPY);
    }
}

void TEditorCanvas::PaintOverlay(HDC dc, POINT origin) {
    const TEditorModel& model = FScene.Model();
    const int half = ScaleToDpi(kHandle96, Dpi()) / 2;
    const UniquePen accent(CreatePen(PS_SOLID, 1, kAccent));
    const UniquePen dotted(CreatePen(PS_DOT, 1, kAccent));
    const ScopedSelect selectBrush(dc, GetStockObject(NULL_BRUSH));
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, RGB(255, 255, 255));
    auto frame = [&](const TBox& box, HPEN pen) {
        RECT c = ToClient(box);
        OffsetRect(&c, -origin.x, -origin.y);
        const ScopedSelect selectPen(dc, pen);
        Rectangle(dc, c.left, c.top, c.right, c.bottom);
    };
    for (std::uint32_t id : model.Selection()) {
        const TAnnotation* a = model.Document().Find(id);
        if (!a || id == FScene.Hidden()) continue;
        frame(PaintBounds(*a), dotted.Get());
        if (model.Selection().size() != 1) continue;
        const UniqueBrush white(CreateSolidBrush(RGB(255, 255, 255)));
        const ScopedSelect selectPen(dc, accent.Get());
        const ScopedSelect selectWhite(dc, white.Get());
        for (const TPointI& p : Handles(*a)) {
            const RECT c = ToClient(TBox{p.x, p.y, p.x + 1, p.y + 1});
            const int cx = (c.left + c.right) / 2 - origin.x, cy = (c.top + c.bottom) / 2 - origin.y;
            Rectangle(dc, cx - half, cy - half, cx + half + 1, cy + half + 1);
        }
    }
    if (const std::optional<TBox> band = model.Band()) frame(*band, dotted.Get());
}

bool TEditorCanvas::UpdateCursor() {
    POINT p{};
    GetCursorPos(&p);
    ScreenToClient(Handle(), &p);
    RECT client{};
    GetClientRect(Handle(), &client);
    if (!PtInRect(&client, p)) return false;
    HCURSOR cursor = SystemCursor(32515);  // cross
    if (FTool == TTool::Text) {
        cursor = SystemCursor(32513);  // I-beam
    } else if (FTool == TTool::Select) {
        const TPointI at = ToDocument(p);
        const int handle = FScene.Model().HandleAt(at, Tolerance());
        if (handle >= 0) cursor = GripCursor(handle);
        else if (ObjectAt(FScene.Model().Document(), at, Tolerance())) cursor = SystemCursor(32646);  // size all
        else cursor = SystemCursor(32512);                                                            // arrow
    }
    SetCursor(cursor);
    return true;
}

void TEditorCanvas::MouseDown(POINT p, bool doubleClick) {
    if (FTextEdit) CommitText();
    SetFocus(Handle());
    TEditorModel& model = FScene.Model();
    const TPointI at = ToDocument(p);
    if (FTool == TTool::Text || (FTool == TTool::Select && doubleClick && model.TextAt(at))) {
        BeginText(at, model.TextAt(at));
        return;
    }
    SetCapture(Handle());
    Changed(model.PointerDown(at, FTool, Style, Tolerance()));
    if (OnChange) OnChange();
}

void TEditorCanvas::MouseMove(POINT p) {
    TEditorModel& model = FScene.Model();
    if (!model.Dragging()) return;
    const TBox area = model.PointerMove(ToDocument(p));
    if (model.Band()) {
        RECT r = ToClient(area);
        InflateRect(&r, 2, 2);
        InvalidateRect(Handle(), &r, FALSE);  // only the frame moved: no need to redo the picture
    } else {
        Changed(area);
    }
}

void TEditorCanvas::MouseUp(POINT p) {
    TEditorModel& model = FScene.Model();
    if (!model.Dragging()) return;
    const TBox area = model.PointerUp(ToDocument(p));
    if (GetCapture() == Handle()) ReleaseCapture();
    Changed(area);
    if (OnChange) OnChange();
}

void TEditorCanvas::BeginText(TPointI at, std::uint32_t existing) {
    if (FTextEdit) CommitText();
    ++FTextSerial;
    std::wstring text;
    FTextId = 0;
    FTextStyle = Style;
    FTextAt = at;
    if (const TAnnotation* a = existing ? FScene.Model().Document().Find(existing) : nullptr) {
        FTextId = existing;
        FTextAt = a->Points.front();
        FTextStyle = TToolStyle{a->Color, a->Size};
        text = a->Text;
        Changed(FScene.SetHidden(existing));
    }
    FTextFont = NewFont(static_cast<int>(std::lround(FTextStyle.Size * FZoom)), FW_NORMAL, TextFaceName().c_str(),
                        ANTIALIASED_QUALITY);
    const std::uint32_t c = FTextStyle.Color;
    const int luminance = (299 * static_cast<int>((c >> 16) & 0xFF) + 587 * static_cast<int>((c >> 8) & 0xFF) +
                           114 * static_cast<int>(c & 0xFF)) / 1000;
    // Light ink on a dark field, so white text can be seen while it is typed.
    FTextBrush.Reset(CreateSolidBrush(luminance > 200 ? RGB(48, 48, 48) : RGB(255, 255, 255)));
    FTextEdit.Reset(CreateWindowExW(0, L"EDIT", text.c_str(),
                                    WS_CHILD | WS_VISIBLE | WS_BORDER | ES_MULTILINE | ES_AUTOHSCROLL | ES_AUTOVSCROLL |
                                        ES_WANTRETURN,
                                    0, 0, 1, 1, Handle(), nullptr, GetModuleHandleW(nullptr), nullptr));
    if (!FTextEdit) RaiseLastOSError(L"CreateWindowExW(EDIT)");
    // What a saved picture may carry; the model holds the total over all texts.
    SendMessageW(FTextEdit.Get(), EM_SETLIMITTEXT, kMaxTextUnits, 0);
    SendMessageW(FTextEdit.Get(), WM_SETFONT, reinterpret_cast<WPARAM>(FTextFont.Get()), FALSE);
    SetWindowSubclass(FTextEdit.Get(), TextEditProc, 1, reinterpret_cast<DWORD_PTR>(this));
    PlaceTextEdit();
    SetFocus(FTextEdit.Get());
    const auto length = static_cast<LPARAM>(text.size());
    SendMessageW(FTextEdit.Get(), EM_SETSEL, static_cast<WPARAM>(length), length);
}

void TEditorCanvas::PlaceTextEdit() {
    if (!FTextEdit) return;
    const int length = GetWindowTextLengthW(FTextEdit.Get());
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(FTextEdit.Get(), text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    const TBox box = MeasureTextBox(text, FTextStyle.Size, FTextAt);
    RECT r = ToClient(box);
    // Room for the next letter and the caret, and the field's border.
    r.right += static_cast<LONG>(std::lround(FTextStyle.Size * FZoom)) + 4;
    r.bottom += 4;
    MoveWindow(FTextEdit.Get(), r.left - 2, r.top - 2, r.right - r.left, r.bottom - r.top, TRUE);
}

void TEditorCanvas::CommitText() {
    if (!FTextEdit) return;
    const bool hadFocus = GetFocus() == FTextEdit.Get();
    const int length = GetWindowTextLengthW(FTextEdit.Get());
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(FTextEdit.Get(), text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    if (text.find_first_not_of(L" \t\r\n") == std::wstring::npos) text.clear();
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    FTextEdit.Reset();
    FTextFont.Reset();
    const std::uint32_t id = std::exchange(FTextId, 0);
    TEditorModel& model = FScene.Model();
    const TBox box = MeasureTextBox(text, FTextStyle.Size, FTextAt);
    TBox area = FScene.SetHidden(0);
    if (id) {
        area = Union(area, model.ReplaceText(id, text, box));
    } else if (!text.empty()) {
        TAnnotation a;
        a.Kind = TShapeKind::Text;
        a.Color = FTextStyle.Color;
        a.Size = ClampSize(TShapeKind::Text, FTextStyle.Size);
        a.Text = text;
        a.Points = {FTextAt, {box.right - 1, box.bottom - 1}};
        area = Union(area, model.Add(std::move(a)));
    }
    Changed(area);
    if (hadFocus) SetFocus(Handle());
    if (OnChange) OnChange();
}

LRESULT CALLBACK TEditorCanvas::TextEditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) {
    return Guarded(LRESULT{0}, [&]() -> LRESULT {
        auto* canvas = reinterpret_cast<TEditorCanvas*>(self);
        const bool ctrl = GetKeyState(VK_CONTROL) < 0;
        if (msg == WM_KEYDOWN && wParam == VK_ESCAPE) {
            PostMessageW(canvas->Handle(), WM_APP_COMMIT_TEXT, canvas->FTextSerial, 0);
            return 0;
        }
        if (msg == WM_KEYDOWN && wParam == VK_RETURN && ctrl) {
            PostMessageW(canvas->Handle(), WM_APP_COMMIT_TEXT, canvas->FTextSerial, kThenDone);
            return 0;
        }
        if (msg == WM_CHAR && (wParam == 0x1B || (wParam == L'\n' && ctrl))) return 0;  // no beep
        if (msg == WM_KILLFOCUS) PostMessageW(canvas->Handle(), WM_APP_COMMIT_TEXT, canvas->FTextSerial, 0);
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    });
}

LRESULT TEditorCanvas::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
        UpdateScrollBars();
        InvalidateRect(Handle(), nullptr, FALSE);
        return 0;
    case WM_LBUTTONDOWN:
        MouseDown(PointOf(lParam), false);
        return 0;
    case WM_LBUTTONDBLCLK:
        MouseDown(PointOf(lParam), true);
        return 0;
    case WM_MOUSEMOVE:
        MouseMove(PointOf(lParam));
        return 0;
    case WM_LBUTTONUP:
        MouseUp(PointOf(lParam));
        return 0;
    case WM_CAPTURECHANGED:
        if (FScene.Model().Dragging() && reinterpret_cast<HWND>(lParam) != Handle()) {
            POINT p{};
            GetCursorPos(&p);
            ScreenToClient(Handle(), &p);
            MouseUp(p);
        }
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && UpdateCursor()) return TRUE;
        return TWindow::WndProc(msg, wParam, lParam);
    case WM_MOUSEWHEEL: {
        POINT p = PointOf(lParam);
        ScreenToClient(Handle(), &p);
        const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
        const WORD keys = GET_KEYSTATE_WPARAM(wParam);
        if (keys & MK_CONTROL) StepZoom(delta > 0 ? 1 : -1, p);
        else if (keys & MK_SHIFT) ScrollTo(FScrollX - delta * kWheelStep / WHEEL_DELTA, FScrollY);
        else ScrollTo(FScrollX, FScrollY - delta * kWheelStep / WHEEL_DELTA);
        return 0;
    }
    case WM_HSCROLL:
        ScrollBy(SB_HORZ, LOWORD(wParam));
        return 0;
    case WM_VSCROLL:
        ScrollBy(SB_VERT, LOWORD(wParam));
        return 0;
    case WM_KEYDOWN:
        if (OnKey && OnKey(wParam)) return 0;
        return TWindow::WndProc(msg, wParam, lParam);
    case WM_GETDLGCODE:
        return DLGC_WANTALLKEYS;
    case WM_COMMAND:
        if (FTextEdit && reinterpret_cast<HWND>(lParam) == FTextEdit.Get() && HIWORD(wParam) == EN_CHANGE) PlaceTextEdit();
        return 0;
    case WM_CTLCOLOREDIT: {
        const std::uint32_t c = FTextStyle.Color;
        const HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
        LOGBRUSH brush{};
        GetObjectW(FTextBrush.Get(), sizeof(brush), &brush);
        SetBkColor(dc, brush.lbColor);
        return reinterpret_cast<LRESULT>(FTextBrush.Get());
    }
    default:
        if (msg == WM_APP_COMMIT_TEXT) {
            // Only for the field that asked: a click may have ended it and begun another since.
            if (!FTextEdit || wParam != FTextSerial) return 0;
            CommitText();
            if (lParam == kThenDone && OnDoneKey) OnDoneKey();
            return 0;
        }
        return TWindow::WndProc(msg, wParam, lParam);
    }
}

}  // namespace tovasen
