#pragma once
// Draws a recording's clicks and shortcuts (input_caption.h) over the recorded area, where the
// screen copy that records takes them along (a copy with CAPTUREBLT includes layered windows).
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "base/gdiplus_session.h"
#include "base/handles.h"
#include "record/input_caption.h"
#include "ui/window.h"

namespace tovasen {

class TTimer;

// A topmost layered window over the area that lets every click through, never takes the focus
// and shows only while there is something to draw. Low-level mouse and keyboard hooks of this
// thread feed it while it is not paused; nothing at all shows while the focused control of the
// foreground window is a password field. One exists at a time.
class TInputOverlay : public TWindow {
public:
    // area: the recorded rectangle on the screen, asked again for every frame (a region follows
    // its frame). language: the interface language, for the key names.
    TInputOverlay(TComponent* owner, std::function<RECT()> area, std::wstring language);
    ~TInputOverlay() override;

    // Paused: the hooks are removed and nothing shows until it goes on.
    void SetPaused(bool paused);
    bool Hooked() const noexcept { return FMouseHook != nullptr; }
    // Presses and shortcuts held back because a password field had the focus.
    int HeldBack() const noexcept { return FHeldBack; }
    // Pictures given to the window so far (a caption that stays the same is given once).
    int FramesDrawn() const noexcept { return FFrames; }

    // One frame of what shows now; hides the window once nothing does.
    void Draw();

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    static LRESULT CALLBACK MouseHook(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK KeyboardHook(int code, WPARAM wParam, LPARAM lParam);
    void Hook();
    void Unhook();
    void Mouse(WPARAM message, const MSLLHOOKSTRUCT& event);
    void Key(WPARAM message, const KBDLLHOOKSTRUCT& event);
    // A press or shortcut that shows: drawn at once, then animated.
    void Animate();
    void Hide();
    void MakeSurface(int width, int height);
    void ClearSurface(const RECT& rect);
    // The window shows the surface at area; dirty: only that part changed (null: all of it).
    void Update(const RECT& area, const RECT* dirty);
    RECT PaintRings(const RECT& area, int dpi, std::int64_t now);
    RECT PaintCaption(int dpi, std::int64_t now);

    std::function<RECT()> FArea;
    TInputMarks FMarks;
    TGdiplusSession FGdiplus;
    TTimer* FTimer = nullptr;
    HHOOK FMouseHook = nullptr, FKeyboardHook = nullptr;
    bool FPaused = false;
    bool FAltGr = false;  // the right Alt of a layout that types with it is held
    int FHeldBack = 0, FFrames = 0;

    UniqueDC FDC;
    UniqueBitmap FBitmap;
    HGDIOBJ FOldBitmap = nullptr;
    std::uint32_t* FBits = nullptr;
    int FWidth = 0, FHeight = 0;
    RECT FDrawn{};        // what the window shows, in its own pixels
    bool FWhole = true;   // the next update covers the whole window
    // What the window shows, to leave it alone while that stays.
    bool FShownRings = false;
    int FShownAlpha = -1;
    std::wstring FShownText;
    RECT FShownArea{};
};

}  // namespace tovasen
