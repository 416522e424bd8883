#include "app/history_link.h"

#include <utility>

#include "base/exception_text.h"
#include "editor/editor_entry.h"
#include "history/history_format.h"

namespace tovasen {
namespace {

TCaptureOutcome NoHistory() { return TCaptureOutcome::Failure(L"The capture history is not available."); }

}  // namespace

THistoryLink::THistoryLink(TForm& owner, TFloatList& floats, std::function<void(const std::wstring&)> tell)
    : FOwner(owner), FFloats(floats), FTell(std::move(tell)) {
    FFloats.OnEdit = [this](TFrmFloating& floating) {
        TFrmEditor& editor = EditFloating(floating);
        const THistory::TEntryRef entry = FHistory ? FHistory->EntryOfWindow(&floating) : nullptr;
        if (!entry) return;
        // What the window shows now is what its entry keeps: thumbnail and copy follow.
        editor.OnDone = [this, entry, putBack = std::move(editor.OnDone)](TEditedPicture& picture) {
            if (putBack) putBack(picture);
            if (FHistory) FHistory->PictureEdited(entry, picture.Flat());
        };
    };
}

void THistoryLink::Open() {
    try {
        FHistory = std::make_unique<THistory>();
    } catch (...) {
        FTell(ExceptionText(std::current_exception()));
        return;
    }
    FHistory->FloatList = &FFloats;
    FHistory->OnEdit = [this](const std::wstring& path) {
        try {
            FollowEdit(EditFile(path, [](bool) {}, &FOwner));
        } catch (...) {
            FTell(ExceptionText(std::current_exception()));
        }
    };
}

THistoryLink::~THistoryLink() { FFloats.OnEdit = nullptr; }

void THistoryLink::Record(const TFinishedCapture& capture) {
    const TCaptureOutcome& outcome = capture.Outcome;
    // A recording is recorded once, with its finished file; its start, pauses and resumptions
    // are not captures.
    using Kind = TCaptureOutcome::TKind;
    const bool delivered = outcome.Kind == Kind::FileWritten || outcome.Kind == Kind::TextWritten ||
                           outcome.Kind == Kind::NothingToWrite || outcome.Kind == Kind::Uploaded;
    if (!FHistory || !delivered) return;
    THistoryOutcome entry;
    entry.Mode = capture.Mode;
    entry.Target = capture.Target;
    entry.Window = capture.Window;
    const bool wroteFile = outcome.Kind == Kind::FileWritten || outcome.Kind == Kind::TextWritten;
    if (wroteFile) entry.File = outcome.Path;
    // A picture target writes its file from the picture, which the history then needs only for
    // the thumbnail; without a file, the history keeps a copy of it.
    THistory::TEntryRef stored = FHistory->Record(entry, capture.Picture);
    // The floating window just made shows this capture; an edit there reaches its entry.
    if (capture.Target == TSaveTarget::Floating && FFloats.Count() > 0) {
        FHistory->LinkWindow(FFloats[FFloats.Count() - 1], std::move(stored));
    }
}

void THistoryLink::FollowEdit(TFrmEditor& editor) {
    if (!FHistory) return;
    std::function<void(bool)> follow = FHistory->FollowFileEdit(editor.FilePath);
    // The history hears first, so that a script told "saved" finds the entry's work queued.
    editor.OnClosed = [follow = std::move(follow), told = std::move(editor.OnClosed)](bool saved) {
        follow(saved);
        if (told) told(saved);
    };
}

void THistoryLink::ClearForScript(const std::shared_ptr<TOutcomeReporter>& reporter) {
    if (!FHistory) {
        reporter->Report(NoHistory());
        return;
    }
    FHistory->Clear([reporter](std::size_t cleared, const std::wstring& error) {
        reporter->Report(error.empty()
                             ? TCaptureOutcome::Written(TCaptureOutcome::TKind::NothingToWrite, std::to_wstring(cleared))
                             : TCaptureOutcome::Failure(error));
    });
}

void THistoryLink::ListForScript(const std::shared_ptr<TOutcomeReporter>& reporter, std::size_t limit) {
    if (!FHistory) {
        reporter->Report(NoHistory());
        return;
    }
    std::wstring lines;
    for (const THistoryEntry& entry : FHistory->Recent(limit)) lines += HistoryLine(entry) + L"\n";
    reporter->Report(TCaptureOutcome::Written(TCaptureOutcome::TKind::NothingToWrite, lines));
}

}  // namespace tovasen
