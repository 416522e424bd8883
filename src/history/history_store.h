#pragma once
// The capture history on disk: one SQLite database (WAL) in the history folder, one row per
// capture, its thumbnail beside it, and a "History" folder below with the copies of captures
// that wrote no file of their own. Every call is safe from any thread. A database that is
// damaged or no database is set aside under a new name and started afresh, once per failure;
// a lock or a read or write failure is tried again a moment later and then raised, never
// taken for damage. What is taken out is erased: rows overwritten in the file and its log,
// copies overwritten before they are removed.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "history/history_entry.h"
#include "history/sqlite_db.h"

namespace tovasen {

struct THistoryLimits {
    std::size_t MaxEntries = 1000;
    std::int64_t MaxCopyBytes = std::int64_t{2} << 30;
};

class THistoryStore {
public:
    static constexpr wchar_t kDatabaseName[] = L"history.db";
    static constexpr wchar_t kCopyFolderName[] = L"History";
    // The editor's private store beside the history (the pictures under saved marks).
    static constexpr wchar_t kEditStoreFolderName[] = L"edit-store";
    // A window title is kept to this many characters: enough for any title a person reads,
    // while one runaway title (tens of thousands of characters) would otherwise swell every
    // listing and reply that carries it, beyond what a script's reply can hold.
    static constexpr std::size_t kMaxStoredTitle = 1024;

    // folder holds the database; nothing is opened before the first call that needs it.
    explicit THistoryStore(std::wstring folder, int busyTimeoutMs = 1000);
    THistoryStore(const THistoryStore&) = delete;
    THistoryStore& operator=(const THistoryStore&) = delete;
    ~THistoryStore();

    const std::wstring& Folder() const noexcept { return FFolder; }
    // Where copies are written, with a trailing separator.
    std::wstring CopyFolder() const;
    // The database file in use (or to be used) now.
    std::wstring DatabasePath();

    // Told when a database was set aside: the file that could not be used, where it went
    // (empty when it could not be moved, so the history went on in a new file beside it) and
    // why. Called on the thread that found out, with no lock of the store held; never once
    // this has been called again with nothing.
    using TSetAsideHandler =
        std::function<void(const std::wstring& file, const std::wstring& asideAs, const std::wstring& reason)>;
    void SetOnSetAside(TSetAsideHandler handler);

    // Opens the database now, as the first call would; true when it is usable.
    bool Open();
    // Stores entry with its thumbnail (JPEG; may be empty) and returns its id.
    std::int64_t Add(const THistoryEntry& entry, const std::vector<std::uint8_t>& thumbnail);
    // The newest entries first, at most limit of them.
    std::vector<THistoryEntry> Recent(std::size_t limit);
    // The entries that come after `after` in that order (older, or as old and stored earlier),
    // at most limit of them: a long list read page by page, the store free between pages.
    std::vector<THistoryEntry> Older(const THistoryEntry& after, std::size_t limit);
    std::optional<THistoryEntry> Find(std::int64_t id);
    std::vector<std::uint8_t> Thumbnail(std::int64_t id);
    // Takes an entry out; returns it, so that its copy can be deleted.
    std::optional<THistoryEntry> Remove(std::int64_t id);
    // Takes out the oldest entries beyond limits.MaxEntries, then the oldest entries with
    // copies until the copies come to at most limits.MaxCopyBytes. Returns what was taken out.
    std::vector<THistoryEntry> Prune(const THistoryLimits& limits);
    // Takes out every entry and erases every picture the history holds: the copies, the
    // databases set aside or left unmerged, and the editor's private store. Returns the entries.
    std::vector<THistoryEntry> Clear();
    // The entries whose file is path (as the file system compares names).
    std::vector<std::int64_t> FindByPath(const std::wstring& path);
    // An entry's picture changed (edited): its size, thumbnail (JPEG; may be empty) and bytes.
    void UpdatePicture(std::int64_t id, const std::vector<std::uint8_t>& thumbnail, int width, int height,
                       std::int64_t fileBytes);
    // Erases what the copy folder holds that no database names: half-written copies, copies
    // whose rows were never stored or are gone. Copies any database may still name stay.
    void SweepCopies();
    std::wstring EditStoreFolder() const;
    std::size_t Count();
    std::int64_t CopyBytes();

    // Deletes the copies of entries; only files that are the history's own copies, inside its
    // copy folder, are touched: a user's own file never is.
    void DeleteCopies(const std::vector<THistoryEntry>& entries) const;
    // True when path names a file inside the copy folder.
    bool IsOwnCopy(const std::wstring& path) const;

private:
    template <class Body>
    auto Locked(Body&& body) -> decltype(body());
    void OpenLocked();
    void SetAsideLocked(const std::wstring& reason, std::function<void()>& notice);
    void MergeOverflowLocked();
    void CheckpointLocked();
    std::vector<THistoryEntry> RemoveLocked(const std::vector<std::int64_t>& ids);
    std::vector<std::int64_t> BeyondLimitsLocked(const THistoryLimits& limits);
    // Databases in the folder other than the one in use: set aside, or left unmerged.
    std::vector<std::wstring> OtherDatabasesLocked() const;
    std::set<std::wstring> CopiesInUseLocked();
    void EraseDatabaseLocked(const std::wstring& file, const std::set<std::wstring>& inUse);
    void PruneOtherDatabasesLocked(const THistoryLimits& limits);

    std::wstring FFolder;
    int FBusyTimeoutMs;
    std::mutex FLock;
    TSqliteDb FDb;
    std::wstring FDatabase;  // the file FDb has open, or will open
    TSetAsideHandler FOnSetAside;
    std::optional<ESqlite> FLastFailure;  // of the last call, when all its attempts failed
    std::chrono::steady_clock::time_point FFailedUntil;
};

}  // namespace tovasen
