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
    FloatList->OnEdit = [this](TFrmFloating& floating) {
        TFrmEditor& editor = EditFloating(floating);
        const THistory::TEntryRef entry = History ? History->EntryOfWindow(&floating) : nullptr;
        if (!entry) return;
        // What the window shows now is what its entry keeps: thumbnail and copy follow.
        editor.OnDone = [this, entry, putBack = std::move(editor.OnDone)](TEditedPicture& picture) {
            if (putBack) putBack(picture);
            if (History) History->PictureEdited(entry, picture.Flat());
        };
    };
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
            FollowEditInHistory(EditFile(path, [](bool) {}, this));
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
    THistory::TEntryRef stored = History->Record(entry, capture.Picture);
    // The floating window just made shows this capture; an edit there reaches its entry.
    if (capture.Target == stFloating && FloatList && FloatList->Count() > 0) {
        History->LinkWindow((*FloatList)[FloatList->Count() - 1], std::move(stored));
    }
}

void TFrmTovasen::FollowEditInHistory(TFrmEditor& editor) {
    if (!History) return;
    std::function<void(bool)> follow = History->FollowFileEdit(editor.FilePath);
    // The history hears first, so that a script told "saved" finds the entry's work queued.
    editor.OnClosed = [follow = std::move(follow), told = std::move(editor.OnClosed)](bool saved) {
        follow(saved);
        if (told) told(saved);
    };
}

void TFrmTovasen::ClearHistoryForScript(const std::shared_ptr<TOutcomeReporter>& reporter) {
    if (!History) {
        reporter->Report(TCaptureOutcome::Failure(L"The capture history is not available."));
        return;
    }
    History->Clear([reporter](std::size_t cleared, const std::wstring& error) {
        reporter->Report(error.empty()
                             ? TCaptureOutcome::Written(TCaptureOutcome::TKind::NothingToWrite, std::to_wstring(cleared))
                             : TCaptureOutcome::Failure(error));
    });
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
