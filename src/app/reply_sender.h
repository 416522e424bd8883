#pragma once
#include <windows.h>

#include <memory>

#include "app/copydata_command.h"

namespace tovasen {

// Sends the replies to scripted commands, in order, from a thread of its own: a reply window
// that is slow, hung or answers with a new command can hold neither the user-interface thread
// nor the capture that produced the reply. Each reply is sent with SMTO_BLOCK (nothing else is
// taken in meanwhile) and SMTO_ABORTIFHUNG and waits at most kReplyTimeoutMs.
class TReplySender {
public:
    static constexpr UINT kReplyTimeoutMs = 2000;

    TReplySender();
    TReplySender(const TReplySender&) = delete;
    TReplySender& operator=(const TReplySender&) = delete;
    // Replies still waiting get one time-out's worth of time to go out; the thread is then let
    // go rather than waited for.
    ~TReplySender();

    void Send(HWND to, HWND from, RemoteReply reply);

    struct TState;

private:
    std::shared_ptr<TState> FState;
};

}  // namespace tovasen
