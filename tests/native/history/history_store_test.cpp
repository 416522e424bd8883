#include "history/history_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "history_test_support.h"

namespace tovasen {
namespace {

namespace fs = std::filesystem;
using test::Entry;

struct SetAside {
    std::wstring file, asideAs, reason;
};

class HistoryStoreTest : public ::testing::Test {
protected:
    void SetUp() override { Reopen(); }
    // A new store on the folder, as at the next start, its set-asides noted in asides.
    void Reopen() {
        store.reset();
        store = std::make_unique<THistoryStore>(folder.Wide(), 200);
        store->SetOnSetAside([this](const std::wstring& file, const std::wstring& asideAs, const std::wstring& reason) {
            asides.push_back({file, asideAs, reason});
        });
    }
    fs::path Db() const { return folder.Path() / "history.db"; }
    // A copy entry whose file exists in the copy folder, of the given size.
    THistoryEntry CopyEntry(std::int64_t time, std::size_t bytes) {
        const fs::path file = FsPath(store->CopyFolder()) / ("copy" + std::to_string(time) + ".png");
        test::WriteText(file, std::string(bytes, 'x'));
        THistoryEntry entry = Entry(time, L"clipboard", WidePath(file));
        entry.IsCopy = true;
        entry.FileBytes = static_cast<std::int64_t>(bytes);
        return entry;
    }
    std::vector<std::int64_t> Times() {
        std::vector<std::int64_t> times;
        for (const THistoryEntry& e : store->Recent(100)) times.push_back(e.TimeUtcMs);
        return times;
    }

    test::HistoryFolder folder;
    std::unique_ptr<THistoryStore> store;
    std::vector<SetAside> asides;
};

TEST_F(HistoryStoreTest, KeepsEveryFieldNewestFirstInWal) {
    THistoryEntry full = Entry(2000, L"png", L"C:\\사진\\shot 1.png", L"제목 — Ünïcode\ttab");
    full.IsCopy = false;
    full.FileBytes = 12345;
    full.Mode = L"region";
    const std::vector<std::uint8_t> thumbnail = {1, 2, 3, 0, 4};
    const std::int64_t id = store->Add(full, thumbnail);
    store->Add(Entry(1000, L"clipboard"), {});
    store->Add(Entry(3000, L"floating"), {});
    store->Add(Entry(3000, L"printer"), {});  // same time: the later one is newer

    const std::vector<THistoryEntry> recent = store->Recent(10);
    ASSERT_EQ(4u, recent.size());
    EXPECT_EQ(L"printer", recent[0].Target);
    EXPECT_EQ(L"floating", recent[1].Target);
    EXPECT_EQ(L"png", recent[2].Target);
    EXPECT_EQ(L"clipboard", recent[3].Target);
    EXPECT_EQ(2u, store->Recent(2).size());
    // Page by page, the same order, with nothing left out or repeated.
    std::vector<THistoryEntry> paged = store->Recent(1);
    while (true) {
        const std::vector<THistoryEntry> page = store->Older(paged.back(), 1);
        if (page.empty()) break;
        paged.push_back(page.front());
    }
    ASSERT_EQ(recent.size(), paged.size());
    for (std::size_t i = 0; i < paged.size(); ++i) EXPECT_EQ(recent[i].Id, paged[i].Id) << i;

    const THistoryEntry& back = recent[2];
    EXPECT_EQ(id, back.Id);
    EXPECT_EQ(full.TimeUtcMs, back.TimeUtcMs);
    EXPECT_EQ(540, back.UtcOffsetMinutes);
    EXPECT_EQ(L"region", back.Mode);
    EXPECT_EQ(full.Path, back.Path);
    EXPECT_EQ(full.WindowTitle, back.WindowTitle);
    EXPECT_EQ(L"notepad.exe", back.ProcessName);
    EXPECT_EQ(640, back.Width);
    EXPECT_EQ(480, back.Height);
    EXPECT_EQ(12345, back.FileBytes);
    EXPECT_FALSE(back.IsCopy);
    EXPECT_EQ(thumbnail, store->Thumbnail(id));
    EXPECT_TRUE(store->Thumbnail(recent[0].Id).empty());
    ASSERT_TRUE(store->Find(id).has_value());
    EXPECT_FALSE(store->Find(id + 100).has_value());

    // Another program (here: SQLite itself) sees a WAL database with our rows.
    sqlite3* other = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(Db().string().c_str(), &other));
    sqlite3_stmt* mode = nullptr;
    sqlite3_prepare_v2(other, "PRAGMA journal_mode", -1, &mode, nullptr);
    ASSERT_EQ(SQLITE_ROW, sqlite3_step(mode));
    EXPECT_STREQ("wal", reinterpret_cast<const char*>(sqlite3_column_text(mode, 0)));
    sqlite3_finalize(mode);
    sqlite3_close(other);
    EXPECT_TRUE(asides.empty());
}

TEST_F(HistoryStoreTest, RetentionDropsTheOldestByCountThenByBytesOfCopies) {
    const THistoryEntry a = CopyEntry(1, 400), b = CopyEntry(2, 400);
    store->Add(a, {});
    store->Add(b, {});
    store->Add(Entry(3, L"png", L"/user/own.png"), {});  // a user's file: its bytes do not count
    store->Add(CopyEntry(4, 400), {});
    store->Add(CopyEntry(5, 400), {});
    EXPECT_EQ(1600, store->CopyBytes());

    std::vector<THistoryEntry> removed = store->Prune({4, 1LL << 40});
    ASSERT_EQ(1u, removed.size());
    EXPECT_EQ(1, removed[0].TimeUtcMs);
    EXPECT_EQ((std::vector<std::int64_t>{5, 4, 3, 2}), Times());

    removed = store->Prune({100, 800});  // 1200 bytes of copies left: the oldest copy goes
    ASSERT_EQ(1u, removed.size());
    EXPECT_EQ(2, removed[0].TimeUtcMs);
    EXPECT_EQ((std::vector<std::int64_t>{5, 4, 3}), Times());
    EXPECT_EQ(800, store->CopyBytes());

    store->DeleteCopies({a, b});
    EXPECT_FALSE(fs::exists(FsPath(a.Path)));
    EXPECT_FALSE(fs::exists(FsPath(b.Path)));

    const std::vector<THistoryEntry> cleared = store->Clear();
    EXPECT_EQ(3u, cleared.size());
    EXPECT_EQ(0u, store->Count());
    EXPECT_TRUE(store->Prune({0, 0}).empty());
}

TEST_F(HistoryStoreTest, DeletesOnlyItsOwnCopies) {
    const fs::path userFile = folder.Path() / "mine.png";
    test::WriteText(userFile, "precious");
    const fs::path nested = FsPath(store->CopyFolder()) / ".." / "mine.png";
    struct Case {
        std::wstring path;
        bool isCopy;
    };
    const Case cases[] = {
        {WidePath(userFile), false},  // not a copy
        {WidePath(userFile), true},   // claims to be a copy but lies outside the folder
        {WidePath(nested), true},     // climbs out of the folder
        {L"", true},
    };
    for (const Case& c : cases) {
        THistoryEntry entry = Entry(1, L"png", c.path);
        entry.IsCopy = c.isCopy;
        store->DeleteCopies({entry});
        EXPECT_TRUE(fs::exists(userFile)) << WideToUtf8(c.path) << " " << c.isCopy;
    }
    EXPECT_TRUE(store->IsOwnCopy(store->CopyFolder() + L"a.png"));
    EXPECT_FALSE(store->IsOwnCopy(store->CopyFolder()));
}

TEST_F(HistoryStoreTest, UnusableDatabasesAreSetAsideOnceAndStartedAfresh) {
    struct Case {
        const char* name;
        std::string content;
    };
    const Case cases[] = {
        {"garbage", std::string(8192, '\x5a')},
        {"cut header", std::string("SQLite format 3\0", 16) + std::string(100, '\0')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        asides.clear();
        Reopen();
        fs::remove(Db());
        test::WriteText(Db(), c.content);
        EXPECT_NE(0, store->Add(Entry(10, L"png"), {}));
        EXPECT_EQ(1u, store->Count());
        ASSERT_EQ(1u, asides.size());
        EXPECT_EQ(WidePath(Db()), asides[0].file);
        EXPECT_FALSE(asides[0].reason.empty());
        ASSERT_FALSE(asides[0].asideAs.empty());
        std::ifstream kept(FsPath(asides[0].asideAs), std::ios::binary);
        EXPECT_EQ(c.content, std::string(std::istreambuf_iterator<char>(kept), {})) << "the old file is kept as it was";
        EXPECT_EQ(WidePath(Db()), store->DatabasePath());
    }

    // A database of another program with a table of the same name.
    asides.clear();
    Reopen();
    fs::remove(Db());
    sqlite3* other = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(Db().string().c_str(), &other));
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, "CREATE TABLE entries(x)", nullptr, nullptr, nullptr));
    sqlite3_close(other);
    EXPECT_NE(0, store->Add(Entry(10, L"png"), {}));
    EXPECT_EQ(1u, store->Count());
    EXPECT_EQ(1u, asides.size());
}

TEST(SqliteErrorTest, OnlyDamageSetsADatabaseAside) {
    const std::pair<int, bool> cases[] = {
        {SQLITE_CORRUPT, true}, {SQLITE_NOTADB, true},    {SQLITE_BUSY, false},     {SQLITE_LOCKED, false},
        {SQLITE_IOERR, false},  {SQLITE_CANTOPEN, false}, {SQLITE_READONLY, false}, {SQLITE_PERM, false},
        {SQLITE_FULL, false},   {SQLITE_ERROR, false},
    };
    for (const auto& [code, damaged] : cases) EXPECT_EQ(damaged, ESqlite(code, L"").Damaged()) << code;
}

TEST_F(HistoryStoreTest, ALockedDatabaseIsReportedAndKeptNotSetAside) {
    store->Add(Entry(1, L"png"), {});
    Reopen();
    // Another program holds the database's write lock for longer than the store waits.
    sqlite3* holder = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(Db().string().c_str(), &holder));
    ASSERT_EQ(SQLITE_OK,
              sqlite3_exec(holder, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr));
    try {
        store->Add(Entry(2, L"clipboard"), {});
        ADD_FAILURE() << "a held lock is reported to the caller";
    } catch (const ESqlite& error) {
        EXPECT_EQ(SQLITE_BUSY, error.Code());
    }
    // Right after, the next call does not wait out its attempts again: it fails at once.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(store->Recent(1), ESqlite);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    EXPECT_TRUE(asides.empty());
    // Once the lock is gone (and the pause after the failure is over) the same file goes on,
    // with everything it held.
    bool added = false;
    for (int i = 0; i < 100 && !added; ++i) {
        try {
            store->Add(Entry(3, L"clipboard"), {});
            added = true;
        } catch (const ESqlite&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ASSERT_TRUE(added);
    EXPECT_EQ((std::vector<std::int64_t>{3, 1}), Times());
    EXPECT_EQ(WidePath(Db()), store->DatabasePath());
}

TEST_F(HistoryStoreTest, AnOverflowDatabaseIsMergedBackAtTheNextOpen) {
    store->Add(Entry(1, L"png"), {1});
    store->Add(Entry(4, L"png"), {4});
    store.reset();
    {
        // What a run that could not use history.db left behind.
        test::HistoryFolder other;
        THistoryStore overflow(other.Wide());
        overflow.Add(Entry(2, L"clipboard"), {2, 2});
        overflow.Add(Entry(3, L"floating"), {});
        const std::wstring file = overflow.DatabasePath();
        overflow.Recent(1);  // nothing pending
        fs::copy_file(FsPath(file), folder.Path() / "history-20240101-000000-1.db");
        if (fs::exists(FsPath(file + L"-wal"))) {
            fs::copy_file(FsPath(file + L"-wal"), folder.Path() / "history-20240101-000000-1.db-wal");
        }
    }
    Reopen();
    const std::vector<THistoryEntry> recent = store->Recent(10);
    EXPECT_EQ((std::vector<std::int64_t>{4, 3, 2, 1}), Times());
    ASSERT_EQ(4u, recent.size());
    EXPECT_EQ((std::vector<std::uint8_t>{2, 2}), store->Thumbnail(recent[2].Id)) << "thumbnails follow their rows";
    EXPECT_EQ((std::vector<std::uint8_t>{4}), store->Thumbnail(recent[0].Id));
    EXPECT_TRUE(store->Thumbnail(recent[1].Id).empty());
    EXPECT_FALSE(fs::exists(folder.Path() / "history-20240101-000000-1.db"));
    EXPECT_TRUE(asides.empty());
}

// The bytes of every file in folder, sub-folders too.
std::string AllBytes(const fs::path& folder) {
    std::string bytes;
    for (const auto& item : fs::recursive_directory_iterator(folder)) {
        if (!item.is_regular_file()) continue;
        std::ifstream file(item.path(), std::ios::binary);
        bytes.append(std::istreambuf_iterator<char>(file), {});
    }
    return bytes;
}

std::vector<std::uint8_t> MarkedBlob(int n) {
    std::vector<std::uint8_t> blob(3000);
    for (std::size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<std::uint8_t>((i * 7 + static_cast<std::size_t>(n)) % 251);
    const std::string mark = "MARK-" + std::to_string(n) + "-KRAM";
    std::copy(mark.begin(), mark.end(), blob.begin() + 100);
    return blob;
}

TEST_F(HistoryStoreTest, ForgottenPicturesLeaveNoByteInTheFolder) {
    struct Case {
        const char* how;
        std::function<void(THistoryStore&, const std::vector<std::int64_t>&)> forget;
    };
    const Case cases[] = {
        {"delete", [](THistoryStore& s, const std::vector<std::int64_t>& ids) { for (auto id : ids) s.Remove(id); }},
        {"retention", [](THistoryStore& s, const std::vector<std::int64_t>&) { s.Prune({1, 1LL << 40}); }},
        {"clear", [](THistoryStore& s, const std::vector<std::int64_t>&) { s.Clear(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        store->Clear();
        std::vector<std::int64_t> ids;
        for (int n = 0; n < 20; ++n) ids.push_back(store->Add(Entry(n, L"png"), MarkedBlob(n)));
        const std::int64_t kept = store->Add(Entry(100, L"png"), MarkedBlob(100));
        const auto marks = [&] {
            const std::string bytes = AllBytes(folder.Path());
            int found = 0;
            for (int n = 0; n < 20; ++n) found += bytes.find("MARK-" + std::to_string(n) + "-KRAM") != std::string::npos;
            return found;
        };
        ASSERT_EQ(20, marks()) << "the scan finds what is stored";
        c.forget(*store, ids);
        EXPECT_EQ(0, marks()) << "no forgotten blob is left in the database, its log or beside them";
        if (std::string(c.how) != "clear") EXPECT_EQ(MarkedBlob(100), store->Thumbnail(kept));
    }
}

TEST_F(HistoryStoreTest, ADatabaseFromBeforeErasingLosesWhatItsFreePagesHeld) {
    store->Add(Entry(1, L"png"), {1});
    store.reset();
    // Rows deleted by an earlier version, without overwriting: their bytes lie in free pages.
    sqlite3* old = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(Db().string().c_str(), &old));
    const std::vector<std::uint8_t> blob = MarkedBlob(7);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(old, "INSERT INTO thumbnails(entry_id, jpeg) VALUES(1000, ?)", -1, &insert, nullptr);
    sqlite3_bind_blob(insert, 1, blob.data(), static_cast<int>(blob.size()), SQLITE_STATIC);
    ASSERT_EQ(SQLITE_DONE, sqlite3_step(insert));
    sqlite3_finalize(insert);
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(old, "PRAGMA foreign_keys=OFF; PRAGMA secure_delete=OFF; DELETE FROM thumbnails "
                                           "WHERE entry_id = 1000; PRAGMA user_version = 1; "
                                           "PRAGMA wal_checkpoint(TRUNCATE);", nullptr, nullptr, nullptr));
    sqlite3_close(old);
    ASSERT_NE(std::string::npos, AllBytes(folder.Path()).find("MARK-7-KRAM")) << "the deleted blob is still in the file";
    Reopen();
    EXPECT_EQ(1u, store->Count());
    EXPECT_EQ(std::string::npos, AllBytes(folder.Path()).find("MARK-7-KRAM"));
    EXPECT_EQ((std::vector<std::uint8_t>{1}), store->Thumbnail(store->Recent(1).at(0).Id)) << "what is kept stays";
}

TEST_F(HistoryStoreTest, AMergeThatCouldNotRemoveItsFileIsNotMergedAgain) {
    store.reset();
    const fs::path overflowFile = folder.Path() / "history-20240101-000000-1.db";
    {
        test::HistoryFolder other;
        THistoryStore overflow(other.Wide());
        overflow.Add(Entry(2, L"clipboard"), {2});
        overflow.Recent(1);
        const std::wstring file = overflow.DatabasePath();
        fs::copy_file(FsPath(file), folder.Path() / "saved.bin");
        if (fs::exists(FsPath(file + L"-wal"))) fs::copy_file(FsPath(file + L"-wal"), folder.Path() / "saved.bin-wal");
    }
    for (int start = 0; start < 2; ++start) {
        SCOPED_TRACE(start);
        // As if the file could not be removed after the first merge: it is there again.
        fs::copy_file(folder.Path() / "saved.bin", overflowFile, fs::copy_options::overwrite_existing);
        if (fs::exists(folder.Path() / "saved.bin-wal")) {
            fs::copy_file(folder.Path() / "saved.bin-wal", overflowFile.string() + "-wal", fs::copy_options::overwrite_existing);
        }
        Reopen();
        EXPECT_EQ((std::vector<std::int64_t>{2}), Times());
        store.reset();
    }
}

TEST_F(HistoryStoreTest, CopiesNoDatabaseNamesAreErasedAndClearReachesEveryDatabase) {
    ASSERT_TRUE(store->Open());  // makes the copy folder
    const THistoryEntry kept = CopyEntry(1, 50);
    store->Add(kept, {});
    const fs::path copies = FsPath(store->CopyFolder());
    test::WriteText(copies / "orphan.png", "\x89PNG orphan");
    test::WriteText(copies / "half.png.tmp", "\x89PNG half");
    // A database set aside earlier that still names a copy of its own.
    const fs::path asideFile = folder.Path() / "history.db.20240101-000000-1.aside";
    const THistoryEntry asideCopy = CopyEntry(2, 60);
    {
        THistoryStore other(WidePath(folder.Path() / "elsewhere"));
        other.Add(asideCopy, {9, 9});
        other.Recent(1);
        fs::copy_file(FsPath(other.DatabasePath()), asideFile);
        if (fs::exists(FsPath(other.DatabasePath() + L"-wal"))) {
            fs::copy_file(FsPath(other.DatabasePath() + L"-wal"), asideFile.string() + "-wal");
        }
    }
    const fs::path loneLog = folder.Path() / "history.db.20230101-000000-9.aside-wal";
    test::WriteText(loneLog, "a log whose database went");
    const auto read = [](const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string asideBefore = read(asideFile);
    fs::create_directories(FsPath(store->EditStoreFolder()) / "sub");
    test::WriteText(FsPath(store->EditStoreFolder()) / "sub" / "base.bin", "pixels");

    store->SweepCopies();
    EXPECT_FALSE(fs::exists(copies / "orphan.png"));
    EXPECT_FALSE(fs::exists(copies / "half.png.tmp"));
    EXPECT_TRUE(fs::exists(FsPath(kept.Path)));
    EXPECT_TRUE(fs::exists(FsPath(asideCopy.Path))) << "named by the set-aside database";
    EXPECT_EQ(asideBefore, read(asideFile)) << "read, not changed";

    EXPECT_EQ(1u, store->Clear().size());
    EXPECT_FALSE(fs::exists(asideFile));
    EXPECT_FALSE(fs::exists(loneLog));
    EXPECT_TRUE(fs::exists(Db()));
    EXPECT_FALSE(fs::exists(FsPath(asideCopy.Path)));
    EXPECT_TRUE(fs::is_empty(copies));
    EXPECT_TRUE(fs::is_empty(FsPath(store->EditStoreFolder())));
}

TEST_F(HistoryStoreTest, RetentionReachesASetAsideDatabaseOnceTheRowsHereFillTheLimit) {
    const fs::path asideFile = folder.Path() / "history.db.20240101-000000-1.aside";
    test::WriteText(asideFile, std::string(4096, 'z'));  // unreadable: counts by its own size
    store->Add(Entry(1, L"png"), {});
    store->Prune({2, 1LL << 40});
    EXPECT_TRUE(fs::exists(asideFile));
    store->Add(Entry(2, L"png"), {});
    store->Prune({2, 1LL << 40});
    EXPECT_FALSE(fs::exists(asideFile));
}

TEST_F(HistoryStoreTest, TitlesAreKeptToTheirCap) {
    const std::wstring title(70000, L'\u00e9');
    const std::int64_t id = store->Add(Entry(1, L"png", {}, title), {});
    EXPECT_EQ(title.substr(0, THistoryStore::kMaxStoredTitle), store->Find(id)->WindowTitle);
}

}  // namespace
}  // namespace tovasen
