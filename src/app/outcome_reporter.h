#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "app/capture_outcome.h"

namespace tovasen {

class TReplySender;

// Tells whoever asked for a capture how it ended. Each request has exactly one reporter, and
// the controller hands it exactly one outcome.
class TOutcomeReporter {
public:
    virtual ~TOutcomeReporter() = default;
    virtual void Report(const TCaptureOutcome& outcome) = 0;
};

// The one message box that commands from other programs may have open: a flood of commands
// must not stack a box per command, each inside the last one's modal loop. Lives on the
// user-interface thread.
class TCommandBoxGate {
public:
    bool IsOpen() const noexcept { return FOpen; }

private:
    friend class TUserReporter;
    bool FOpen = false;
};

// A person at the hotkey or the tray: failures and refusals in the program's message boxes;
// success, a busy controller and a cancelled selection say nothing. With a gate (a command
// from another program without a reply window), nothing is shown while the gate's box is open.
class TUserReporter : public TOutcomeReporter {
public:
    explicit TUserReporter(std::shared_ptr<TCommandBoxGate> gate = nullptr) : FGate(std::move(gate)) {}
    void Report(const TCaptureOutcome& outcome) override;

private:
    std::shared_ptr<TCommandBoxGate> FGate;
};

// A script waiting on a reply window: every outcome becomes one reply carrying the request's
// token (in parts when it does not fit one message), and nobody is asked to click anything.
// A reply window of a process below Tovasen's integrity level hears only how the command
// ended (ok, failed, busy, cancelled), never a path, a message or the history.
class TScriptReporter : public TOutcomeReporter {
public:
    TScriptReporter(std::shared_ptr<TReplySender> sender, HWND replyTo, HWND from, std::wstring token,
                    bool mayReadData = true);
    void Report(const TCaptureOutcome& outcome) override;

private:
    std::shared_ptr<TReplySender> FSender;
    HWND FReplyTo;
    HWND FFrom;
    std::wstring FToken;
    bool FMayReadData;
};

// What a script is told for an outcome that has no message of its own.
std::wstring ScriptText(const TCaptureOutcome& outcome);
// The outcome's text as a person or a script is told it: the program's text translated into the
// interface language, then the error's own text as it stands.
std::wstring ToldText(const TCaptureOutcome& outcome);

}  // namespace tovasen
