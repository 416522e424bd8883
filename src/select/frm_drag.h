#pragma once
#include <memory>

#include "select/selection_pixels.h"
#include "image/bitmap.h"
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

    TRectI Selection() const noexcept { return FCaptureRect; }

    // Where the last Capture's time went before the user saw the overlay, in milliseconds:
    // the screen copy, the darkening, showing the window, and its first paint.
    struct TShowTimes {
        double grab = 0, darken = 0, window = 0, firstPaint = 0;
    };
    const TShowTimes& ShowTimes() const noexcept { return FShowTimes; }

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void TakeSnapshot();
    void MouseDown(POINT at);
    void MouseMove(POINT at);
    void MouseUp(POINT at);
    void Select(POINT end);
    void Paint();
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
    // The frozen desktop, shown inside the selection, and the same dimmed once at show, shown
    // outside it. Handed on to the next overlay when this one goes.
    std::unique_ptr<TBitmap> FScreen, FDark;
    std::unique_ptr<TBitmap> FResult;
    RECT FResultRect{};
    TShowTimes FShowTimes;
    LARGE_INTEGER FShownAt{};    // the picture is ready to show; cleared by the first paint
};

}  // namespace tovasen
