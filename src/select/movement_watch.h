#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "base/handles.h"

namespace tovasen {

// Tells the user-interface thread that the mouse moved or that a window of another program
// moved, appeared, vanished or took the foreground, so that whatever follows the mouse can
// sleep until then instead of polling. The system's hooks run on a thread of their own: a busy
// user-interface thread (a capture being encoded) must never hold up the mouse of the whole
// desktop. Movements that come faster than the user-interface thread takes them are merged
// into one call.
class TMovementWatch {
public:
    // onChange runs on the user-interface thread, through the application's queue.
    explicit TMovementWatch(std::function<void()> onChange);
    TMovementWatch(const TMovementWatch&) = delete;
    TMovementWatch& operator=(const TMovementWatch&) = delete;
    ~TMovementWatch();

    // Whether the mouse hook could be set (the window hooks are a bonus: Wine has none).
    bool Watching() const noexcept { return FWatching; }

    struct TShared;

private:
    void Run();

    std::shared_ptr<TShared> FShared;
    UniqueKernelHandle FStop;
    UniqueKernelHandle FReady;
    bool FWatching = false;
    std::thread FThread;
};

}  // namespace tovasen
