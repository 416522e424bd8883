#include "app/outcome_reporter.h"

#include "app/reply_parts.h"
#include "app/reply_sender.h"
#include "base/log_event.h"
#include "i18n/translation.h"
#include "ui/application.h"

namespace tovasen {
namespace {

// Each reporter hears its request's outcome once, so a failure is recorded once: with its own
// text, whether or not the person or the script may read that text.
void RecordFailure(const TCaptureOutcome& outcome, std::wstring_view asker) {
    if (outcome.Kind != TCaptureOutcome::TKind::Failed && outcome.Kind != TCaptureOutcome::TKind::Refused) return;
    const std::wstring_view kind = outcome.Kind == TCaptureOutcome::TKind::Failed ? L"failed" : L"refused";
    LogEvent(L"outcome", std::wstring(asker) + L" " + std::wstring(kind) + L": " + ScriptText(outcome));
}

}  // namespace

void TUserReporter::Report(const TCaptureOutcome& outcome) {
    RecordFailure(outcome, L"user's request");
    const bool tell = outcome.Succeeded() || outcome.Kind == TCaptureOutcome::TKind::Failed ||
                      outcome.Kind == TCaptureOutcome::TKind::Refused;
    if (!tell || (outcome.Message.empty() && outcome.Detail.empty())) return;
    if (FGate && FGate->IsOpen()) return;
    struct THold {
        TCommandBoxGate* Gate;
        explicit THold(TCommandBoxGate* gate) : Gate(gate) {
            if (Gate) Gate->FOpen = true;
        }
        ~THold() {
            if (Gate) Gate->FOpen = false;
        }
    } hold(FGate.get());
    const UINT icon = outcome.Notice || outcome.Succeeded() ? MB_ICONINFORMATION : MB_ICONERROR;
    const std::wstring title = Translate(Application ? Application->Title() : std::wstring());
    MessageBoxW(Application ? Application->Handle() : nullptr, ToldText(outcome).c_str(), title.c_str(),
                MB_TOPMOST | MB_SETFOREGROUND | icon);
}

TScriptReporter::TScriptReporter(std::shared_ptr<TReplySender> sender, HWND replyTo, HWND from, std::wstring token,
                                 bool mayReadData)
    : FSender(std::move(sender)), FReplyTo(replyTo), FFrom(from), FToken(std::move(token)), FMayReadData(mayReadData) {}

void TScriptReporter::Report(const TCaptureOutcome& outcome) {
    RecordFailure(outcome, L"script's request");
    RemoteReply reply;
    reply.ok = outcome.Succeeded();
    if (FMayReadData) {
        reply.text = reply.ok ? outcome.Path : ScriptText(outcome);
        if (reply.ok) reply.notice = ToldText(outcome);
    } else if (!reply.ok) {
        TCaptureOutcome bare = outcome;
        bare.Message.clear();
        bare.Detail.clear();
        reply.text = ScriptText(bare);
    }
    reply.token = FToken;
    FSender->Send(FReplyTo, FFrom, ReplyParts(reply));
}

std::wstring ToldText(const TCaptureOutcome& outcome) {
    const std::wstring fixed = Translate(outcome.Message);
    if (outcome.Detail.empty()) return fixed;
    return fixed.empty() ? outcome.Detail : fixed + L"\r\r" + outcome.Detail;
}

std::wstring ScriptText(const TCaptureOutcome& outcome) {
    if (!outcome.Message.empty() || !outcome.Detail.empty()) return ToldText(outcome);
    switch (outcome.Kind) {
    case TCaptureOutcome::TKind::Busy:
        return L"busy: another capture, recording or text recognition is in progress.";
    case TCaptureOutcome::TKind::Cancelled:
        return L"cancelled";
    default:
        return L"The capture failed.";
    }
}

}  // namespace tovasen
