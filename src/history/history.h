#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "history/history_settings.h"
#include "history/history_store.h"
#include "history/history_writer.h"
#include "history/pixel_pool.h"
#include "image/bitmap.h"

namespace tovasen {

class TFloatList;
class TFrmFloating;
class TFrmHistory;

// What the capture controller knows of one finished capture.
struct THistoryOutcome {
    TCaptureMode Mode = TCaptureMode::FullScreen;
    TSaveTarget Target = TSaveTarget::Png;
    std::wstring File;      // what the target wrote (picture, text, recording); empty for the
                            // clipboard, the printer, an upload or a floating window
    HWND Window = nullptr;  // the captured window; null: the foreground window of the moment
};

// What the history window does with a file outside the program; tests record instead.
struct THistoryShell {
    std::function<void(const std::wstring& path)> Open;          // the file's own program
    std::function<void(const std::wstring& path)> ShowInFolder;  // its folder, with it selected
};
THistoryShell SystemHistoryShell();

// The capture history as the main window owns it: one call per finished capture, the last
// entries for the "Recent" menu and "tovasen-cmd history", and the history window. Recording a
// capture costs its caller a copy of the pixels; the rest happens on the history's own thread.
// Lives on the user-interface thread; needs the application object for its notices.
class THistory {
public:
    // folder: where the database and the copies live; the settings say whether and how much.
    explicit THistory(std::wstring folder = DefaultHistoryFolder(), THistorySettings settings = StoredSettings());
    THistory(const THistory&) = delete;
    THistory& operator=(const THistory&) = delete;
    // Closes the window and lets the writer finish for up to THistoryWriter::kExitWaitMs.
    ~THistory();

    // %LOCALAPPDATA%\Tovasen.
    static std::wstring DefaultHistoryFolder();
    // The stored settings, read now.
    static THistorySettings StoredSettings();

    // Records one finished capture; picture is what was captured (null for a recording or when
    // there is none). Nothing is recorded while the history is off, nor for a capture with
    // neither a picture nor a file (a colour pick). Returns what names the entry once it is
    // stored (see PictureEdited); null when nothing is recorded.
    using TEntryRef = std::shared_ptr<const std::int64_t>;
    TEntryRef Record(const THistoryOutcome& outcome, TBitmap* picture);
    // The picture of a recorded capture was edited (a floating window's): its entry's thumbnail
    // and copy follow, and the picture as it was is erased from the history.
    void PictureEdited(const TEntryRef& entry, TBitmap& picture);
    // Called before the editor may write path: returns what the editor's close must call. A
    // saved edit becomes the thumbnail of every entry of the file; when the file is one of the
    // history's copies, its bytes before the edit are erased rather than left behind.
    std::function<void(bool saved)> FollowFileEdit(const std::wstring& path);
    // The entry a floating window was made for (its capture's), so that an edit in the window
    // reaches it; windows of FloatList that are gone are forgotten here.
    void LinkWindow(const TFrmFloating* window, TEntryRef entry);
    TEntryRef EntryOfWindow(const TFrmFloating* window) const;
    // The newest entries first, at most count of them; empty when the history cannot be read.
    std::vector<THistoryEntry> Recent(std::size_t count);
    // Opens the entry's file as the history window's "open" does.
    void OpenEntry(std::int64_t id);

    // "History…": shows the window, or brings it forward.
    void ShowWindow();
    TFrmHistory* Window() const noexcept { return FWindow; }

    // "Keep history": stored at once; off, nothing new is recorded (what is kept stays).
    bool Keep() const noexcept { return FSettings.Keep; }
    void SetKeep(bool keep);
    // "Clear history": asks first; true when the user agreed.
    bool ConfirmAndClear();
    // Clears without asking, after what is already queued; done (if any) hears on the
    // user-interface thread how many entries went, or why not (error not empty).
    void Clear(THistoryWriter::TClearDone done = {});

    // "Edit" in the history window; the entry is hidden while this is empty.
    std::function<void(const std::wstring& path)> OnEdit;
    // Where "pin" puts its floating window; the entry is hidden while this is null.
    TFloatList* FloatList = nullptr;
    THistoryShell Shell = SystemHistoryShell();
    // Shows a notice (a message box unless set): a history that had to be started afresh, or a
    // capture the history could not keep. Each kind at most once per run.
    std::function<void(const std::wstring& text)> OnNotice;

    THistoryStore& Store() noexcept { return *FStore; }
    std::shared_ptr<THistoryStore> SharedStore() const noexcept { return FStore; }
    // Waits until every recorded capture is stored (for tests and benchmarks).
    bool WaitIdle(int timeoutMs) { return FWriter->WaitIdle(timeoutMs); }

private:
    struct TShared;
    void Notice(const std::wstring& text);
    static void ReleaseEditLinks(const std::wstring& copyFolder);
    void EntryStored(const THistoryEntry& entry);

    THistorySettings FSettings;
    std::shared_ptr<THistoryStore> FStore;
    std::shared_ptr<TPixelPool> FPool = std::make_shared<TPixelPool>();
    std::shared_ptr<TShared> FShared;  // what the writer's thread may still reach once this is gone
    std::unique_ptr<THistoryWriter> FWriter;
    TFrmHistory* FWindow = nullptr;
    std::map<const TFrmFloating*, TEntryRef> FWindowEntries;
    bool FSetAsideNoticed = false;
    bool FFailureNoticed = false;
};

}  // namespace tovasen
