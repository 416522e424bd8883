#pragma once
// Writes the history behind the captures' backs: the capturing thread hands over an entry and,
// when there is one, its own copy of the picture; one worker thread encodes the thumbnail and
// the PNG copy, stores the row and applies the retention limits. Nothing a capture does ever
// waits on it, and exit waits on it only for a bounded time.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <stop_token>

#include "base/worker.h"
#include "history/history_entry.h"
#include "history/history_store.h"
#include "history/pixel_pool.h"
#include "history/thumbnail.h"

namespace tovasen {

// One finished capture as handed to the writer.
struct THistoryRecord {
    THistoryEntry Entry;
    TPixels Picture;        // empty for a recording, or a text capture without its picture
    bool KeepCopy = false;  // the target wrote no file: keep the picture as a PNG copy
};

// A kept picture that was edited since: its entries follow it, and the picture as it was is
// erased from the history.
struct THistoryEdit {
    // Whose picture: the entry a record became (a floating window's; its copy is written again
    // from Picture), or else every entry of File (which the editor has written already).
    std::shared_ptr<const std::int64_t> Entry;
    std::wstring File;
    TPixels Picture;  // as it is now
    // A name that still holds File's bytes as they were before the edit, and nothing else's:
    // erased once the entries follow.
    std::wstring Superseded;
};

// What the writer tells its owner. Each runs on the worker thread, never after Stop has
// returned: an entry stored (with its id and, for a copy, its path); the text of a record that
// could not be (fully) kept; the end of a ClearAll.
struct THistoryWriterEvents {
    std::function<void(const THistoryEntry& entry)> OnStored;
    std::function<void(const std::wstring& error)> OnFailed;
    std::function<void()> OnCleared;
    // Entries whose picture changed (an edit): their thumbnails are new.
    std::function<void()> OnEdited;
};

class THistoryWriter {
public:
    // A picture's buffer goes back to pool (when given) once it is encoded.
    THistoryWriter(std::shared_ptr<THistoryStore> store, THistoryLimits limits, THistoryWriterEvents events = {},
                   std::shared_ptr<TPixelPool> pool = nullptr);
    THistoryWriter(const THistoryWriter&) = delete;
    THistoryWriter& operator=(const THistoryWriter&) = delete;
    // Stop(kExitWaitMs).
    ~THistoryWriter();

    static constexpr int kExitWaitMs = 2000;

    // Queues a record; costs the caller a lock and a move, never an encode or a statement.
    // storedId, when given, is set to the entry's id once stored (read it only from tasks
    // queued later, such as Edited).
    void Submit(THistoryRecord record, std::shared_ptr<std::int64_t> storedId = nullptr);
    // Queued behind what was submitted before: every entry and copy goes. done hears how many
    // entries went, or why not (error not empty), on the worker thread before OnCleared.
    using TClearDone = std::function<void(std::size_t cleared, const std::wstring& error)>;
    void ClearAll(TClearDone done = {});
    // Queued behind what was submitted before, so an edit of a capture still being stored
    // finds its entry.
    void Edited(THistoryEdit edit);
    void SetLimits(const THistoryLimits& limits);

    // True once nothing is queued or running, within timeoutMs.
    bool WaitIdle(int timeoutMs);
    // Lets the queue run out for at most timeoutMs; then the record in hand is finished, with no
    // callback, and what is queued behind it is dropped, as an exit would drop it. Returns with
    // the thread ended: after timeoutMs and one record's encoding and row at most. Idempotent.
    void Stop(int timeoutMs);

    // The file name a copy of a capture at that moment gets (before any uniqueness suffix).
    static std::wstring CopyFileName(const THistoryEntry& entry);

private:
    struct TState;
    static void Run(const std::shared_ptr<TState>& state, const std::stop_token& stop);
    static void Store(TState& state, THistoryRecord& record, std::int64_t* storedId);
    static void ApplyEdit(TState& state, THistoryEdit& edit);
    void Push(std::function<void(TState&)> task);

    std::shared_ptr<TState> FState;
    bool FStopped = false;
    TWorker FWorker;
};

}  // namespace tovasen
