#include "app/command_server.h"

#include <algorithm>
#include <utility>

#include "app/command_trust.h"
#include "app/integrity_level.h"
#include "base/exception_text.h"
#include "editor/editor_entry.h"
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

TCommandServer::TCommandServer(TForm& window, TCaptureController& controller, THistoryLink& history,
                               std::function<void()> about)
    : FWindow(window), FController(controller), FHistory(history), FAbout(std::move(about)) {}

LRESULT TCommandServer::Receive(HWND sender, const COPYDATASTRUCT& data) {
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
        reporter = std::make_shared<TScriptReporter>(FReplies, replyTo, FWindow.Handle(), accepted->token,
                                                     WindowMayReadReplies(replyLevel, ownLevel));
    } else {
        reporter = std::make_shared<TUserReporter>(FCommandBoxes);  // as before scripts could be answered
    }
    Application->Queue(FLifetime.Guard([this, request = *accepted, reporter, toUser = !replyTo] {
        // Queued before a command's box opened and run inside its modal loop: refused as well.
        if (toUser && FCommandBoxes->IsOpen()) return;
        Run(request, reporter);
    }));
    return 1;
}

void TCommandServer::Run(const RemoteRequest& request, const std::shared_ptr<TOutcomeReporter>& reporter) {
    switch (request.command) {
    case RemoteCommand::About:
        FAbout();
        reporter->Report(TCaptureOutcome::Nothing());
        break;
    case RemoteCommand::Capture: {
        const std::optional<TCaptureMode> mode = request.mode ? CaptureModeNamed(*request.mode) : std::nullopt;
        if (request.mode && !mode) {
            reporter->Report(TCaptureOutcome::Failure(UnknownModeText(*request.mode)));
            break;
        }
        FController.Run({reporter, static_cast<int>(std::min<std::uint64_t>(request.delay.value_or(0), 3600)), mode});
        break;
    }
    case RemoteCommand::Edit:
        // Editing a file holds nothing of the controller: captures go on meanwhile.
        try {
            const std::wstring file = request.file;
            if (!MayOpenForScript(file)) {
                reporter->Report(TCaptureOutcome::Failure(L"Only a file on a local drive can be edited from a script."));
                break;
            }
            FHistory.FollowEdit(EditFile(
                file,
                [reporter, file](bool saved) {
                    // Closed without saving: the script hears "cancelled", as for a cancelled capture.
                    reporter->Report(saved ? TCaptureOutcome::Written(TCaptureOutcome::TKind::FileWritten, file)
                                           : TCaptureOutcome{TCaptureOutcome::TKind::Cancelled, {}, {}, false});
                },
                &FWindow));
        } catch (...) {
            reporter->Report(TCaptureOutcome::Failure(ExceptionText(std::current_exception())));
        }
        break;
    case RemoteCommand::RecordPause:
        FController.PauseRecording(reporter);
        break;
    case RemoteCommand::RecordResume:
        FController.ResumeRecording(reporter);
        break;
    case RemoteCommand::History:
        FHistory.ListForScript(reporter, static_cast<std::size_t>(
                                             std::min<std::uint64_t>(request.limit.value_or(kDefaultHistoryLimit), 100000)));
        break;
    case RemoteCommand::HistoryClear:
        FHistory.ClearForScript(reporter);
        break;
    default:
        break;
    }
}

}  // namespace tovasen
