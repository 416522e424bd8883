// Scripted captures: a WM_COPYDATA command that names a reply window hears how its capture
// ended, the written file's path or the error, in a WM_COPYDATA of its own.
#include <windows.h>

#include "app/copydata_command.h"
#include "app/frm_tovasen.h"

namespace tovasen {
namespace {

// A reply window that is hung or gone must not hold the controller for long.
constexpr UINT kReplyTimeoutMs = 5000;

void SendReply(HWND window, HWND from, const RemoteReply& reply) {
    if (!IsWindow(window)) return;
    const std::wstring json = RemoteReplyJson(reply);
    COPYDATASTRUCT data{};
    data.dwData = kReplyData;
    data.cbData = static_cast<DWORD>((json.size() + 1) * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(json.c_str());
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_COPYDATA, reinterpret_cast<WPARAM>(from), reinterpret_cast<LPARAM>(&data),
                        SMTO_ABORTIFHUNG, kReplyTimeoutMs, &ignored);
}

}  // namespace

void TFrmTovasen::CaptureAndReply(HWND replyTo) {
    // A second script's request may arrive while this capture shows a message: each keeps its
    // own outcome, and the one running now is the one that is filled in.
    TCaptureOutcome outcome;
    TCaptureOutcome* const outer = FOutcome;
    FOutcome = &outcome;
    try {
        Start();
    } catch (...) {
        FOutcome = outer;
        throw;
    }
    FOutcome = outer;
    if (outcome.Taken && outcome.Error.empty() && RtOcr && RtOcr->Busy()) {
        FTextReplyTo = replyTo;  // answered once the recognised text is written
        return;
    }
    SendCaptureReply(replyTo, outcome);
}

void TFrmTovasen::SendCaptureReply(HWND replyTo, const TCaptureOutcome& outcome) {
    RemoteReply reply;
    if (!outcome.Error.empty()) {
        reply = {false, outcome.Error};
    } else if (outcome.Taken) {
        reply = {true, outcome.File};
    } else {
        reply = {false, L"No capture was taken: another capture, recording or text recognition is in progress."};
    }
    SendReply(replyTo, Handle(), reply);
}

}  // namespace tovasen
