// The command boundary: WM_COPYDATA from any program. A command is checked and parsed within
// fixed limits, the sender is released at once, and the work runs later from the message loop,
// so no sender waits on a capture and no reply can start a capture inside another.
#include <windows.h>

#include "app/copydata_command.h"
#include "app/frm_tovasen.h"
#include "ui/application.h"

namespace tovasen {

LRESULT TFrmTovasen::WMCopyData(const COPYDATASTRUCT& data) {
    const std::optional<RemoteRequest> accepted = AcceptCommand(data.dwData, data.lpData, data.cbData);
    if (!accepted) return 0;
    const RemoteRequest& request = *accepted;
    ReplyMessage(1);

    std::shared_ptr<TOutcomeReporter> reporter;
    if (request.replyTo) {
        const HWND replyTo = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(*request.replyTo));
        reporter = std::make_shared<TScriptReporter>(FReplies, replyTo, Handle(), request.token);
    } else {
        reporter = std::make_shared<TUserReporter>();  // as before scripts could be answered
    }
    std::weak_ptr<bool> alive = FAlive;
    const RemoteCommand command = request.command;
    Application->Queue([this, alive, command, reporter] {
        if (!alive.lock()) return;
        switch (command) {
        case RemoteCommand::About:
            LblCopyrightClick();
            reporter->Report(TCaptureOutcome::Nothing());
            break;
        case RemoteCommand::RecordPause:
            Controller->PauseRecording(reporter);
            break;
        case RemoteCommand::RecordResume:
            Controller->ResumeRecording(reporter);
            break;
        default:
            Controller->Run(reporter);
            break;
        }
    });
    return 1;
}

}  // namespace tovasen
