#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "image/picture_limits.h"
#include "scroll/scroll_error.h"
#include "image/bitmap.h"

namespace tovasen {

// What a scrolling capture did, step by step (tests and figures).
struct ScrollProgress {
    int steps = 0;     // views taken after the first
    int retries = 0;   // steps that had to be watched or taken again before they joined
    int height = 0;    // rows of the picture so far
};

struct ScrollCaptureOptions {
    PictureLimits limits = kPictureLimits;
    // How long a view may keep changing after a step before what changes counts as animation.
    DWORD settleMs = 1500;
    // How long a step that did not join watches the view for parts that change by themselves.
    DWORD watchMs = 1200;
    // How long the way to the top may take (a window may load ever older content there) before
    // the capture starts where it got to, and how long the way back may take.
    DWORD toTopMs = 15000;
    DWORD restoreMs = 15000;
    // Called after every view taken.
    std::function<void(const ScrollProgress&)> onStep;
};

struct ScrollCaptureResult {
    std::unique_ptr<TBitmap> Bitmap;  // 32 bits per pixel, top row first
    RECT Rect{};                      // where the view lies on the screen
    std::wstring Notice;              // why it did not take all: a limit, a top too far; or empty
    bool Cancelled = false;           // Esc or the exit ended it; Bitmap holds what Esc left, or null
    ScrollProgress Progress;
};

// Captures the scrollable window under the pointer (screen coordinates) from the top of its
// content to the end, as one tall picture, and puts its scroll position back. Runs on the
// user-interface thread and pumps its messages while the window scrolls; Esc ends it early
// with what was taken, the program's exit with nothing (the quit message stays for the main
// loop). Both take effect between two notches and during every wait. Raises EScrollCaptureError, with a translated message, when there is
// nothing to capture, the window stops answering or changes size, or two views cannot be
// joined with certainty: it never guesses.
ScrollCaptureResult CaptureScrollingWindow(POINT pointer, const ScrollCaptureOptions& options = {});

}  // namespace tovasen
