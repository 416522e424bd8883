#pragma once
#include <windows.h>

#include <optional>

namespace tovasen {

// A vertical scroll bar's state, in the window's own units.
struct ScrollBarState {
    int min = 0;
    int max = 0;
    int page = 0;
    int pos = 0;
    bool AtTop() const noexcept { return pos <= min; }
    bool AtEnd() const noexcept { return pos >= max - (page > 0 ? page - 1 : 0); }
};

// How a step scrolls the target: wheel notches at the pointer, or the scroll bar's lines or
// pages for windows that ignore the wheel.
enum class ScrollMethod { kWheel, kLines, kPages };

// The window a scrolling capture scrolls: the one under the pointer, or its nearest ancestor
// with a vertical scroll bar that can move. Every message goes with a time-out, so a hung
// window raises instead of hanging the capture.
class TScrollTarget {
public:
    // Raises when there is no window at the point.
    explicit TScrollTarget(POINT pointer);
    TScrollTarget(HWND window, POINT pointer);

    HWND Handle() const noexcept { return FWindow; }
    // The client area on the screen, cut to the virtual screen (a screen copy cannot read
    // beyond it); empty when nothing of it is on the screen.
    RECT ViewRect() const;
    // The vertical scroll bar, when the window has one with something to scroll.
    std::optional<ScrollBarState> ScrollBar() const;
    // Where the content stands, in the window's own units: its scroll bar's position, or for
    // the system's edit and list controls their first visible line or item (which they tell
    // other processes too, where their scroll bar may not be readable). Empty when unknown.
    std::optional<int> Position() const;
    bool AtTop() const;
    // Only a scroll bar tells where the end is.
    bool AtEnd() const;
    // Moves the content to a position got from Position().
    void MoveTo(int pos);

    // Positive counts scroll down (the content moves up), negative up.
    void Scroll(ScrollMethod method, int count);
    // Half a wheel notch up: the smallest step back there is.
    void HalfNotchUp();
    // A wheel turn of delta (WHEEL_DELTA is one notch up), for windows that take parts of one.
    void WheelBy(int delta) { Wheel(delta); }
    void Top();
    void HomeKey();

private:
    enum class Kind { kOther, kEdit, kListBox };
    LRESULT Send(UINT msg, WPARAM wParam, LPARAM lParam) const;
    void Wheel(int delta);

    HWND FWindow;
    POINT FPointer;
    Kind FKind = Kind::kOther;
};

// The window a capture at the point takes: the window under it or the nearest ancestor whose
// vertical scroll bar has a range (or shows, where another process's bar cannot be read); the
// window under it when none has.
HWND FindScrollTarget(POINT pointer);

}  // namespace tovasen
