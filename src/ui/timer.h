#pragma once
#include <windows.h>

#include <functional>

#include "ui/component.h"

namespace tovasen {

// A thread timer of the user-interface thread; OnTimer runs from the message loop.
class TTimer : public TComponent {
public:
    TTimer(TComponent* owner, std::wstring name, UINT interval = 1000);
    ~TTimer() override;

    UINT Interval() const noexcept { return FInterval; }
    void SetInterval(UINT interval);
    bool Enabled() const noexcept { return FId != 0; }
    void SetEnabled(bool enabled);

    std::function<void()> OnTimer;

private:
    static void CALLBACK TimerProc(HWND, UINT, UINT_PTR id, DWORD);

    UINT FInterval;
    UINT_PTR FId = 0;
};

}  // namespace tovasen
