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

// A person at the hotkey or the tray: failures and refusals in the program's message boxes;
// success, a busy controller and a cancelled selection say nothing.
class TUserReporter : public TOutcomeReporter {
public:
    void Report(const TCaptureOutcome& outcome) override;
};

// A script waiting on a reply window: every outcome becomes one reply carrying the request's
// token, and nobody is asked to click anything.
class TScriptReporter : public TOutcomeReporter {
public:
    TScriptReporter(std::shared_ptr<TReplySender> sender, HWND replyTo, HWND from, std::wstring token);
    void Report(const TCaptureOutcome& outcome) override;

private:
    std::shared_ptr<TReplySender> FSender;
    HWND FReplyTo;
    HWND FFrom;
    std::wstring FToken;
};

// What a script is told for an outcome that has no message of its own.
std::wstring ScriptText(const TCaptureOutcome& outcome);

}  // namespace tovasen
