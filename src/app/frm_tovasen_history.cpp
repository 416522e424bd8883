// The capture history as the main window wires it: made at start-up, fed by every finished
// capture, reached through the tray menu and the floating windows' "edit".
#include <windows.h>

#include "app/frm_tovasen.h"
#include "base/exception_text.h"
#include "editor/editor_entry.h"
#include "history/history.h"
#include "history/history_format.h"
#include "output/float_list.h"

namespace tovasen {
namespace {

constexpr std::size_t kRecentCount = 10;

}  // namespace

void TFrmTovasen::CreateHistory() {
    FloatList->OnEdit = [](TFrmFloating& floating) { EditFloating(floating); };
    try {
        History = std::make_unique<THistory>();
    } catch (...) {
        // Captures never depend on their history: without one they go on, and the user hears why.
        ShowMessage(ExceptionText(std::current_exception()), kErrorFlags);
        return;
    }
    History->FloatList = FloatList.get();
    History->OnEdit = [this](const std::wstring& path) {
        try {
            EditFile(path, [](bool) {}, this);
        } catch (...) {
            ShowMessage(ExceptionText(std::current_exception()), kErrorFlags);
        }
    };
    Controller->OnFinished = [this](const TFinishedCapture& capture) { RecordInHistory(capture); };
}

void TFrmTovasen::RecordInHistory(const TFinishedCapture& capture) {
    const TCaptureOutcome& outcome = capture.Outcome;
    // A recording is recorded once, with its finished file; its start, pauses and resumptions
    // are not captures.
    using Kind = TCaptureOutcome::TKind;
    const bool delivered = outcome.Kind == Kind::FileWritten || outcome.Kind == Kind::TextWritten ||
                           outcome.Kind == Kind::NothingToWrite || outcome.Kind == Kind::Uploaded;
    if (!History || !delivered) return;
    THistoryOutcome entry;
    entry.Mode = capture.Mode;
    entry.Target = capture.Target;
    entry.Window = capture.Window;
    const bool wroteFile = outcome.Kind == Kind::FileWritten || outcome.Kind == Kind::TextWritten;
    if (wroteFile) entry.File = outcome.Path;
    // A picture target writes its file from the picture, which the history then needs only for
    // the thumbnail; without a file, the history keeps a copy of it.
    History->Record(entry, capture.Picture);
}

void TFrmTovasen::RefreshHistoryItems() {
    const bool available = History != nullptr;
    PopHistory->Enabled = available;
    ChkKeepHistory->Enabled = available;
    ChkKeepHistory->Checked = available && History->Keep();
    PopClearHistory->Enabled = available;
    PopRecent->DestroyComponents();
    const std::vector<THistoryEntry> recent = available ? History->Recent(kRecentCount) : std::vector<THistoryEntry>{};
    PopRecent->Enabled = !recent.empty();
    for (const THistoryEntry& entry : recent) {
        new TMenuItem(PopRecent, L"PopRecent" + std::to_wstring(entry.Id), RecentMenuCaption(entry),
                      [this, id = entry.Id](TMenuItem&) {
                          if (History) History->OpenEntry(id);
                      });
    }
}

}  // namespace tovasen
