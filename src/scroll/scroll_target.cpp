#include "scroll/scroll_target.h"

#include <cstdlib>
#include <cwchar>

#include "i18n/translation.h"
#include "scroll/scroll_error.h"
#include "scroll/scroll_texts.h"

namespace tovasen {
namespace {

// Long enough for a busy window to repaint a step, short enough that a hung one is noticed.
constexpr UINT kAnswerMs = 3000;

bool HasVerticalBar(HWND window) { return (GetWindowLongPtrW(window, GWL_STYLE) & WS_VSCROLL) != 0; }

std::optional<ScrollBarState> VerticalBar(HWND window) {
    if (!HasVerticalBar(window)) return std::nullopt;
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    if (!GetScrollInfo(window, SB_VERT, &info)) return std::nullopt;
    const ScrollBarState bar{info.nMin, info.nMax, static_cast<int>(info.nPage), info.nPos};
    // A bar whose page covers its whole range has nothing to scroll.
    const long long range = static_cast<long long>(bar.max) - bar.min + 1;
    if (range <= 1 || (bar.page > 0 && bar.page >= range)) return std::nullopt;
    return bar;
}

}  // namespace

HWND FindScrollTarget(POINT pointer) {
    HWND under = WindowFromPoint(pointer);
    if (!under) return nullptr;
    for (HWND window = under; window && window != GetDesktopWindow(); window = GetAncestor(window, GA_PARENT)) {
        // Wine cannot read the scroll bar of another process's window; a shown bar (the system
        // takes the style away when there is nothing to scroll) has to do there.
        SCROLLINFO probe{};
        probe.cbSize = sizeof(probe);
        probe.fMask = SIF_RANGE;
        const bool unreadable = HasVerticalBar(window) && !GetScrollInfo(window, SB_VERT, &probe);
        if (VerticalBar(window) || unreadable) return window;
    }
    return under;
}

TScrollTarget::TScrollTarget(POINT pointer) : TScrollTarget(FindScrollTarget(pointer), pointer) {}

TScrollTarget::TScrollTarget(HWND window, POINT pointer) : FWindow(window), FPointer(pointer) {
    if (!FWindow || !IsWindow(FWindow)) throw EScrollCaptureError(Translate(kScrollNoWindowText));
    wchar_t name[64] = {};
    GetClassNameW(FWindow, name, 64);
    if (_wcsicmp(name, L"Edit") == 0 || _wcsnicmp(name, L"RichEdit", 8) == 0) FKind = Kind::kEdit;
    else if (_wcsicmp(name, L"ListBox") == 0 || _wcsicmp(name, L"ComboLBox") == 0) FKind = Kind::kListBox;
}

RECT TScrollTarget::ViewRect() const {
    RECT client{};
    if (!GetClientRect(FWindow, &client)) return {};
    MapWindowPoints(FWindow, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const RECT screen{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                      GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                      GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    RECT view{};
    IntersectRect(&view, &client, &screen);
    return view;
}

std::optional<ScrollBarState> TScrollTarget::ScrollBar() const { return VerticalBar(FWindow); }

std::optional<int> TScrollTarget::Position() const {
    if (const auto bar = ScrollBar()) return bar->pos;
    switch (FKind) {
    case Kind::kEdit: return static_cast<int>(Send(EM_GETFIRSTVISIBLELINE, 0, 0));
    case Kind::kListBox: return static_cast<int>(Send(LB_GETTOPINDEX, 0, 0));
    case Kind::kOther: break;
    }
    return std::nullopt;
}

bool TScrollTarget::AtTop() const {
    if (const auto bar = ScrollBar()) return bar->AtTop();
    const std::optional<int> pos = Position();
    return pos && *pos <= 0;
}

bool TScrollTarget::AtEnd() const {
    const auto bar = ScrollBar();
    return bar && bar->AtEnd();
}

void TScrollTarget::MoveTo(int pos) {
    if (!ScrollBar()) {
        if (FKind == Kind::kEdit) {
            if (const std::optional<int> now = Position()) Send(EM_LINESCROLL, 0, pos - *now);
            return;
        }
        if (FKind == Kind::kListBox) {
            Send(LB_SETTOPINDEX, static_cast<WPARAM>(pos), 0);
            return;
        }
    }
    const WORD thumb = static_cast<WORD>(pos);
    Send(WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, thumb), 0);
    Send(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, thumb), 0);
    Send(WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), 0);
}

LRESULT TScrollTarget::Send(UINT msg, WPARAM wParam, LPARAM lParam) const {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(FWindow, msg, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG, kAnswerMs, &answer)) {
        throw EScrollCaptureError(Translate(kScrollNotRespondingText));
    }
    return static_cast<LRESULT>(answer);
}

void TScrollTarget::Wheel(int delta) {
    // The wheel goes where the user would turn it: at the pointer, over the target.
    Send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(delta))),
         MAKELPARAM(static_cast<WORD>(static_cast<short>(FPointer.x)), static_cast<WORD>(static_cast<short>(FPointer.y))));
}

void TScrollTarget::Scroll(ScrollMethod method, int count) {
    if (count == 0) return;
    if (method == ScrollMethod::kWheel) {
        Wheel(-count * WHEEL_DELTA);
        return;
    }
    const bool down = count > 0;
    const WORD code = method == ScrollMethod::kLines ? (down ? SB_LINEDOWN : SB_LINEUP) : (down ? SB_PAGEDOWN : SB_PAGEUP);
    for (int i = 0; i < std::abs(count); ++i) Send(WM_VSCROLL, MAKEWPARAM(code, 0), 0);
    Send(WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), 0);
}

void TScrollTarget::HalfNotchUp() { Wheel(WHEEL_DELTA / 2); }

void TScrollTarget::Top() {
    Send(WM_VSCROLL, MAKEWPARAM(SB_TOP, 0), 0);
    Send(WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), 0);
}

void TScrollTarget::HomeKey() {
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(VK_HOME, MAPVK_VK_TO_VSC)) << 16;
    Send(WM_KEYDOWN, VK_HOME, scan | 1);
    Send(WM_KEYUP, VK_HOME, scan | 1 | (LPARAM{1} << 30) | (LPARAM{1} << 31));
}

}  // namespace tovasen
