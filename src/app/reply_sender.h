#pragma once
#include <windows.h>

#include <cstddef>
#include <memory>
#include <vector>

#include "app/copydata_command.h"
#include "base/worker.h"

namespace tovasen {

// Sends the replies to scripted commands from threads of their own: a reply window that is
// slow, hung or answers with a new command can hold neither the user-interface thread nor the
// capture that produced the reply. Each reply window has its own queue and its own sending
// thread, so a slow window costs only its own replies; the replies to one window keep their
// order. Each reply is sent with SMTO_BLOCK (nothing else is taken in meanwhile) and
// SMTO_ABORTIFHUNG and waits at most kReplyTimeoutMs; a window that lets one time out gets
// nothing more (its queue is dropped and later replies to it too).
class TReplySender {
public:
    static constexpr UINT kReplyTimeoutMs = 2000;
    // What may wait at once: replies for one window, windows with replies waiting, and the
    // UTF-16 bytes of all (a full history of long lines is some tens of megabytes). A reply
    // beyond these is dropped.
    static constexpr std::size_t kMaxRepliesPerWindow = 4096;
    static constexpr std::size_t kMaxWindows = 16;
    static constexpr std::size_t kMaxBytes = 128u << 20;

    TReplySender();
    TReplySender(const TReplySender&) = delete;
    TReplySender& operator=(const TReplySender&) = delete;
    // Replies still waiting get one time-out's worth of time to go out; then each thread drops
    // its window's rest and is waited for while it ends the reply in hand, which kReplyTimeoutMs
    // bounds.
    ~TReplySender();

    // Queues one reply, or the parts of one reply (ReplyParts) all or none, each part marked as
    // such; false when dropped.
    bool Send(HWND to, HWND from, RemoteReply reply);
    bool Send(HWND to, HWND from, const std::vector<RemoteReply>& parts);

    struct TState;

private:
    std::shared_ptr<TState> FState;
    TWorker FThreads;  // one per window with replies waiting
};

}  // namespace tovasen
