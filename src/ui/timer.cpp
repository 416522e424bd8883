#include "ui/timer.h"

#include <map>

#include "ui/application.h"
#include "ui/errors.h"

namespace tovasen {
namespace {

// Thread timers carry no object pointer; this maps their ids back (user-interface thread only).
std::map<UINT_PTR, TTimer*>& Timers() {
    static std::map<UINT_PTR, TTimer*> timers;
    return timers;
}

}  // namespace

TTimer::TTimer(TComponent* owner, std::wstring name, UINT interval)
    : TComponent(owner, std::move(name)), FInterval(interval) {}

TTimer::~TTimer() { SetEnabled(false); }

void TTimer::SetInterval(UINT interval) {
    FInterval = interval;
    if (Enabled()) {
        SetEnabled(false);
        SetEnabled(true);
    }
}

void TTimer::SetEnabled(bool enabled) {
    if (enabled == Enabled()) return;
    if (enabled) {
        FId = SetTimer(nullptr, 0, FInterval, TimerProc);
        if (!FId) RaiseLastOSError(L"SetTimer");
        Timers()[FId] = this;
    } else {
        KillTimer(nullptr, FId);
        Timers().erase(FId);
        FId = 0;
    }
}

void CALLBACK TTimer::TimerProc(HWND, UINT, UINT_PTR id, DWORD) {
    auto found = Timers().find(id);
    if (found == Timers().end() || !found->second->OnTimer) return;
    try {
        found->second->OnTimer();
    } catch (...) {
        if (Application) Application->HandleException(std::current_exception());
    }
}

}  // namespace tovasen
