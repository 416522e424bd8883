#include "select/movement_watch.h"

#include "base/errors.h"
#include "base/log_event.h"
#include "ui/application.h"

namespace tovasen {

struct TMovementWatch::TShared {
    std::atomic<bool> pending{false};
    std::atomic<bool> watching{false};
    std::function<void()> onChange;  // touched on the user-interface thread only
};

namespace {

// The hooks call plain functions on the thread that set them: this is that thread's watch.
thread_local std::shared_ptr<TMovementWatch::TShared> tWatch;

void Notify() noexcept {
    const std::shared_ptr<TMovementWatch::TShared> shared = tWatch;
    if (!shared || shared->pending.exchange(true)) return;
    try {
        const bool queued = Application && Application->Queue([shared] {
            shared->pending = false;
            if (shared->onChange) shared->onChange();
        });
        if (!queued) shared->pending = false;
    } catch (...) {
        shared->pending = false;  // no memory for the call: the next movement tries again
        LogCaught(L"movement-watch", std::current_exception());
    }
}

LRESULT CALLBACK MouseHook(int code, WPARAM message, LPARAM data) {
    if (code == HC_ACTION && message == WM_MOUSEMOVE) Notify();
    return CallNextHookEx(nullptr, code, message, data);
}

void CALLBACK WindowEvent(HWINEVENTHOOK, DWORD, HWND, LONG object, LONG child, DWORD, DWORD) {
    if (object == OBJID_WINDOW && child == CHILDID_SELF) Notify();
}

}  // namespace

TMovementWatch::TMovementWatch(std::function<void()> onChange)
    : FShared(std::make_shared<TShared>()),
      FStop(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      FReady(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    if (!FStop || !FReady) RaiseLastOSError(L"CreateEventW");
    FShared->onChange = std::move(onChange);
    FThread = std::thread([this] { Run(); });
    // Setting the hooks takes a moment; it is done before anyone relies on them.
    WaitForSingleObject(FReady.Get(), 5000);
    FWatching = FShared->watching;
}

TMovementWatch::~TMovementWatch() {
    FShared->onChange = nullptr;  // a call still queued finds nothing to do
    SetEvent(FStop.Get());
    if (FThread.joinable()) FThread.join();
}

void TMovementWatch::Run() {
    tWatch = FShared;
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the hooks need this thread's message queue
    HHOOK mouse = SetWindowsHookExW(WH_MOUSE_LL, MouseHook, GetModuleHandleW(nullptr), 0);
    // Out of context: the events come to this thread as messages, from every other program.
    constexpr DWORD kFlags = WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS;
    const HWINEVENTHOOK events[] = {
        SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr, WindowEvent, 0, 0, kFlags),
        SetWinEventHook(EVENT_OBJECT_DESTROY, EVENT_OBJECT_REORDER, nullptr, WindowEvent, 0, 0, kFlags),
        SetWinEventHook(EVENT_OBJECT_LOCATIONCHANGE, EVENT_OBJECT_LOCATIONCHANGE, nullptr, WindowEvent, 0, 0, kFlags),
    };
    FShared->watching = mouse != nullptr;
    SetEvent(FReady.Get());
    const HANDLE stop = FStop.Get();
    // Asleep until the stop or a hook's message: the hooks are called from PeekMessage.
    while (MsgWaitForMultipleObjects(1, &stop, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    for (HWINEVENTHOOK hook : events) {
        if (hook) UnhookWinEvent(hook);
    }
    if (mouse) UnhookWindowsHookEx(mouse);
    tWatch.reset();
}

}  // namespace tovasen
