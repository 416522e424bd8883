#include "history/history_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <ctime>
#include <random>
#include <set>
#include <system_error>
#include <thread>

#include "base/log_event.h"
#include "history/file_eraser.h"
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
CREATE TABLE IF NOT EXISTS origin(id TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS merged(origin TEXT PRIMARY KEY);
)";

// 2: deleted rows are overwritten. A file of an earlier version may still hold rows deleted
// then: it is rebuilt once.
constexpr std::int64_t kSchemaVersion = 2;

// A transient failure (a lock held by another program, a file briefly unreadable) is tried
// again this many times, a moment apart, before the caller hears of it.
constexpr int kAttempts = 2;
constexpr std::chrono::milliseconds kRetryPause{150};
constexpr wchar_t kAsideSuffix[] = L".aside";

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
    // Rows stored before titles were capped, or merged from elsewhere, are read capped too.
    entry.WindowTitle = row.Text(10).substr(0, THistoryStore::kMaxStoredTitle);
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

bool EndsWith(const std::wstring& text, const std::wstring& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// An overflow database: "history-<stamp>.db".
bool IsOverflowName(const std::wstring& name) {
    return name.size() > 11 && name.rfind(L"history-", 0) == 0 && EndsWith(name, L".db");
}

// A name that identifies one database for good, whatever it is later renamed to.
std::wstring NewOrigin() {
    std::random_device random;
    std::mt19937_64 bits((static_cast<std::uint64_t>(random()) << 32) ^ random() ^
                         static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    return std::to_wstring(bits()) + L"-" + std::to_wstring(bits());
}

// A database set aside ("history.db.<stamp>.aside", "history-<stamp>.db.<stamp>.aside") or an
// overflow database.
bool IsOtherDatabaseName(const std::wstring& name) {
    return IsOverflowName(name) || (name.rfind(L"history", 0) == 0 && EndsWith(name, kAsideSuffix));
}

// For a set-aside or overflow database, or a file SQLite keeps beside one: that database's
// name. Empty for any other file.
std::wstring OtherDatabaseOf(const std::wstring& name) {
    std::wstring base = name;
    for (const wchar_t* suffix : {L"-wal", L"-shm", L"-journal"}) {
        if (EndsWith(base, suffix)) base.resize(base.size() - std::wcslen(suffix));
    }
    return IsOtherDatabaseName(base) ? base : std::wstring();
}

// The database file and the files SQLite keeps beside it, each erased.
void EraseDatabaseFiles(const std::wstring& file) {
    for (const wchar_t* suffix : {L"", L"-wal", L"-shm", L"-journal"}) EraseFile(file + suffix);
}

// The copies a database other than the one in use refers to; nothing when it cannot be read.
std::optional<std::vector<std::wstring>> CopiesNamedIn(const std::wstring& file) {
    try {
        std::vector<std::wstring> paths;
        TSqliteDb db(Utf8Path(file), 0, true);  // read only: a file set aside stays as it was
        TStatement query(db, "SELECT path FROM entries WHERE is_copy = 1");
        while (query.Step()) paths.push_back(query.Text(0));
        return paths;
    } catch (const ESqlite&) {
        LogCaught(L"history-store", std::current_exception());
        return std::nullopt;
    }
}

}  // namespace

THistoryStore::THistoryStore(std::wstring folder, int busyTimeoutMs)
    : FFolder(std::move(folder)), FBusyTimeoutMs(busyTimeoutMs), FDatabase(PathIn(FFolder, kDatabaseName)) {}

THistoryStore::~THistoryStore() = default;

std::wstring THistoryStore::EditStoreFolder() const { return PathIn(FFolder, kEditStoreFolderName); }

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
                LogCaught(L"history-store", std::current_exception());
            }
        }
    } afterUnlock{notice};
    std::lock_guard lock(FLock);
    // Right after the attempts failed, a call fails at once with the same error: the window
    // reads a thumbnail per cell, and each would otherwise wait out its own attempts.
    if (FLastFailure && std::chrono::steady_clock::now() < FFailedUntil) throw *FLastFailure;
    bool setAside = false;
    for (int attempt = 1;; ++attempt) {
        try {
            OpenLocked();
            auto result = body();
            FLastFailure.reset();
            return result;
        } catch (const ESqlite& error) {
            if (error.Damaged() && !setAside) {
                setAside = true;
                SetAsideLocked(error.Message(), notice);
                continue;
            }
            FDb.Close();  // the next attempt starts with a connection of its own
            if (error.Damaged() || attempt >= kAttempts) {
                FLastFailure = error;
                FFailedUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(2 * FBusyTimeoutMs);
                throw;
            }
            std::this_thread::sleep_for(kRetryPause);
        }
    }
}

void THistoryStore::OpenLocked() {
    if (FDb) return;
    std::error_code ignored;
    fs::create_directories(FsPath(CopyFolder()), ignored);
    TSqliteDb db(Utf8Path(FDatabase), FBusyTimeoutMs);
    // Deleted rows are overwritten, not only unlinked from the tree (also in attached files).
    db.Exec("PRAGMA secure_delete=ON; PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;");
    try {
        // A database of the same name with tables of another shape is not ours to use.
        db.Exec(kSchema);
        TStatement(db, "SELECT " ENTRY_COLUMNS " FROM entries LIMIT 0").Run();
        TStatement(db, "SELECT entry_id, jpeg FROM thumbnails LIMIT 0").Run();
        TStatement(db, "INSERT INTO origin(id) SELECT ? WHERE NOT EXISTS (SELECT 1 FROM origin)").Bind(1, NewOrigin()).Run();
    } catch (const ESqlite& error) {
        if (error.Code() != SQLITE_ERROR) throw;
        throw ESqlite(SQLITE_CORRUPT, L"The history database has tables of another kind. " + error.Message());
    }
    const auto number = [&db](const char* sql) {
        TStatement query(db, sql);  // ended before a VACUUM, which runs only with no query open
        query.Step();
        return query.Int(0);
    };
    if (number("PRAGMA user_version") < kSchemaVersion) {
        // Deleted cells linger in free pages and in the unused room of pages still in use.
        try {
            db.Exec("VACUUM");
            db.Exec(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
            sqlite3_wal_checkpoint_v2(db.Handle(), nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
        } catch (const ESqlite&) {
            // No room for the rebuilt copy, say: the history goes on, and the next start tries again.
            LogCaught(L"history-store", std::current_exception());
        }
    }
    FDb = std::move(db);
    if (FDatabase == PathIn(FFolder, kDatabaseName)) MergeOverflowLocked();
}

void THistoryStore::SetAsideLocked(const std::wstring& reason, std::function<void()>& notice) {
    FDb.Close();
    const std::wstring file = FDatabase;
    const std::wstring stamp = AsideStamp();
    std::wstring asideAs = file + L"." + stamp + kAsideSuffix;
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
        if (IsOverflowName(WidePath(it->path().filename()))) overflow.push_back(WidePath(it->path()));
    }
    for (const std::wstring& file : overflow) {
        int failure = SQLITE_OK;
        try {
            TStatement(FDb, "ATTACH DATABASE ? AS overflow").Bind(1, file).Run();
            try {
                TTransaction transaction(FDb);
                // A file merged before but not removed then (held open, say) is merged only
                // once: twice would give two rows one copy, and deleting one would take the
                // other's file.
                std::wstring origin = L"file:" + WidePath(FsPath(file).filename());
                try {
                    TStatement named(FDb, "SELECT id FROM overflow.origin LIMIT 1");
                    if (named.Step()) origin = named.Text(0);
                } catch (const ESqlite& error) {
                    if (error.Code() != SQLITE_ERROR) throw;  // from before databases were named
                }
                TStatement seen(FDb, "SELECT 1 FROM main.merged WHERE origin = ?");
                if (!seen.Bind(1, origin).Step()) {
                    TStatement last(FDb, "SELECT coalesce(max(id), 0) FROM main.entries");
                    last.Step();
                    const std::int64_t offset = last.Int(0);
                    TStatement(FDb, "INSERT INTO main.entries(" ENTRY_COLUMNS ") SELECT id + ?1, time_utc_ms, "
                                    "utc_offset_min, mode, target, path, is_copy, width, height, file_bytes, "
                                    "substr(window_title, 1, ?2), process_name FROM overflow.entries")
                        .Bind(2, static_cast<std::int64_t>(kMaxStoredTitle))
                        .Bind(1, offset)
                        .Run();
                    TStatement(FDb, "INSERT INTO main.thumbnails(entry_id, jpeg) SELECT entry_id + ?1, jpeg "
                                    "FROM overflow.thumbnails WHERE entry_id IN (SELECT id FROM overflow.entries)")
                        .Bind(1, offset)
                        .Run();
                    TStatement(FDb, "INSERT INTO main.merged(origin) VALUES(?)").Bind(1, origin).Run();
                }
                transaction.Commit();
            } catch (const ESqlite& error) {
                failure = error.Code();
                LogCaught(L"history-store", std::current_exception());
            }
            FDb.Exec("DETACH DATABASE overflow");
        } catch (const ESqlite& error) {
            if (failure == SQLITE_OK) failure = error.Code();
            LogCaught(L"history-store", std::current_exception());
        }
        if (failure == SQLITE_OK) {
            EraseDatabaseFiles(file);
        } else if (failure == SQLITE_CORRUPT || failure == SQLITE_NOTADB || failure == SQLITE_ERROR) {
            // Unreadable on its own (not merely busy): kept for the user, out of the way.
            MoveFile(file, file + L"." + AsideStamp() + kAsideSuffix);
        }
    }
    CheckpointLocked();
}

void THistoryStore::CheckpointLocked() {
    // Until a checkpoint, the log still holds the pages as they were before a delete; truncated
    // afterwards, it holds nothing. A reader in the way (another program) only delays this to
    // the next change.
    sqlite3_wal_checkpoint_v2(FDb.Handle(), nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
}

std::vector<std::wstring> THistoryStore::OtherDatabasesLocked() const {
    std::vector<std::wstring> files;
    const std::wstring inUse = FoldedPath(FsPath(FDatabase));
    std::error_code listing;
    for (fs::directory_iterator it(FsPath(FFolder), listing), end; !listing && it != end; it.increment(listing)) {
        const std::wstring name = WidePath(it->path().filename());
        if (IsOtherDatabaseName(name) && FoldedPath(it->path()) != inUse) files.push_back(WidePath(it->path()));
    }
    return files;
}

std::set<std::wstring> THistoryStore::CopiesInUseLocked() {
    std::set<std::wstring> paths;
    TStatement query(FDb, "SELECT path FROM entries WHERE is_copy = 1");
    while (query.Step()) paths.insert(FoldedPath(FsPath(query.Text(0))));
    return paths;
}

void THistoryStore::EraseDatabaseLocked(const std::wstring& file, const std::set<std::wstring>& inUse) {
    if (const auto copies = CopiesNamedIn(file)) {
        for (const std::wstring& copy : *copies) {
            if (IsOwnCopy(copy) && !inUse.contains(FoldedPath(FsPath(copy)))) EraseFile(copy);
        }
    }
    EraseDatabaseFiles(file);
}

void THistoryStore::PruneOtherDatabasesLocked(const THistoryLimits& limits) {
    const std::vector<std::wstring> others = OtherDatabasesLocked();
    if (others.empty()) return;
    // Whatever such a database holds is older than every row here, so it is the first to go
    // once the rows here fill either limit on their own. Each goes as a whole, with its copies.
    TStatement kept(FDb, "SELECT count(*), coalesce(sum(CASE WHEN is_copy = 1 THEN file_bytes END), 0) FROM entries");
    kept.Step();
    const bool countFull = static_cast<std::uint64_t>(kept.Int(0)) >= limits.MaxEntries;
    std::int64_t bytes = kept.Int(1);
    const std::set<std::wstring> inUse = CopiesInUseLocked();
    for (const std::wstring& file : others) {
        std::error_code error;
        bytes += static_cast<std::int64_t>(fs::file_size(FsPath(file), error));
        if (const auto copies = CopiesNamedIn(file)) {
            for (const std::wstring& copy : *copies) {
                const auto size = fs::file_size(FsPath(copy), error);
                if (!error) bytes += static_cast<std::int64_t>(size);
            }
        }
        if (countFull || bytes > limits.MaxCopyBytes) EraseDatabaseLocked(file, inUse);
    }
}

void THistoryStore::SweepCopies() {
    Locked([&] {
        std::set<std::wstring> named = CopiesInUseLocked();
        bool allKnown = true;
        for (const std::wstring& file : OtherDatabasesLocked()) {
            const auto copies = CopiesNamedIn(file);
            if (!copies) {
                allKnown = false;  // its rows cannot be read: any copy may still be one of them
                continue;
            }
            for (const std::wstring& copy : *copies) named.insert(FoldedPath(FsPath(copy)));
        }
        std::error_code listing;
        for (fs::directory_iterator it(FsPath(CopyFolder()), listing), end; !listing && it != end;
             it.increment(listing)) {
            std::error_code kind;
            if (!it->is_regular_file(kind)) continue;
            const fs::path& file = it->path();
            // Half-written copies, and copies whose rows were never stored or are gone.
            const bool unfinished = file.extension() == ".tmp";
            const bool orphan = allKnown && file.extension() == ".png" && !named.contains(FoldedPath(file));
            if (unfinished || orphan) EraseFile(WidePath(file));
        }
        return 0;
    });
}

bool THistoryStore::Open() {
    try {
        Locked([] { return 0; });
        return true;
    } catch (const ESqlite&) {
        LogCaught(L"history-store", std::current_exception());
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
            .Bind(10, entry.WindowTitle.substr(0, kMaxStoredTitle))
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
    CheckpointLocked();
    return removed;
}

std::optional<THistoryEntry> THistoryStore::Remove(std::int64_t id) {
    return Locked([&]() -> std::optional<THistoryEntry> {
        std::vector<THistoryEntry> removed = RemoveLocked({id});
        if (removed.empty()) return std::nullopt;
        return std::move(removed.front());
    });
}

std::vector<std::int64_t> THistoryStore::BeyondLimitsLocked(const THistoryLimits& limits) {
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
    return ids;
}

std::vector<THistoryEntry> THistoryStore::Prune(const THistoryLimits& limits) {
    return Locked([&] {
        // Read first, its queries ended, so that the checkpoint after the removal finds no reader.
        std::vector<THistoryEntry> removed = RemoveLocked(BeyondLimitsLocked(limits));
        PruneOtherDatabasesLocked(limits);
        return removed;
    });
}

std::vector<THistoryEntry> THistoryStore::Clear() {
    return Locked([&] {
        std::vector<std::int64_t> ids;
        {
            TStatement all(FDb, "SELECT id FROM entries");
            while (all.Step()) ids.push_back(all.Int(0));
        }
        std::vector<THistoryEntry> removed = RemoveLocked(ids);
        DeleteCopies(removed);
        // Rebuilt, so that no page of the file is left as it was; the log truncated after it.
        FDb.Exec("VACUUM");
        CheckpointLocked();
        for (const std::wstring& file : OtherDatabasesLocked()) EraseDatabaseLocked(file, {});
        // And what such a database left behind on its own (a log whose database went).
        const std::wstring inUse = FoldedPath(FsPath(FDatabase));
        std::error_code listing;
        for (fs::directory_iterator it(FsPath(FFolder), listing), end; !listing && it != end; it.increment(listing)) {
            const std::wstring database = OtherDatabaseOf(WidePath(it->path().filename()));
            if (!database.empty() && FoldedPath(FsPath(PathIn(FFolder, database))) != inUse) {
                EraseFile(WidePath(it->path()));
            }
        }
        EraseFilesIn(CopyFolder());
        // The pictures under saved marks: what was taken away in the editor stays away.
        EraseFilesIn(EditStoreFolder());
        return removed;
    });
}

std::vector<std::int64_t> THistoryStore::FindByPath(const std::wstring& path) {
    return Locked([&] {
        std::vector<std::int64_t> ids;
        const std::wstring wanted = FoldedPath(FsPath(path));
        // Compared as the file system compares names; the rows are few enough to read.
        TStatement query(FDb, "SELECT id, path FROM entries WHERE path <> ''");
        while (query.Step()) {
            if (FoldedPath(FsPath(query.Text(1))) == wanted) ids.push_back(query.Int(0));
        }
        return ids;
    });
}

void THistoryStore::UpdatePicture(std::int64_t id, const std::vector<std::uint8_t>& thumbnail, int width, int height,
                                  std::int64_t fileBytes) {
    Locked([&] {
        TTransaction transaction(FDb);
        TStatement(FDb, "UPDATE entries SET width = ?, height = ?, file_bytes = ? WHERE id = ?")
            .Bind(1, std::int64_t{width})
            .Bind(2, std::int64_t{height})
            .Bind(3, fileBytes)
            .Bind(4, id)
            .Run();
        // Deleted first, so the old picture's pages are freed (and zeroed) rather than reused in part.
        TStatement(FDb, "DELETE FROM thumbnails WHERE entry_id = ?").Bind(1, id).Run();
        if (!thumbnail.empty()) {
            TStatement(FDb, "INSERT INTO thumbnails(entry_id, jpeg) SELECT id, ? FROM entries WHERE id = ?")
                .Bind(1, thumbnail)
                .Bind(2, id)
                .Run();
        }
        transaction.Commit();
        CheckpointLocked();
        return 0;
    });
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
        if (entry.IsCopy && IsOwnCopy(entry.Path)) EraseFile(entry.Path);
    }
}

}  // namespace tovasen
