#pragma once
#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>

#include "ui/form.h"
#include "ui/timer.h"

namespace tovasen {

// The countdown's window: a small round topmost badge near the pointer with the seconds left.
// It never takes the focus nor the mouse (a menu the user opens meanwhile stays open) and asks
// the system to leave it out of screen captures.
class TFrmCountdown : public TForm {
public:
    static constexpr wchar_t kClassName[] = L"TFrmCountdown";
    TFrmCountdown();

    // Shows the badge beside the screen point, inside that monitor's work area.
    void ShowNear(POINT point);
    void SetSeconds(int seconds);
    int Seconds() const noexcept { return FSeconds; }

    // Esc, seen by the badge itself or by the keyboard hook while the countdown runs.
    std::function<void()> OnEscape;

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void Paint();
    int FSeconds = 0;
};

// A delayed capture's countdown, started with one call. Exactly one of the two callbacks runs,
// from the message loop (never from inside Start, Cancel or a handler of the badge), so either
// may free this object: elapsed once the time is up and the badge is off the screen, cancelled
// on Esc or Cancel. Freeing the object while it counts reports nothing.
class TCountdown {
public:
    static constexpr int kMinSeconds = 1;
    static constexpr int kMaxSeconds = 60;

    TCountdown();
    TCountdown(const TCountdown&) = delete;
    TCountdown& operator=(const TCountdown&) = delete;
    ~TCountdown();

    // Raises an Exception for seconds outside kMinSeconds..kMaxSeconds or while counting.
    void Start(int seconds, std::function<void()> onElapsed, std::function<void()> onCancelled);
    void Cancel();
    bool Running() const noexcept { return FRunning; }
    // The badge, for whoever must know where it is (and tests).
    TFrmCountdown& Window() const noexcept { return *FWindow; }

private:
    using Clock = std::chrono::steady_clock;
    void Tick();
    void Finish(bool elapsed);
    static LRESULT CALLBACK KeyboardHook(int code, WPARAM wParam, LPARAM lParam);

    std::unique_ptr<TFrmCountdown> FWindow;
    TTimer* FTimer = nullptr;
    bool FRunning = false;
    bool FSettling = false;  // the badge is hidden; the screen is given time to show what is under it
    Clock::time_point FDeadline;
    Clock::time_point FSettled;
    HHOOK FHook = nullptr;
    std::function<void()> FOnElapsed;
    std::function<void()> FOnCancelled;
};

}  // namespace tovasen
