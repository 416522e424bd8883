#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "base/settings_schema.h"

namespace tovasen {

// A rectangle in pixels, right and bottom excluded.
struct TRectI {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const noexcept { return right - left; }
    int Height() const noexcept { return bottom - top; }
    bool Empty() const noexcept { return right <= left || bottom <= top; }
    friend bool operator==(const TRectI&, const TRectI&) = default;
};

// The region frame: a head strip of height `head` on top, a band of kAreaBorder pixels around
// the hole, and the hole itself, which is exactly what gets captured.
inline constexpr int kAreaBorder = 6;
// The smallest capture area, in pixels on each side.
inline constexpr int kAreaMinCapture = 2;

// The capture rectangle of a frame whose window rectangle is given.
TRectI AreaCaptureRect(const TRectI& window, int head) noexcept;
// Window width and height for a capture area of w x h.
int AreaWindowWidth(int captureWidth) noexcept;
int AreaWindowHeight(int captureHeight, int head) noexcept;
// A proposed window size raised to the smallest frame (14 x head + 14).
void ClampAreaWindowSize(int& width, int& height, int head) noexcept;

// Hit-test answers, with the system's values (HTCAPTION ...).
enum AreaHit : int {
    ahNowhere = 0,
    ahClient = 1,
    ahCaption = 2,
    ahLeft = 10,
    ahRight = 11,
    ahTop = 12,
    ahTopLeft = 13,
    ahTopRight = 14,
    ahBottom = 15,
    ahBottomLeft = 16,
    ahBottomRight = 17,
};

// Where a client point (x, y) of a frame with client size cw x ch lies. The head moves the
// frame (a button in it answers client so it can be clicked); the bands resize; the inner
// line of the right and bottom bands moves. While resizing is locked (a recording) the bands
// answer client, so only the head and the keyboard move the frame.
struct AreaHitInput {
    int x = 0, y = 0, clientWidth = 0, clientHeight = 0, head = 0;
    bool overButton = false;
    bool resizeLocked = false;
};
AreaHit AreaHitTest(const AreaHitInput& in) noexcept;

// Arrow keys move the window by one pixel; with Shift they resize it by one, with Ctrl by ten
// (Shift wins over Ctrl). Returns the new window rectangle, size limits applied.
enum class AreaKey { Up, Down, Left, Right };
TRectI AreaKeyMove(const TRectI& window, AreaKey key, bool shift, bool ctrl, int head) noexcept;

// The stored geometry is used only when the whole window lies strictly inside the desktop.
bool AreaFitsDesktop(const TRectI& window, const TRectI& desktop) noexcept;

// The frame's pulse: a darkening of the base colour that walks 0, 5, ... 45, 40, ... 0.
struct TAreaPulse {
    std::uint8_t percent = 0;
    bool increasing = true;
    // The colour for this tick (0x00BBGGRR), then one step on.
    std::uint32_t Tick(std::uint32_t baseColor) noexcept;
};
// c - c * percent / 100 per channel, rounded to nearest as the system's MulDiv does.
std::uint32_t DarkenColor(std::uint32_t color, int percent) noexcept;

// The presets dialog's number fields hold 64..9999.
inline constexpr int kSpinMin = kPresetMin;
inline constexpr int kSpinMax = kPresetMax;
int ClampSpin(long long value) noexcept;
// A field's text as its value: digits (an optional sign, blanks around) give the number
// clamped to the range, however long; anything else, or nothing, gives the minimum.
int ParseSpinText(std::wstring_view text) noexcept;

// "640x480".
std::wstring FormatAreaSize(int width, int height);

}  // namespace tovasen
