#include "ui/timer.h"

#include <algorithm>

#include "base/errors.h"
#include "ui/application.h"

namespace tovasen {

bool TTimerHost::DispatchTimer(WPARAM id) {
    for (TTimer* timer : FTimers) {
        if (reinterpret_cast<WPARAM>(timer) != id) continue;
        if (timer->OnTimer) timer->OnTimer();
        return true;
    }
    return false;
}

TTimer::TTimer(TComponent* owner, std::wstring name, UINT interval)
    : TComponent(owner, std::move(name)), FInterval(interval) {}

TTimer::~TTimer() { SetEnabled(false); }

TTimerHost* TTimer::FindHost() const {
    for (TComponent* c = Owner(); c; c = c->Owner()) {
        auto* host = dynamic_cast<TTimerHost*>(c);
        if (host && host->TimerWindow()) return host;
    }
    return Application;
}

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
        TTimerHost* host = FindHost();
        if (!host) throw Exception(L"A timer needs a window to run on.");
        if (!SetTimer(host->TimerWindow(), reinterpret_cast<UINT_PTR>(this), FInterval, nullptr)) {
            RaiseLastOSError(L"SetTimer");
        }
        host->FTimers.push_back(this);
        FHost = host;
    } else {
        KillTimer(FHost->TimerWindow(), reinterpret_cast<UINT_PTR>(this));
        auto& timers = FHost->FTimers;
        timers.erase(std::remove(timers.begin(), timers.end(), this), timers.end());
        FHost = nullptr;
    }
}

}  // namespace tovasen
