#include "history/history_writer.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "base/exception_text.h"
#include "history/file_path.h"
#include "history/history_format.h"
#include "output/png_encoder.h"

namespace tovasen {
namespace {

namespace fs = std::filesystem;

// Writes bytes under a temporary name and moves them into place, so a copy is whole or absent.
void WriteWhole(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    const fs::path target = FsPath(path);
    fs::path temporary = target;
    temporary += ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        file.close();
        if (!file) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            throw Exception(L"The history copy could not be written: " + path);
        }
    }
    std::error_code error;
    fs::rename(temporary, target, error);
    if (error) {
        fs::remove(temporary, error);
        throw Exception(L"The history copy could not be written: " + path);
    }
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

void RemoveStaleTemporaries(const std::wstring& folder) {
    std::error_code error;
    for (fs::directory_iterator it(FsPath(folder), error), end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        if (it->path().extension() == ".tmp") fs::remove(it->path(), ignored);
    }
}

}  // namespace

struct THistoryWriter::TState {
    std::shared_ptr<THistoryStore> Store;
    std::mutex Lock;
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
        state.Store->Open();
        RemoveStaleTemporaries(state.Store->CopyFolder());
    });
    FThread = std::thread(Run, FState);
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

void THistoryWriter::Submit(THistoryRecord record) {
    auto shared = std::make_shared<THistoryRecord>(std::move(record));
    Push([shared](TState& state) { Store(state, *shared); });
}

void THistoryWriter::ClearAll() {
    Push([](TState& state) {
        state.Store->DeleteCopies(state.Store->Clear());
        state.Call(&THistoryWriterEvents::OnCleared);
    });
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
    if (!FThread.joinable()) return;
    bool idle;
    {
        std::unique_lock guard(FState->Lock);
        FState->Stopping = true;
        FState->Changed.notify_all();
        idle = FState->Changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                        [&] { return FState->Tasks.empty() && !FState->Running; });
    }
    {
        std::lock_guard events(FState->EventLock);
        FState->Events = {};
    }
    if (idle) FThread.join();
    else FThread.detach();  // it keeps its own share of the state and the store
}

void THistoryWriter::Run(std::shared_ptr<TState> state) {
    for (;;) {
        std::function<void(TState&)> task;
        {
            std::unique_lock guard(state->Lock);
            state->Running = false;
            state->Changed.notify_all();
            state->Changed.wait(guard, [&] { return !state->Tasks.empty() || state->Stopping; });
            if (state->Tasks.empty()) return;
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

void THistoryWriter::Store(TState& state, THistoryRecord& record) {
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
    entry.Id = state.Store->Add(entry, thumbnail);
    THistoryLimits limits;
    {
        std::lock_guard guard(state.Lock);
        limits = state.Limits;
    }
    state.Store->DeleteCopies(state.Store->Prune(limits));
    state.Call(&THistoryWriterEvents::OnStored, entry);
}

}  // namespace tovasen
