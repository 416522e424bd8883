#pragma once
#include <memory>

#include "select/selection_pixels.h"
#include "ui/bitmap.h"
#include "ui/form.h"
#include "ui/timer.h"

namespace tovasen {

// The drag overlay: a frozen picture of the whole virtual screen, dimmed, over every monitor;
// the rectangle the user drags with the left button shows at full brightness. One overlay
// serves one selection; its creator runs it and frees it.
class TFrmDrag : public TForm {
public:
    static constexpr wchar_t kClassName[] = L"TFrmDrag";

    explicit TFrmDrag(TComponent* owner);
    ~TFrmDrag() override;

    // Freezes the screen, shows the overlay and runs it modally until a selection is made
    // (returns its pixels, never dimmed, in the display's format, and its screen rectangle)
    // or cancelled by Esc or by switching to another program (returns null, rect untouched).
    // Raises when the snapshot cannot be made: a black picture must never pass for a capture.
    std::unique_ptr<TBitmap> Capture(RECT& rect);

    TTimer* TmrActive = nullptr;

    // What the overlay shows now, for tests: the dimmed picture with the selection bright.
    const TBitmap& Shown() const noexcept { return FShown; }
    TRectI Selection() const noexcept { return FCaptureRect; }

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void TakeSnapshot();
    void MouseDown(POINT at);
    void MouseMove(POINT at);
    void MouseUp(POINT at);
    void Select(POINT end);
    void Finish();
    void Cancel();
    void TmrActiveTimer();
    bool ApplicationActive() const;
    static TPixelRows Rows(TBitmap& bitmap);

    POINT FStartPoint{}, FEndPoint{};
    bool FSelecting = false;
    bool FDone = false;          // a result or a cancel: nothing may change it any more
    bool FWasActive = false;     // the application had the foreground while the overlay ran
    TRectI FCaptureRect{};
    RECT FScreenRect{};
    TBitmap FScreen;             // the frozen desktop
    TBitmap FDark;               // the same, dimmed once at show
    TBitmap FShown;              // what the window paints
    std::unique_ptr<TBitmap> FResult;
    RECT FResultRect{};
};

}  // namespace tovasen
