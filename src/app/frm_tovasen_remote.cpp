// The command boundary: WM_COPYDATA from any program. A command is checked and parsed within
// fixed limits, the sender is released at once, and the work runs later from the message loop,
// so no sender waits on a capture and no reply can start a capture inside another.
#include <windows.h>

#include <algorithm>

#include "app/command_trust.h"
#include "app/copydata_command.h"
#include "app/frm_tovasen.h"
#include "app/integrity_level.h"
#include "base/exception_text.h"
#include "editor/editor_entry.h"
#include "history/history.h"
#include "history/history_format.h"
#include "ui/application.h"

namespace tovasen {
namespace {

constexpr std::uint64_t kDefaultHistoryLimit = 20;

// A file that a script may have opened: a local path (see IsLocalFilePath) on a drive that is
// not a network drive.
bool MayOpenForScript(const std::wstring& file) {
    if (!IsLocalFilePath(file)) return false;
    const std::wstring path = file.compare(0, 4, L"\\\\?\\") == 0 ? file.substr(4) : file;
    const std::wstring root = path.substr(0, 3);
    return GetDriveTypeW(root.c_str()) != DRIVE_REMOTE;
}

}  // namespace

LRESULT TFrmTovasen::WMCopyData(HWND sender, const COPYDATASTRUCT& data) {
    const std::optional<RemoteRequest> accepted = AcceptCommand(data.dwData, data.lpData, data.cbData);
    if (!accepted) return 0;
    const HWND replyTo =
        accepted->replyTo ? reinterpret_cast<HWND>(static_cast<std::uintptr_t>(*accepted->replyTo)) : nullptr;
    // The sender is known only by the window it names as its own, so the reply window counts
    // too: a program below our level reads nothing through a window it names that is not its
    // own, and runs only what such programs may.
    const std::uint32_t ownLevel = OwnIntegrityLevel();
    const std::uint32_t replyLevel = replyTo ? WindowIntegrityLevel(replyTo) : ownLevel;
    if (!SenderMayRun(accepted->command, std::min(WindowIntegrityLevel(sender), replyLevel), ownLevel)) return 0;
    // Only one box for commands at a time: one that would tell its end in another is refused.
    if (!replyTo && FCommandBoxes->IsOpen()) return 0;
    ReplyMessage(1);

    std::shared_ptr<TOutcomeReporter> reporter;
    if (replyTo) {
        reporter = std::make_shared<TScriptReporter>(FReplies, replyTo, Handle(), accepted->token,
                                                     WindowMayReadReplies(replyLevel, ownLevel));
    } else {
        reporter = std::make_shared<TUserReporter>(FCommandBoxes);  // as before scripts could be answered
    }
    std::weak_ptr<bool> alive = FAlive;
    Application->Queue([this, alive, request = *accepted, reporter, toUser = !replyTo, boxes = FCommandBoxes] {
        // Queued before a command's box opened and run inside its modal loop: refused as well.
        if (toUser && boxes->IsOpen()) return;
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
            if (!MayOpenForScript(file)) {
                reporter->Report(TCaptureOutcome::Failure(L"Only a file on a local drive can be edited from a script."));
                break;
            }
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
