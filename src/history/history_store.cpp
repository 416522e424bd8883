#include "history/history_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <system_error>

#include "history/file_path.h"
#include "history/history_format.h"

namespace tovasen {
namespace {

namespace fs = std::filesystem;

constexpr char kSchema[] = R"(
CREATE TABLE IF NOT EXISTS entries(
    id INTEGER PRIMARY KEY,
    time_utc_ms INTEGER NOT NULL,
    utc_offset_min INTEGER NOT NULL,
    mode TEXT NOT NULL,
    target TEXT NOT NULL,
    path TEXT NOT NULL,
    is_copy INTEGER NOT NULL,
    width INTEGER NOT NULL,
    height INTEGER NOT NULL,
    file_bytes INTEGER NOT NULL,
    window_title TEXT NOT NULL,
    process_name TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS entries_by_time ON entries(time_utc_ms, id);
CREATE TABLE IF NOT EXISTS thumbnails(
    entry_id INTEGER PRIMARY KEY REFERENCES entries(id) ON DELETE CASCADE,
    jpeg BLOB NOT NULL);
PRAGMA user_version = 1;
)";

#define ENTRY_COLUMNS \
    "id, time_utc_ms, utc_offset_min, mode, target, path, is_copy, width, height, file_bytes, window_title, process_name"
#define NEWEST_FIRST " ORDER BY time_utc_ms DESC, id DESC"

THistoryEntry ReadEntry(const TStatement& row) {
    THistoryEntry entry;
    entry.Id = row.Int(0);
    entry.TimeUtcMs = row.Int(1);
    entry.UtcOffsetMinutes = static_cast<int>(row.Int(2));
    entry.Mode = row.Text(3);
    entry.Target = row.Text(4);
    entry.Path = row.Text(5);
    entry.IsCopy = row.Int(6) != 0;
    entry.Width = static_cast<int>(row.Int(7));
    entry.Height = static_cast<int>(row.Int(8));
    entry.FileBytes = row.Int(9);
    entry.WindowTitle = row.Text(10);
    entry.ProcessName = row.Text(11);
    return entry;
}

// A name no earlier set-aside has: the time to the second and a counter for this run.
std::wstring AsideStamp() {
    static std::atomic<int> counter{0};
    const std::int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::system_clock::now().time_since_epoch())
                                .count();
    std::wstring stamp = DisplayTime(ms, 0);  // "2024-03-09 14:05:07" becomes "20240309-140507"
    std::erase(stamp, L':');
    std::erase(stamp, L'-');
    for (wchar_t& c : stamp) {
        if (c == L' ') c = L'-';
    }
    return stamp + L"-" + std::to_wstring(++counter);
}

bool MoveFile(const std::wstring& from, const std::wstring& to) {
    std::error_code error;
    fs::rename(FsPath(from), FsPath(to), error);
    return !error;
}

void RemoveFile(const std::wstring& path) {
    std::error_code error;
    fs::remove(FsPath(path), error);
}

bool Exists(const std::wstring& path) {
    std::error_code error;
    return fs::exists(FsPath(path), error);
}

std::wstring FoldedPath(const fs::path& path) {
    std::wstring text = WidePath(path.lexically_normal());
    for (wchar_t& c : text) c = FoldCase(c == L'\\' ? L'/' : c);
    while (!text.empty() && text.back() == L'/') text.pop_back();
    return text;
}

}  // namespace

THistoryStore::THistoryStore(std::wstring folder, int busyTimeoutMs)
    : FFolder(std::move(folder)), FBusyTimeoutMs(busyTimeoutMs), FDatabase(PathIn(FFolder, kDatabaseName)) {}

THistoryStore::~THistoryStore() = default;

std::wstring THistoryStore::CopyFolder() const {
    return WidePath(FsPath(PathIn(FFolder, kCopyFolderName)) / fs::path());
}

void THistoryStore::SetOnSetAside(TSetAsideHandler handler) {
    std::lock_guard lock(FLock);
    FOnSetAside = std::move(handler);
}

std::wstring THistoryStore::DatabasePath() {
    std::lock_guard lock(FLock);
    return FDatabase;
}

template <class Body>
auto THistoryStore::Locked(Body&& body) -> decltype(body()) {
    // The notice of a set-aside runs once the lock is given back, so it may call the store.
    std::function<void()> notice;
    struct TAfterUnlock {
        std::function<void()>& Notice;
        ~TAfterUnlock() {
            try {
                if (Notice) Notice();
            } catch (...) {
            }
        }
    } afterUnlock{notice};
    std::lock_guard lock(FLock);
    try {
        OpenLocked();
        return body();
    } catch (const ESqlite& error) {
        if (!error.Unusable()) throw;
        SetAsideLocked(error.Message(), notice);
    }
    OpenLocked();
    return body();
}

void THistoryStore::OpenLocked() {
    if (FDb) return;
    std::error_code ignored;
    fs::create_directories(FsPath(CopyFolder()), ignored);
    TSqliteDb db(Utf8Path(FDatabase), FBusyTimeoutMs);
    db.Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;");
    try {
        // A database of the same name with tables of another shape is not ours to use.
        db.Exec(kSchema);
        TStatement(db, "SELECT " ENTRY_COLUMNS " FROM entries LIMIT 0").Run();
        TStatement(db, "SELECT entry_id, jpeg FROM thumbnails LIMIT 0").Run();
    } catch (const ESqlite& error) {
        if (error.Unusable()) throw;
        throw ESqlite(SQLITE_CORRUPT, L"The history database has tables of another kind. " + error.Message());
    }
    FDb = std::move(db);
    if (FDatabase == PathIn(FFolder, kDatabaseName)) MergeOverflowLocked();
}

void THistoryStore::SetAsideLocked(const std::wstring& reason, std::function<void()>& notice) {
    FDb.Close();
    const std::wstring file = FDatabase;
    const std::wstring stamp = AsideStamp();
    std::wstring asideAs = file + L"." + stamp + L".aside";
    if (MoveFile(file, asideAs)) {
        // The log holds committed rows that belong with the file; the index is rebuilt.
        if (Exists(file + L"-wal")) MoveFile(file + L"-wal", asideAs + L"-wal");
        RemoveFile(file + L"-shm");
        if (FDatabase != PathIn(FFolder, kDatabaseName)) FDatabase = PathIn(FFolder, L"history-" + stamp + L".db");
    } else {
        // Held open by another program: the history goes on in a file of its own, merged
        // back into the main one at a later start when that one can be used again.
        asideAs.clear();
        FDatabase = PathIn(FFolder, L"history-" + stamp + L".db");
    }
    if (FOnSetAside) notice = [callback = FOnSetAside, file, asideAs, reason] { callback(file, asideAs, reason); };
}

void THistoryStore::MergeOverflowLocked() {
    std::vector<std::wstring> overflow;
    std::error_code listing;
    for (fs::directory_iterator it(FsPath(FFolder), listing), end; !listing && it != end; it.increment(listing)) {
        const std::wstring name = WidePath(it->path().filename());
        if (name.size() > 11 && name.rfind(L"history-", 0) == 0 && name.substr(name.size() - 3) == L".db") {
            overflow.push_back(WidePath(it->path()));
        }
    }
    for (const std::wstring& file : overflow) {
        int failure = SQLITE_OK;
        try {
            TStatement(FDb, "ATTACH DATABASE ? AS overflow").Bind(1, file).Run();
            try {
                TTransaction transaction(FDb);
                TStatement last(FDb, "SELECT coalesce(max(id), 0) FROM main.entries");
                last.Step();
                const std::int64_t offset = last.Int(0);
                TStatement(FDb, "INSERT INTO main.entries(" ENTRY_COLUMNS ") SELECT id + ?1, time_utc_ms, "
                                "utc_offset_min, mode, target, path, is_copy, width, height, file_bytes, "
                                "window_title, process_name FROM overflow.entries")
                    .Bind(1, offset)
                    .Run();
                TStatement(FDb, "INSERT INTO main.thumbnails(entry_id, jpeg) SELECT entry_id + ?1, jpeg "
                                "FROM overflow.thumbnails WHERE entry_id IN (SELECT id FROM overflow.entries)")
                    .Bind(1, offset)
                    .Run();
                transaction.Commit();
            } catch (const ESqlite& error) {
                failure = error.Code();
            }
            FDb.Exec("DETACH DATABASE overflow");
        } catch (const ESqlite& error) {
            if (failure == SQLITE_OK) failure = error.Code();
        }
        if (failure == SQLITE_OK) {
            RemoveFile(file);
            RemoveFile(file + L"-wal");
            RemoveFile(file + L"-shm");
        } else if (failure == SQLITE_CORRUPT || failure == SQLITE_NOTADB || failure == SQLITE_ERROR) {
            // Unreadable on its own (not merely busy): kept for the user, out of the way.
            MoveFile(file, file + L"." + AsideStamp() + L".aside");
        }
    }
}

bool THistoryStore::Open() {
    try {
        Locked([] { return 0; });
        return true;
    } catch (const ESqlite&) {
        return false;
    }
}

std::int64_t THistoryStore::Add(const THistoryEntry& entry, const std::vector<std::uint8_t>& thumbnail) {
    return Locked([&] {
        TTransaction transaction(FDb);
        TStatement insert(FDb, "INSERT INTO entries(time_utc_ms, utc_offset_min, mode, target, path, is_copy, width, "
                               "height, file_bytes, window_title, process_name) VALUES(?,?,?,?,?,?,?,?,?,?,?)");
        insert.Bind(1, entry.TimeUtcMs)
            .Bind(2, std::int64_t{entry.UtcOffsetMinutes})
            .Bind(3, entry.Mode)
            .Bind(4, entry.Target)
            .Bind(5, entry.Path)
            .Bind(6, std::int64_t{entry.IsCopy ? 1 : 0})
            .Bind(7, std::int64_t{entry.Width})
            .Bind(8, std::int64_t{entry.Height})
            .Bind(9, entry.FileBytes)
            .Bind(10, entry.WindowTitle)
            .Bind(11, entry.ProcessName)
            .Run();
        const std::int64_t id = FDb.LastInsertId();
        if (!thumbnail.empty()) {
            TStatement(FDb, "INSERT INTO thumbnails(entry_id, jpeg) VALUES(?, ?)").Bind(1, id).Bind(2, thumbnail).Run();
        }
        transaction.Commit();
        return id;
    });
}

std::vector<THistoryEntry> THistoryStore::Recent(std::size_t limit) {
    return Locked([&] {
        std::vector<THistoryEntry> entries;
        TStatement query(FDb, "SELECT " ENTRY_COLUMNS " FROM entries" NEWEST_FIRST " LIMIT ?");
        query.Bind(1, static_cast<std::int64_t>(std::min<std::size_t>(limit, INT64_MAX)));
        while (query.Step()) entries.push_back(ReadEntry(query));
        return entries;
    });
}

std::vector<THistoryEntry> THistoryStore::Older(const THistoryEntry& after, std::size_t limit) {
    return Locked([&] {
        std::vector<THistoryEntry> entries;
        TStatement query(FDb, "SELECT " ENTRY_COLUMNS " FROM entries WHERE (time_utc_ms, id) < (?, ?)" NEWEST_FIRST
                              " LIMIT ?");
        query.Bind(1, after.TimeUtcMs).Bind(2, after.Id);
        query.Bind(3, static_cast<std::int64_t>(std::min<std::size_t>(limit, INT64_MAX)));
        while (query.Step()) entries.push_back(ReadEntry(query));
        return entries;
    });
}

std::optional<THistoryEntry> THistoryStore::Find(std::int64_t id) {
    return Locked([&]() -> std::optional<THistoryEntry> {
        TStatement query(FDb, "SELECT " ENTRY_COLUMNS " FROM entries WHERE id = ?");
        query.Bind(1, id);
        if (!query.Step()) return std::nullopt;
        return ReadEntry(query);
    });
}

std::vector<std::uint8_t> THistoryStore::Thumbnail(std::int64_t id) {
    return Locked([&] {
        TStatement query(FDb, "SELECT jpeg FROM thumbnails WHERE entry_id = ?");
        query.Bind(1, id);
        return query.Step() ? query.Blob(0) : std::vector<std::uint8_t>();
    });
}

std::vector<THistoryEntry> THistoryStore::RemoveLocked(const std::vector<std::int64_t>& ids) {
    std::vector<THistoryEntry> removed;
    if (ids.empty()) return removed;
    TTransaction transaction(FDb);
    TStatement find(FDb, "SELECT " ENTRY_COLUMNS " FROM entries WHERE id = ?");
    TStatement dropThumbnail(FDb, "DELETE FROM thumbnails WHERE entry_id = ?");
    TStatement drop(FDb, "DELETE FROM entries WHERE id = ?");
    for (std::int64_t id : ids) {
        find.Bind(1, id);
        if (find.Step()) removed.push_back(ReadEntry(find));
        find.Reset();
        dropThumbnail.Bind(1, id).Run();
        dropThumbnail.Reset();
        drop.Bind(1, id).Run();
        drop.Reset();
    }
    transaction.Commit();
    return removed;
}

std::optional<THistoryEntry> THistoryStore::Remove(std::int64_t id) {
    return Locked([&]() -> std::optional<THistoryEntry> {
        std::vector<THistoryEntry> removed = RemoveLocked({id});
        if (removed.empty()) return std::nullopt;
        return std::move(removed.front());
    });
}

std::vector<THistoryEntry> THistoryStore::Prune(const THistoryLimits& limits) {
    return Locked([&] {
        std::vector<std::int64_t> ids;
        TStatement beyond(FDb, "SELECT id, is_copy, file_bytes FROM entries" NEWEST_FIRST " LIMIT -1 OFFSET ?");
        beyond.Bind(1, static_cast<std::int64_t>(std::min<std::size_t>(limits.MaxEntries, INT64_MAX)));
        std::int64_t freed = 0;
        while (beyond.Step()) {
            ids.push_back(beyond.Int(0));
            if (beyond.Int(1)) freed += beyond.Int(2);
        }
        TStatement total(FDb, "SELECT coalesce(sum(file_bytes), 0) FROM entries WHERE is_copy = 1");
        total.Step();
        std::int64_t bytes = total.Int(0) - freed;
        if (bytes > limits.MaxCopyBytes) {
            TStatement oldest(FDb, "SELECT id, file_bytes FROM entries WHERE is_copy = 1"
                                   " ORDER BY time_utc_ms ASC, id ASC LIMIT -1 OFFSET 0");
            const std::size_t counted = ids.size();
            while (bytes > limits.MaxCopyBytes && oldest.Step()) {
                const std::int64_t id = oldest.Int(0);
                if (std::find(ids.begin(), ids.begin() + static_cast<std::ptrdiff_t>(counted), id) !=
                    ids.begin() + static_cast<std::ptrdiff_t>(counted)) {
                    continue;  // already beyond the count
                }
                ids.push_back(id);
                bytes -= oldest.Int(1);
            }
        }
        return RemoveLocked(ids);
    });
}

std::vector<THistoryEntry> THistoryStore::Clear() {
    return Prune(THistoryLimits{0, 0});
}

std::size_t THistoryStore::Count() {
    return Locked([&] {
        TStatement query(FDb, "SELECT count(*) FROM entries");
        query.Step();
        return static_cast<std::size_t>(query.Int(0));
    });
}

std::int64_t THistoryStore::CopyBytes() {
    return Locked([&] {
        TStatement query(FDb, "SELECT coalesce(sum(file_bytes), 0) FROM entries WHERE is_copy = 1");
        query.Step();
        return query.Int(0);
    });
}

bool THistoryStore::IsOwnCopy(const std::wstring& path) const {
    if (path.empty()) return false;
    const fs::path file = FsPath(path).lexically_normal();
    return file.has_filename() && FoldedPath(file.parent_path()) == FoldedPath(FsPath(CopyFolder()));
}

void THistoryStore::DeleteCopies(const std::vector<THistoryEntry>& entries) const {
    for (const THistoryEntry& entry : entries) {
        if (entry.IsCopy && IsOwnCopy(entry.Path)) RemoveFile(entry.Path);
    }
}

}  // namespace tovasen
