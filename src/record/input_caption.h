#pragma once
// What a recording shows of the presenter's hands: a ring for each mouse press and a caption for
// each shortcut ("Ctrl + Shift + S", "Ctrl + V ×3"), as a model driven by a clock in
// milliseconds, so that what is drawn at any moment is a function of the events and the time.
// Plain typing is never captioned.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovasen {

// The virtual-key codes the captions name, with the values the keyboard reports on Windows.
namespace vk {
inline constexpr int Back = 0x08, Tab = 0x09, Return = 0x0D, Shift = 0x10, Control = 0x11, Menu = 0x12,
                     Escape = 0x1B, Space = 0x20, PageUp = 0x21, PageDown = 0x22, End = 0x23, Home = 0x24,
                     Left = 0x25, Up = 0x26, Right = 0x27, Down = 0x28, Insert = 0x2D, Delete = 0x2E, LWin = 0x5B,
                     RWin = 0x5C, Numpad0 = 0x60, Numpad9 = 0x69, F1 = 0x70, F24 = 0x87, LShift = 0xA0,
                     RShift = 0xA1, LControl = 0xA2, RControl = 0xA3, LMenu = 0xA4, RMenu = 0xA5;
}

// Held modifiers, as bits; the caption names them in this order.
enum TModifier : unsigned { kModCtrl = 1, kModShift = 2, kModAlt = 4, kModWin = 8 };

// The modifier a key is (either side), or 0.
unsigned ModifierOf(int key);
// A key pressed with these modifiers is worth a caption: anything with Ctrl, Alt or Win, and the
// keys that act on their own (Esc, Enter, Tab, Backspace, Delete, the arrows, F1-F24) with any.
bool IsShortcut(int key, unsigned modifiers);
// The key's name in the interface language (English for a language without names of its own);
// keys without a name of their own are the character the layout gives them (layoutChar), or
// nothing.
std::wstring KeyName(int key, std::wstring_view language, wchar_t layoutChar = 0);
// "Ctrl + Shift + S"; empty when the key has no name.
std::wstring ShortcutText(int key, unsigned modifiers, std::wstring_view language, wchar_t layoutChar = 0);

enum class TMouseButton { Left, Right };

// A press's ring at one moment, in pixels at the given DPI.
struct TRingMark {
    int x = 0, y = 0;  // where the press was, in screen pixels
    TMouseButton button = TMouseButton::Left;
    double diameter = 0, width = 0;
    double opacity = 0;  // 1 at the press, 0 at its end
};

struct TCaptionMark {
    std::wstring text;
    double opacity = 0;
};

// Where the caption's box goes in an area of width x height, for text of the given size: centred
// near the bottom, inside the area.
struct TBoxI {
    int left = 0, top = 0, right = 0, bottom = 0;
};
TBoxI CaptionBox(int areaWidth, int areaHeight, int textWidth, int textHeight, int dpi);
// The caption's text height at dpi.
int CaptionTextHeight(int dpi);

class TInputMarks {
public:
    static constexpr std::int64_t kRingMs = 400;
    static constexpr std::int64_t kCaptionMs = 1500;
    // The caption fades over its last part.
    static constexpr std::int64_t kCaptionFadeMs = 300;

    explicit TInputMarks(std::wstring language) : FLanguage(std::move(language)) {}

    void Press(TMouseButton button, int x, int y, std::int64_t now);
    // A key as the keyboard reports it. A key still held (the keyboard repeating it) is not
    // pressed again.
    void KeyDown(int key, std::int64_t now, wchar_t layoutChar = 0);
    void KeyUp(int key);
    // Nothing shows from now on until the next press; keys held are forgotten (their release may
    // never be seen).
    void Clear();

    std::vector<TRingMark> Rings(std::int64_t now, int dpi) const;
    std::optional<TCaptionMark> Caption(std::int64_t now) const;
    // Anything left to draw at now.
    bool Showing(std::int64_t now) const;

private:
    struct TPress {
        TMouseButton button;
        int x, y;
        std::int64_t at;
    };

    unsigned Modifiers() const;

    std::wstring FLanguage;
    std::vector<TPress> FPresses;
    std::vector<int> FHeld;  // keys down, modifiers included
    std::wstring FShortcut;  // the caption's shortcut, without its count
    int FCount = 0;
    std::int64_t FCaptionAt = 0;
};

}  // namespace tovasen
