#include "history/history_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

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

TEST_F(HistoryStoreTest, ALockedDatabaseGivesWayWithinTheWait) {
    store->Add(Entry(1, L"png"), {});
    Reopen();
    // Another program holds the database's write lock for longer than the store waits.
    sqlite3* holder = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(Db().string().c_str(), &holder));
    ASSERT_EQ(SQLITE_OK,
              sqlite3_exec(holder, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr));
    EXPECT_NE(0, store->Add(Entry(2, L"clipboard"), {}));
    sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    ASSERT_EQ(1u, asides.size());
    EXPECT_NE(std::wstring::npos, asides[0].reason.find(L"locked")) << WideToUtf8(asides[0].reason);
    // Linux lets a held file be renamed; Windows usually does not (the Windows tests cover that).
    EXPECT_FALSE(asides[0].asideAs.empty());
    EXPECT_EQ((std::vector<std::int64_t>{2}), Times());
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

}  // namespace
}  // namespace tovasen
