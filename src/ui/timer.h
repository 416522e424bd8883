#pragma once
#include <windows.h>

#include <functional>
#include <vector>

#include "ui/component.h"

namespace tovasen {

class TTimer;

// A window that delivers the WM_TIMER messages of the timers it hosts through its own window
// procedure; the timer object is the timer's id, checked against the host's list before use.
class TTimerHost {
public:
    virtual ~TTimerHost() = default;
    virtual HWND TimerWindow() const noexcept = 0;
    // Runs the timer with that id when it is one of ours; false for ids we do not know.
    bool DispatchTimer(WPARAM id);

private:
    friend class TTimer;
    std::vector<TTimer*> FTimers;
};

// A timer of the user-interface thread, delivered through the nearest owner that hosts timers
// (a window, else the application window); OnTimer runs from the message loop.
class TTimer : public TComponent {
public:
    TTimer(TComponent* owner, std::wstring name, UINT interval = 1000);
    ~TTimer() override;

    UINT Interval() const noexcept { return FInterval; }
    void SetInterval(UINT interval);
    bool Enabled() const noexcept { return FHost != nullptr; }
    void SetEnabled(bool enabled);

    std::function<void()> OnTimer;

private:
    friend class TTimerHost;
    TTimerHost* FindHost() const;

    UINT FInterval;
    TTimerHost* FHost = nullptr;
};

}  // namespace tovasen
