#include "record/input_overlay.h"

#include <objidl.h>

#include <gdiplus.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <optional>
#include <utility>

#include "base/errors.h"
#include "base/exception_text.h"
#include "base/log_event.h"
#include "ui/fonts.h"
#include "ui/timer.h"

namespace tovasen {
namespace {

constexpr wchar_t kOverlayClass[] = L"TInputOverlay";
// About thirty frames a second, as the recording takes them.
constexpr UINT kFrameMs = 33;
// The scan code the keyboard driver gives the left Ctrl it sends along with a right Alt that
// types characters (AltGr): that Ctrl is no key the user pressed.
constexpr DWORD kAltGrControlScan = 0x21D;

TInputOverlay* gHooked = nullptr;

std::int64_t Now() { return static_cast<std::int64_t>(GetTickCount64()); }

// Edit controls and the controls built on them (rich edits, framework text boxes) take the
// password style.
bool IsPasswordField(HWND control) {
    wchar_t name[128] = {};
    if (!GetClassNameW(control, name, static_cast<int>(std::size(name)))) return false;
    for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
    if (!std::wcsstr(name, L"edit")) return false;
    return (GetWindowLongW(control, GWL_STYLE) & ES_PASSWORD) != 0;
}

// The control the keys go to now, in whichever program has the foreground.
HWND FocusedControl(DWORD* thread = nullptr) {
    const HWND foreground = GetForegroundWindow();
    if (!foreground) return nullptr;
    const DWORD owner = GetWindowThreadProcessId(foreground, nullptr);
    if (thread) *thread = owner;
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(owner, &info)) return nullptr;
    return info.hwndFocus;
}

RECT Union(const RECT& a, const RECT& b) {
    if (IsRectEmpty(&a)) return b;
    if (IsRectEmpty(&b)) return a;
    RECT r;
    UnionRect(&r, &a, &b);
    return r;
}

Gdiplus::Color WithOpacity(BYTE r, BYTE g, BYTE b, double opacity) {
    return Gdiplus::Color(static_cast<BYTE>(std::clamp(opacity, 0.0, 1.0) * 255 + 0.5), r, g, b);
}

}  // namespace

TInputOverlay::TInputOverlay(TComponent* owner, std::function<RECT()> area, std::wstring language)
    : TWindow(owner, L"InputOverlay"), FArea(std::move(area)), FMarks(std::move(language)) {
    TCreateParams params;
    params.ClassName = kOverlayClass;
    params.Caption = L"Tovasen input";
    params.Style = WS_POPUP;
    // Over everything, never activated, no taskbar button, and every click goes to the window
    // below (a layered window with WS_EX_TRANSPARENT is not hit).
    params.ExStyle = WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    const RECT r = FArea();
    params.X = r.left;
    params.Y = r.top;
    params.Width = std::max(1, static_cast<int>(r.right - r.left));
    params.Height = std::max(1, static_cast<int>(r.bottom - r.top));
    CreateHandle(params);
    FTimer = new TTimer(this, L"TmrInputFrame", kFrameMs);
    FTimer->OnTimer = [this] { Draw(); };
    FDC.Reset(CreateCompatibleDC(nullptr));
    if (!FDC) RaiseLastOSError(L"CreateCompatibleDC");
    // A first, empty picture now: Wine makes the window anew for its first picture with alpha,
    // and one made anew while shown lands below the windows already there.
    MakeSurface(params.Width, params.Height);
    Update(r, nullptr);
    try {
        Hook();
    } catch (...) {
        SelectObject(FDC.Get(), std::exchange(FOldBitmap, nullptr));  // the bitmap is freed next
        throw;
    }
}

TInputOverlay::~TInputOverlay() {
    Unhook();
    if (FOldBitmap) SelectObject(FDC.Get(), FOldBitmap);
    DestroyHandle();
}

void TInputOverlay::Hook() {
    if (FMouseHook) return;
    if (gHooked) throw Exception(L"Clicks and keys are shown for one recording at a time.");
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    FMouseHook = SetWindowsHookExW(WH_MOUSE_LL, MouseHook, instance, 0);
    if (!FMouseHook) RaiseLastOSError(L"SetWindowsHookEx(WH_MOUSE_LL)");
    FKeyboardHook = SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardHook, instance, 0);
    if (!FKeyboardHook) {
        const DWORD error = GetLastError();
        UnhookWindowsHookEx(std::exchange(FMouseHook, nullptr));
        throw EOSError(L"SetWindowsHookEx(WH_KEYBOARD_LL)", error);
    }
    gHooked = this;
}

void TInputOverlay::Unhook() {
    if (FMouseHook) UnhookWindowsHookEx(std::exchange(FMouseHook, nullptr));
    if (FKeyboardHook) UnhookWindowsHookEx(std::exchange(FKeyboardHook, nullptr));
    if (gHooked == this) gHooked = nullptr;
}

void TInputOverlay::SetPaused(bool paused) {
    if (paused == FPaused) return;
    FPaused = paused;
    // Keys held across the pause are released unseen.
    FMarks.Clear();
    FAltGr = false;
    if (paused) {
        Unhook();
        Hide();
    } else {
        // Resumed without hooks, the recording still goes on.
        try {
            Hook();
        } catch (...) {
            LogCaught(L"input overlay", std::current_exception());
        }
    }
}

// Hooks run while this thread picks up its input: they only note the event and return, the
// drawing follows from the timer.
LRESULT CALLBACK TInputOverlay::MouseHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && gHooked) {
        TInputOverlay* self = gHooked;
        Guarded([&] { self->Mouse(wParam, *reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam)); });
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK TInputOverlay::KeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && gHooked) {
        TInputOverlay* self = gHooked;
        Guarded([&] { self->Key(wParam, *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam)); });
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void TInputOverlay::Mouse(WPARAM message, const MSLLHOOKSTRUCT& event) {
    if (message != WM_LBUTTONDOWN && message != WM_RBUTTONDOWN) return;
    if (const HWND focus = FocusedControl(); focus && IsPasswordField(focus)) {
        ++FHeldBack;
        FMarks.Clear();
        Hide();
        return;
    }
    FMarks.Press(message == WM_LBUTTONDOWN ? TMouseButton::Left : TMouseButton::Right, event.pt.x, event.pt.y, Now());
    Animate();
}

void TInputOverlay::Key(WPARAM message, const KBDLLHOOKSTRUCT& event) {
    const int key = static_cast<int>(event.vkCode);
    const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
    if (key == vk::LControl && event.scanCode == kAltGrControlScan) {
        if (down) FAltGr = true;
        return;
    }
    // The right Alt that comes with it types characters: what it types is typing.
    if (key == vk::RMenu && FAltGr) {
        if (!down) FAltGr = false;
        return;
    }
    if (!down) {
        FMarks.KeyUp(key);
        return;
    }
    DWORD thread = 0;
    const HWND focus = FocusedControl(&thread);
    if (focus && IsPasswordField(focus)) {
        ++FHeldBack;
        FMarks.Clear();
        Hide();
        return;
    }
    const wchar_t layoutChar =
        static_cast<wchar_t>(MapVirtualKeyExW(event.vkCode, MAPVK_VK_TO_CHAR, GetKeyboardLayout(thread)));
    FMarks.KeyDown(key, Now(), layoutChar);
    if (FMarks.Showing(Now())) Animate();
}

void TInputOverlay::Animate() {
    if (FPaused) return;
    if (!FTimer->Enabled()) {
        FTimer->SetEnabled(true);
        // The first frame without waiting for the timer: a press is seen where it happened.
        PostMessageW(Handle(), WM_APP, 0, 0);
    }
}

void TInputOverlay::Hide() {
    FTimer->SetEnabled(false);
    if (IsWindowVisible(Handle())) ShowWindow(Handle(), SW_HIDE);
    ClearSurface(FDrawn);
    FDrawn = {};
    FWhole = true;  // what the hidden window still holds is old
}

void TInputOverlay::MakeSurface(int width, int height) {
    if (FOldBitmap) SelectObject(FDC.Get(), std::exchange(FOldBitmap, nullptr));
    FBitmap.Reset();
    FBits = nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    FBitmap.Reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!FBitmap || !bits) RaiseLastOSError(L"CreateDIBSection");
    FBits = static_cast<std::uint32_t*>(bits);
    std::memset(FBits, 0, static_cast<std::size_t>(width) * height * 4);
    FOldBitmap = SelectObject(FDC.Get(), FBitmap.Get());
    FWidth = width;
    FHeight = height;
    FDrawn = {};
    FWhole = true;
}

void TInputOverlay::ClearSurface(const RECT& rect) {
    if (!FBits) return;
    GdiFlush();
    const int left = std::max(0, static_cast<int>(rect.left)), right = std::min(FWidth, static_cast<int>(rect.right));
    const int top = std::max(0, static_cast<int>(rect.top)), bottom = std::min(FHeight, static_cast<int>(rect.bottom));
    if (left >= right) return;
    for (int y = top; y < bottom; ++y) {
        std::memset(FBits + static_cast<std::size_t>(y) * FWidth + left, 0, static_cast<std::size_t>(right - left) * 4);
    }
}

RECT TInputOverlay::PaintRings(const RECT& area, int dpi, std::int64_t now) {
    RECT bounds{};
    const std::vector<TRingMark> rings = FMarks.Rings(now, dpi);
    if (rings.empty()) return bounds;
    Gdiplus::Bitmap canvas(FWidth, FHeight, FWidth * 4, PixelFormat32bppPARGB, reinterpret_cast<BYTE*>(FBits));
    Gdiplus::Graphics graphics(&canvas);
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    for (const TRingMark& ring : rings) {
        const double x = ring.x - area.left, y = ring.y - area.top, d = ring.diameter;
        const Gdiplus::Color colour = ring.button == TMouseButton::Left ? WithOpacity(0xFF, 0xC8, 0x00, ring.opacity)
                                                                        : WithOpacity(0x00, 0xA0, 0xFF, ring.opacity);
        Gdiplus::Pen pen(colour, static_cast<Gdiplus::REAL>(ring.width));
        graphics.DrawEllipse(&pen, static_cast<Gdiplus::REAL>(x - d / 2), static_cast<Gdiplus::REAL>(y - d / 2),
                             static_cast<Gdiplus::REAL>(d), static_cast<Gdiplus::REAL>(d));
        const int reach = static_cast<int>(d / 2 + ring.width) + 2;
        const RECT box{static_cast<LONG>(x) - reach, static_cast<LONG>(y) - reach, static_cast<LONG>(x) + reach + 1,
                       static_cast<LONG>(y) + reach + 1};
        bounds = Union(bounds, box);
    }
    return bounds;
}

RECT TInputOverlay::PaintCaption(int dpi, std::int64_t now) {
    const std::optional<TCaptionMark> caption = FMarks.Caption(now);
    if (!caption) return {};
    const UniqueFont font = NewFont(CaptionTextHeight(dpi), FW_SEMIBOLD, kUiFontFace, ANTIALIASED_QUALITY);
    const ScopedSelect selectFont(FDC.Get(), font.Get());
    RECT measured{0, 0, 0, 0};
    DrawTextW(FDC.Get(), caption->text.c_str(), static_cast<int>(caption->text.size()), &measured,
              DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    const TBoxI b = CaptionBox(FWidth, FHeight, measured.right, measured.bottom, dpi);
    RECT box{b.left, b.top, b.right, b.bottom};
    const UniqueBrush fill(CreateSolidBrush(RGB(0x20, 0x20, 0x20)));
    FillRect(FDC.Get(), &box, fill.Get());
    SetBkMode(FDC.Get(), TRANSPARENT);
    SetTextColor(FDC.Get(), RGB(0xFF, 0xFF, 0xFF));
    RECT text = box;
    DrawTextW(FDC.Get(), caption->text.c_str(), static_cast<int>(caption->text.size()), &text,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    GdiFlush();
    // GDI leaves the alpha alone: the box is opaque, then faded as a whole (premultiplied).
    const unsigned alpha = static_cast<unsigned>(std::clamp(caption->opacity, 0.0, 1.0) * 255 + 0.5);
    for (int y = std::max(0, static_cast<int>(box.top)); y < std::min(FHeight, static_cast<int>(box.bottom)); ++y) {
        std::uint32_t* row = FBits + static_cast<std::size_t>(y) * FWidth;
        for (int x = std::max(0, static_cast<int>(box.left)); x < std::min(FWidth, static_cast<int>(box.right)); ++x) {
            const std::uint32_t p = row[x];
            const auto scale = [alpha](std::uint32_t c) { return (c * alpha + 127) / 255; };
            row[x] = (alpha << 24) | (scale((p >> 16) & 0xFF) << 16) | (scale((p >> 8) & 0xFF) << 8) | scale(p & 0xFF);
        }
    }
    return box;
}

void TInputOverlay::Draw() {
    const std::int64_t now = Now();
    const RECT area = FArea();
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (FPaused || width <= 0 || height <= 0 || !FMarks.Showing(now)) {
        Hide();
        return;
    }
    if (width != FWidth || height != FHeight) MakeSurface(width, height);
    const UINT windowDpi = GetDpiForWindow(Handle());
    const int dpi = windowDpi ? static_cast<int>(windowDpi) : 96;
    // A caption alone stays as it is until it fades: nothing to update, which costs by the area.
    const std::optional<TCaptionMark> caption = FMarks.Caption(now);
    const bool rings = !FMarks.Rings(now, dpi).empty();
    const int alpha = caption ? static_cast<int>(caption->opacity * 255 + 0.5) : -1;
    const std::wstring text = caption ? caption->text : std::wstring();
    const bool unchanged = !FWhole && !rings && !FShownRings && alpha == FShownAlpha && text == FShownText &&
                           EqualRect(&area, &FShownArea);
    if (!unchanged) {
        ClearSurface(FDrawn);
        const RECT drawn = Union(PaintRings(area, dpi, now), PaintCaption(dpi, now));
        RECT dirty = Union(FDrawn, drawn);
        const RECT whole{0, 0, width, height};
        IntersectRect(&dirty, &dirty, &whole);
        // Only what changed: a layered window's update costs by its area, many times a plain one's.
        Update(area, FWhole || IsRectEmpty(&dirty) ? nullptr : &dirty);
        FWhole = false;
        FDrawn = drawn;
        FShownRings = rings;
        FShownAlpha = alpha;
        FShownText = text;
        FShownArea = area;
        ++FFrames;
    }
    // Back on top at every frame: a click that activates a window may lift it over every other,
    // topmost or not (Wine's X windows do; Windows keeps the order, and the call changes nothing).
    constexpr UINT kKeep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    if (IsWindowVisible(Handle())) SetWindowPos(Handle(), HWND_NOTOPMOST, 0, 0, 0, 0, kKeep);
    SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, kKeep | SWP_SHOWWINDOW);
    FTimer->SetEnabled(true);
}

void TInputOverlay::Update(const RECT& area, const RECT* dirty) {
    POINT destination{area.left, area.top}, source{0, 0};
    SIZE size{FWidth, FHeight};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UPDATELAYEREDWINDOWINFO info{};
    info.cbSize = sizeof(info);
    info.pptDst = &destination;
    info.psize = &size;
    info.hdcSrc = FDC.Get();
    info.pptSrc = &source;
    info.pblend = &blend;
    info.dwFlags = ULW_ALPHA;
    info.prcDirty = dirty;
    if (!UpdateLayeredWindowIndirect(Handle(), &info) && dirty) {
        info.prcDirty = nullptr;
        UpdateLayeredWindowIndirect(Handle(), &info);
    }
}

LRESULT TInputOverlay::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_APP:
        Draw();
        return 0;
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    default:
        return TWindow::WndProc(msg, wParam, lParam);
    }
}

}  // namespace tovasen
