#include "history/history_writer.h"

#include <chrono>
#include <filesystem>
#include <system_error>
#include <utility>

#include "base/exception_text.h"
#include "base/log_event.h"
#include "history/file_eraser.h"
#include "history/file_path.h"
#include "history/history_format.h"
#include "encode/png_encoder.h"

namespace tovasen {
namespace {

namespace fs = std::filesystem;

// Writes bytes under a temporary name beside path (".tmp": erased at the next start if left).
std::wstring WriteTemporary(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    const std::wstring temporary = path + L".tmp";
    if (!WriteFlushedFile(temporary, bytes)) throw Exception(L"The history copy could not be written: " + path);
    return temporary;
}

void MoveInto(const std::wstring& temporary, const std::wstring& path) {
    std::error_code error;
    fs::rename(FsPath(temporary), FsPath(path), error);
    if (error) {
        EraseFile(temporary);
        throw Exception(L"The history copy could not be written: " + path);
    }
}

// Writes bytes under a temporary name and moves them into place, so a copy is whole or absent.
void WriteWhole(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    MoveInto(WriteTemporary(path, bytes), path);
}

// The copy at path becomes bytes; what it held before is erased, not only replaced (a rename
// over it would leave the old bytes in the free space of the disk).
void ReplaceCopy(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    const std::wstring temporary = WriteTemporary(path, bytes);
    if (!EraseFile(path)) {
        EraseFile(temporary);
        throw Exception(L"The history copy could not be replaced: " + path);
    }
    MoveInto(temporary, path);
}

// A path in folder that names no file yet.
std::wstring FreePath(const std::wstring& folder, const std::wstring& name) {
    const std::size_t dot = name.rfind(L'.');
    const std::wstring stem = name.substr(0, dot), extension = name.substr(dot);
    std::wstring path = PathIn(folder, name);
    std::error_code error;
    for (int n = 2; fs::exists(FsPath(path), error); ++n) path = PathIn(folder, stem + L"-" + std::to_wstring(n) + extension);
    return path;
}


}  // namespace

struct THistoryWriter::TState {
    std::shared_ptr<THistoryStore> Store;
    std::mutex Lock;
    // A plain condition: Stop wakes the thread through Stopping. (A wait that also takes the stop
    // token registers a stop callback, whose removal can wait for ever on this compiler's
    // semaphore when the stop comes at that moment.)
    std::condition_variable Changed;
    std::deque<std::function<void(TState&)>> Tasks;
    bool Running = false;  // a task is being worked on
    bool Stopping = false;
    THistoryLimits Limits;
    std::shared_ptr<TPixelPool> Pool;

    // Held while an event runs, and by Stop while it takes them away.
    std::mutex EventLock;
    THistoryWriterEvents Events;

    template <class Fn, class... Args>
    void Call(Fn THistoryWriterEvents::*event, Args&&... args) {
        std::lock_guard guard(EventLock);
        if (const Fn& callback = Events.*event) {
            try {
                callback(std::forward<Args>(args)...);
            } catch (...) {
                LogCaught(L"history-writer", std::current_exception());
            }
        }
    }
};

THistoryWriter::THistoryWriter(std::shared_ptr<THistoryStore> store, THistoryLimits limits, THistoryWriterEvents events,
                               std::shared_ptr<TPixelPool> pool)
    : FState(std::make_shared<TState>()) {
    FState->Pool = std::move(pool);
    FState->Store = std::move(store);
    FState->Limits = limits;
    FState->Events = std::move(events);
    // The first task opens the database, so a damaged one is set aside before any capture.
    FState->Tasks.push_back([](TState& state) {
        if (state.Store->Open()) state.Store->SweepCopies();
    });
    FWorker.Start([state = FState](const std::stop_token& stop) { Run(state, stop); });
}

THistoryWriter::~THistoryWriter() { Stop(kExitWaitMs); }

void THistoryWriter::Push(std::function<void(TState&)> task) {
    {
        std::lock_guard guard(FState->Lock);
        if (FState->Stopping) return;
        FState->Tasks.push_back(std::move(task));
    }
    FState->Changed.notify_all();
}

void THistoryWriter::Submit(THistoryRecord record, std::shared_ptr<std::int64_t> storedId) {
    auto shared = std::make_shared<THistoryRecord>(std::move(record));
    Push([shared, storedId](TState& state) { Store(state, *shared, storedId.get()); });
}

void THistoryWriter::ClearAll(TClearDone done) {
    Push([done = std::move(done)](TState& state) {
        std::size_t cleared = 0;
        try {
            cleared = state.Store->Clear().size();
        } catch (...) {
            if (!done) throw;  // to the user, through OnFailed
            done(0, ExceptionText(std::current_exception()));  // to whoever asked instead, never both
            return;
        }
        if (done) done(cleared, {});
        state.Call(&THistoryWriterEvents::OnCleared);
    });
}

void THistoryWriter::Edited(THistoryEdit edit) {
    auto shared = std::make_shared<THistoryEdit>(std::move(edit));
    Push([shared](TState& state) { ApplyEdit(state, *shared); });
}

void THistoryWriter::SetLimits(const THistoryLimits& limits) {
    Push([limits](TState& state) {
        {
            std::lock_guard guard(state.Lock);
            state.Limits = limits;
        }
        state.Store->DeleteCopies(state.Store->Prune(limits));
    });
}

bool THistoryWriter::WaitIdle(int timeoutMs) {
    std::unique_lock guard(FState->Lock);
    return FState->Changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                    [&] { return FState->Tasks.empty() && !FState->Running; });
}

void THistoryWriter::Stop(int timeoutMs) {
    if (std::exchange(FStopped, true)) return;
    {
        std::unique_lock guard(FState->Lock);
        FState->Stopping = true;
        FState->Changed.notify_all();
        FState->Changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                 [&] { return FState->Tasks.empty() && !FState->Running; });
    }
    {
        std::lock_guard events(FState->EventLock);
        FState->Events = {};
    }
    // Idle, the thread is ending on its own. Otherwise it finishes the task in hand, one
    // picture's encoding and row, which bounds this wait, and drops the rest: each copy is whole
    // or absent and each row written or not, as when the process ends meanwhile.
    FWorker.StopAll();
}

void THistoryWriter::Run(const std::shared_ptr<TState>& state, const std::stop_token& stop) {
    for (;;) {
        std::function<void(TState&)> task;
        {
            std::unique_lock guard(state->Lock);
            state->Running = false;
            state->Changed.notify_all();
            const auto ready = [&] { return !state->Tasks.empty() || state->Stopping; };
            if (state->Pool && !state->Changed.wait_for(guard, state->Pool->KeepFor, ready)) {
                state->Pool->Clear();  // captures have stopped for a while
            }
            state->Changed.wait(guard, ready);
            if (state->Tasks.empty() || stop.stop_requested()) return;
            task = std::move(state->Tasks.front());
            state->Tasks.pop_front();
            state->Running = true;
        }
        try {
            task(*state);
        } catch (...) {
            state->Call(&THistoryWriterEvents::OnFailed, ExceptionText(std::current_exception()));
        }
    }
}

std::wstring THistoryWriter::CopyFileName(const THistoryEntry& entry) {
    std::wstring stamp = DisplayTime(entry.TimeUtcMs, entry.UtcOffsetMinutes);  // "2024-03-09 14:05:07"
    std::erase(stamp, L'-');
    std::erase(stamp, L':');
    for (wchar_t& c : stamp) {
        if (c == L' ') c = L'-';
    }
    std::wstring ms = std::to_wstring(((entry.TimeUtcMs % 1000) + 1000) % 1000);
    ms.insert(0, 3 - ms.size(), L'0');
    return stamp + L"-" + ms + L"-" + entry.Target + L".png";
}

void THistoryWriter::Store(TState& state, THistoryRecord& record, std::int64_t* storedId) {
    THistoryEntry& entry = record.Entry;
    std::vector<std::uint8_t> thumbnail;
    if (!record.Picture.Empty()) {
        const PixelView view = record.Picture.View();
        try {
            thumbnail = EncodeThumbnail(view);
        } catch (...) {
            state.Call(&THistoryWriterEvents::OnFailed, ExceptionText(std::current_exception()));
        }
        if (record.KeepCopy) {
            try {
                PngOptions options;
                options.threads = 1;  // in the background: leave the other cores to the user
                const std::vector<std::uint8_t> png = EncodePng(view, options);
                const std::wstring path = FreePath(state.Store->CopyFolder(), CopyFileName(entry));
                WriteWhole(path, png);
                entry.Path = path;
                entry.IsCopy = true;
                entry.FileBytes = static_cast<std::int64_t>(png.size());
            } catch (...) {
                // The entry is still kept, without its copy: the user learns why.
                state.Call(&THistoryWriterEvents::OnFailed, ExceptionText(std::current_exception()));
            }
        }
        // The picture is not needed any more: its memory serves the next capture.
        if (state.Pool) state.Pool->Give(std::move(record.Picture.Bytes));
        record.Picture = TPixels();
    }
    if (!entry.IsCopy && !entry.Path.empty() && entry.FileBytes == 0) {
        std::error_code error;
        const auto size = fs::file_size(FsPath(entry.Path), error);
        if (!error) entry.FileBytes = static_cast<std::int64_t>(size);
    }
    try {
        entry.Id = state.Store->Add(entry, thumbnail);
    } catch (...) {
        // A copy no row names would outlive every Clear: it goes with the failed entry.
        if (entry.IsCopy) EraseFile(entry.Path);
        throw;
    }
    if (storedId) *storedId = entry.Id;
    THistoryLimits limits;
    {
        std::lock_guard guard(state.Lock);
        limits = state.Limits;
    }
    state.Store->DeleteCopies(state.Store->Prune(limits));
    state.Call(&THistoryWriterEvents::OnStored, entry);
}

void THistoryWriter::ApplyEdit(TState& state, THistoryEdit& edit) {
    // The picture as it was goes whatever happens below: the user took something out of it.
    struct TEraseAfter {
        const std::wstring& Path;
        ~TEraseAfter() {
            if (!Path.empty()) EraseFile(Path);
        }
    } eraseAfter{edit.Superseded};
    std::vector<std::int64_t> ids;
    if (edit.Entry) {
        if (*edit.Entry != 0) ids.push_back(*edit.Entry);
    } else {
        ids = state.Store->FindByPath(edit.File);
        // A copy whose entry went meanwhile (cleared while the editor was open) is no one's.
        if (ids.empty() && state.Store->IsOwnCopy(edit.File)) EraseFile(edit.File);
    }
    // Without the picture as it is now (unreadable), an entry keeps no thumbnail rather than the
    // picture as it was.
    const bool known = !edit.Picture.Empty();
    const PixelView view = edit.Picture.View();
    const std::vector<std::uint8_t> thumbnail = known && !ids.empty() ? EncodeThumbnail(view) : std::vector<std::uint8_t>();
    for (const std::int64_t id : ids) {
        const std::optional<THistoryEntry> entry = state.Store->Find(id);
        if (!entry) continue;
        std::int64_t bytes = entry->FileBytes;
        if (known && edit.Entry && entry->IsCopy && state.Store->IsOwnCopy(entry->Path)) {
            PngOptions options;
            options.threads = 1;
            const std::vector<std::uint8_t> png = EncodePng(view, options);
            ReplaceCopy(entry->Path, png);
            bytes = static_cast<std::int64_t>(png.size());
        } else if (!edit.File.empty()) {
            std::error_code error;
            const auto size = fs::file_size(FsPath(entry->Path), error);
            if (!error) bytes = static_cast<std::int64_t>(size);
        }
        state.Store->UpdatePicture(id, thumbnail, known ? edit.Picture.Width : entry->Width,
                                   known ? edit.Picture.Height : entry->Height, bytes);
    }
    state.Call(&THistoryWriterEvents::OnEdited);
    if (state.Pool && known) state.Pool->Give(std::move(edit.Picture.Bytes));
}

}  // namespace tovasen
