#pragma once
// The window a region recording records: the region's pixels are painted into it every 30 ms,
// on a thread of its own, and the encoder captures it by its title.
#include <windows.h>

#include <mutex>
#include <optional>
#include <thread>

#include "base/handles.h"
#include "capture/capture.h"
#include "ui/window.h"

namespace tovasen {

// By default it sits beyond every monitor (placed again when the displays change), lets every
// click through and never takes the focus; a layered window keeps its picture there.
class TMirrorWindow : public TWindow {
public:
    // position: a fixed place instead (tests keep it on screen, where Wine records it).
    TMirrorWindow(TComponent* owner, std::optional<POINT> position);
    void SetSize(int width, int height);
    int Width() const noexcept { return FWidth; }
    int Height() const noexcept { return FHeight; }

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    POINT Position() const;

    std::optional<POINT> FFixed;
    int FWidth = 0, FHeight = 0;
};

// One frame: the region's current pixels into the mirror, as much as fits and lies on the
// screen; the rest of the mirror black.
void PaintMirror(TCapture& capture, HWND mirror, int width, int height, const RECT& region);

// Paints frames on its own thread, so that a large region never holds up the user-interface
// thread. Each Paint asks for one frame of the region; asks that come faster than frames can be
// painted make one frame.
class TFramePainter {
public:
    TFramePainter(HWND mirror, int width, int height, bool cursor);
    TFramePainter(const TFramePainter&) = delete;
    TFramePainter& operator=(const TFramePainter&) = delete;
    // Waits for the frame being painted.
    ~TFramePainter();

    void Paint(const RECT& region);

private:
    void Run();

    HWND FMirror;
    int FWidth, FHeight;
    bool FCursor;
    std::mutex FLock;
    RECT FRegion{};
    UniqueKernelHandle FAsked{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    UniqueKernelHandle FStop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::thread FThread;
};

}  // namespace tovasen
