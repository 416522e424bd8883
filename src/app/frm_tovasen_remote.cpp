// The command boundary: WM_COPYDATA from any program. A command is checked and parsed within
// fixed limits, the sender is released at once, and the work runs later from the message loop,
// so no sender waits on a capture and no reply can start a capture inside another.
#include <windows.h>

#include "app/copydata_command.h"
#include "app/frm_tovasen.h"
#include "base/exception_text.h"
#include "editor/editor_entry.h"
#include "history/history.h"
#include "history/history_format.h"
#include "ui/application.h"

namespace tovasen {
namespace {

constexpr std::uint64_t kDefaultHistoryLimit = 20;

}  // namespace

LRESULT TFrmTovasen::WMCopyData(const COPYDATASTRUCT& data) {
    const std::optional<RemoteRequest> accepted = AcceptCommand(data.dwData, data.lpData, data.cbData);
    if (!accepted) return 0;
    ReplyMessage(1);

    std::shared_ptr<TOutcomeReporter> reporter;
    if (accepted->replyTo) {
        const HWND replyTo = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(*accepted->replyTo));
        reporter = std::make_shared<TScriptReporter>(FReplies, replyTo, Handle(), accepted->token);
    } else {
        reporter = std::make_shared<TUserReporter>();  // as before scripts could be answered
    }
    std::weak_ptr<bool> alive = FAlive;
    Application->Queue([this, alive, request = *accepted, reporter] {
        if (alive.lock()) RunCommand(request, reporter);
    });
    return 1;
}

void TFrmTovasen::RunCommand(const RemoteRequest& request, const std::shared_ptr<TOutcomeReporter>& reporter) {
    switch (request.command) {
    case RemoteCommand::About:
        LblCopyrightClick();
        reporter->Report(TCaptureOutcome::Nothing());
        break;
    case RemoteCommand::Capture:
        Controller->Run({reporter, static_cast<int>(std::min<std::uint64_t>(request.delay.value_or(0), 3600))});
        break;
    case RemoteCommand::Edit:
        // Editing a file holds nothing of the controller: captures go on meanwhile.
        try {
            const std::wstring file = request.file;
            FollowEditInHistory(EditFile(
                file,
                [reporter, file](bool saved) {
                    // Closed without saving: the script hears "cancelled", as for a cancelled capture.
                    reporter->Report(saved ? TCaptureOutcome::Written(TCaptureOutcome::TKind::FileWritten, file)
                                           : TCaptureOutcome{TCaptureOutcome::TKind::Cancelled, {}, {}, false});
                },
                this));
        } catch (...) {
            reporter->Report(TCaptureOutcome::Failure(ExceptionText(std::current_exception())));
        }
        break;
    case RemoteCommand::RecordPause:
        Controller->PauseRecording(reporter);
        break;
    case RemoteCommand::RecordResume:
        Controller->ResumeRecording(reporter);
        break;
    case RemoteCommand::History: {
        if (!History) {
            reporter->Report(TCaptureOutcome::Failure(L"The capture history is not available."));
            break;
        }
        std::wstring lines;
        const std::uint64_t limit = std::min<std::uint64_t>(request.limit.value_or(kDefaultHistoryLimit), 100000);
        for (const THistoryEntry& entry : History->Recent(static_cast<std::size_t>(limit))) {
            lines += HistoryLine(entry) + L"\n";
        }
        reporter->Report(TCaptureOutcome::Written(TCaptureOutcome::TKind::NothingToWrite, lines));
        break;
    }
    case RemoteCommand::HistoryClear:
        ClearHistoryForScript(reporter);
        break;
    default:
        break;
    }
}

}  // namespace tovasen
