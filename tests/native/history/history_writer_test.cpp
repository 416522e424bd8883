#include "history/history_writer.h"
#include "history/pixel_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#include "decoders.h"
#include "history_test_support.h"
#include "synthetic_image.h"

namespace tovasen {
namespace {

namespace fs = std::filesystem;
using test::Entry;

std::vector<std::uint8_t> ReadBytes(const std::wstring& path) {
    std::ifstream file(FsPath(path), std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {});
}

TPixels Picture(int w, int h) {
    const test::OwnedImage image = test::ScreenshotLike(w, h, 4);
    return CopyPixels(image.View());
}

class HistoryWriterTest : public ::testing::Test {
protected:
    THistoryWriterEvents Events() {
        THistoryWriterEvents events;
        events.OnStored = [this](const THistoryEntry& entry) {
            std::lock_guard guard(lock);
            stored.push_back(entry);
        };
        events.OnFailed = [this](const std::wstring& error) {
            std::lock_guard guard(lock);
            failures.push_back(error);
        };
        return events;
    }

    test::HistoryFolder folder;
    std::shared_ptr<THistoryStore> store = std::make_shared<THistoryStore>(folder.Wide());
    std::mutex lock;
    std::vector<THistoryEntry> stored;
    std::vector<std::wstring> failures;
};

TEST_F(HistoryWriterTest, FileClipboardAndFloatingCapturesBecomeThreeEntriesNewestFirst) {
    const fs::path userFile = folder.Path() / "shot.png";
    test::WriteText(userFile, std::string(777, 'p'));
    THistoryWriter writer(store, {}, Events());

    THistoryRecord png{Entry(1000, L"png", WidePath(userFile), L"Editor"), Picture(320, 200), false};
    THistoryRecord clipboard{Entry(2000, L"clipboard", {}, L"Browser"), Picture(64, 48), true};
    const TPixels floatingPicture = Picture(300, 30);
    THistoryRecord floating{Entry(3000, L"floating", {}, L"Terminal"), floatingPicture, true};
    const std::vector<std::uint8_t> clipboardPixels = clipboard.Picture.Bytes;
    writer.Submit(std::move(png));
    writer.Submit(std::move(clipboard));
    writer.Submit(std::move(floating));
    ASSERT_TRUE(writer.WaitIdle(30000));
    EXPECT_TRUE(failures.empty());
    ASSERT_EQ(3u, stored.size());

    const std::vector<THistoryEntry> recent = store->Recent(10);
    ASSERT_EQ(3u, recent.size());
    EXPECT_EQ(L"floating", recent[0].Target);
    EXPECT_EQ(L"clipboard", recent[1].Target);
    EXPECT_EQ(L"png", recent[2].Target);

    // The user's file is recorded where it is, with its size, and never copied.
    EXPECT_EQ(WidePath(userFile), recent[2].Path);
    EXPECT_FALSE(recent[2].IsCopy);
    EXPECT_EQ(777, recent[2].FileBytes);

    // The clipboard capture's copy is a PNG (checked by libpng) of exactly the captured pixels.
    const THistoryEntry& copy = recent[1];
    ASSERT_TRUE(copy.IsCopy);
    EXPECT_TRUE(store->IsOwnCopy(copy.Path));
    EXPECT_EQ("History", FsPath(copy.Path).parent_path().filename().string());
    const std::vector<std::uint8_t> file = ReadBytes(copy.Path);
    EXPECT_EQ(static_cast<std::int64_t>(file.size()), copy.FileBytes);
    const test::RgbImage decoded = test::DecodePngWithLibpng(file);
    ASSERT_EQ(64, decoded.width);
    ASSERT_EQ(48, decoded.height);
    for (std::size_t i = 0; i < 64u * 48u; ++i) {
        ASSERT_EQ(clipboardPixels[i * 4 + 2], decoded.rgb[i * 3]) << "pixel " << i;
        ASSERT_EQ(clipboardPixels[i * 4 + 1], decoded.rgb[i * 3 + 1]) << "pixel " << i;
        ASSERT_EQ(clipboardPixels[i * 4], decoded.rgb[i * 3 + 2]) << "pixel " << i;
    }
    EXPECT_NE(recent[0].Path, recent[1].Path);

    // Every picture got a thumbnail the window can decode, at most 256 pixels on a side.
    const int sizes[3][2] = {{256, 26}, {64, 48}, {256, 160}};
    for (std::size_t i = 0; i < recent.size(); ++i) {
        const TPixels thumbnail = DecodeThumbnail(store->Thumbnail(recent[i].Id));
        EXPECT_EQ(sizes[i][0], thumbnail.Width) << WideToUtf8(recent[i].Target);
        EXPECT_EQ(sizes[i][1], thumbnail.Height) << WideToUtf8(recent[i].Target);
    }
}

TEST_F(HistoryWriterTest, RetentionDropsTheOldestRowsAndTheirCopies) {
    THistoryWriter writer(store, {3, 1LL << 40}, Events());
    for (int i = 1; i <= 5; ++i) writer.Submit({Entry(i * 1000, L"clipboard"), Picture(16, 16), true});
    ASSERT_TRUE(writer.WaitIdle(30000));
    ASSERT_EQ(5u, stored.size());
    const std::vector<THistoryEntry> recent = store->Recent(10);
    ASSERT_EQ(3u, recent.size());
    EXPECT_EQ(5000, recent[0].TimeUtcMs);
    EXPECT_EQ(3000, recent[2].TimeUtcMs);
    EXPECT_FALSE(fs::exists(FsPath(stored[0].Path))) << "the oldest copy went with its row";
    EXPECT_FALSE(fs::exists(FsPath(stored[1].Path)));
    for (const THistoryEntry& entry : recent) EXPECT_TRUE(fs::exists(FsPath(entry.Path)));

    // Lower byte limit: only as many copies as fit stay.
    writer.SetLimits({100, recent[0].FileBytes + recent[1].FileBytes});
    ASSERT_TRUE(writer.WaitIdle(30000));
    EXPECT_EQ(2u, store->Count());
    EXPECT_FALSE(fs::exists(FsPath(recent[2].Path)));

    writer.ClearAll();
    ASSERT_TRUE(writer.WaitIdle(30000));
    EXPECT_EQ(0u, store->Count());
    EXPECT_TRUE(fs::is_empty(FsPath(store->CopyFolder())));
}

TEST_F(HistoryWriterTest, PictureBuffersAreKeptForTheNextCaptureOnlyWhileCapturesGoOn) {
    auto pool = std::make_shared<TPixelPool>();
    pool->KeepFor = std::chrono::milliseconds(1500);
    THistoryWriter writer(store, {}, Events(), pool);
    for (int i = 1; i <= 3; ++i) writer.Submit({Entry(i * 1000, L"clipboard"), Picture(64, 48), true});
    ASSERT_TRUE(writer.WaitIdle(30000));
    EXPECT_EQ(TPixelPool::kKept, pool->Kept()) << "handed back for the next capture";
    const auto idle = std::chrono::steady_clock::now();
    while (pool->Kept() > 0 && std::chrono::steady_clock::now() - idle < std::chrono::seconds(30))
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(0u, pool->Kept()) << "an idle writer lets them go";
    EXPECT_GE(std::chrono::steady_clock::now() - idle, std::chrono::milliseconds(1000)) << "not at once";
}

TEST_F(HistoryWriterTest, RecordingsAndUnwritableCopiesAreStillListed) {
    THistoryWriter writer(store, {}, Events());
    const fs::path video = folder.Path() / "rec.mp4";
    test::WriteText(video, std::string(4096, 'v'));
    writer.Submit({Entry(1000, L"mp4", WidePath(video)), TPixels(), false});
    ASSERT_TRUE(writer.WaitIdle(30000));

    // The copy folder becomes a file: the copy cannot be written, the entry is still kept.
    fs::remove_all(FsPath(store->CopyFolder()));
    test::WriteText(FsPath(store->CopyFolder()).parent_path() / "History", "not a folder");
    writer.Submit({Entry(2000, L"printer"), Picture(8, 8), true});
    ASSERT_TRUE(writer.WaitIdle(30000));

    const std::vector<THistoryEntry> recent = store->Recent(10);
    ASSERT_EQ(2u, recent.size());
    EXPECT_EQ(L"printer", recent[0].Target);
    EXPECT_TRUE(recent[0].Path.empty());
    EXPECT_FALSE(recent[0].IsCopy);
    EXPECT_FALSE(store->Thumbnail(recent[0].Id).empty());
    EXPECT_EQ(4096, recent[1].FileBytes);
    EXPECT_TRUE(store->Thumbnail(recent[1].Id).empty());
    ASSERT_EQ(1u, failures.size());
}

TEST_F(HistoryWriterTest, EditsReachTheirEntriesAndErase) {
    THistoryWriter writer(store, {}, Events());
    const fs::path userFile = folder.Path() / "own.png";
    test::WriteText(userFile, std::string(500, 'o'));
    writer.Submit({Entry(1000, L"png", WidePath(userFile)), Picture(320, 200), false});
    writer.Submit({Entry(1001, L"png", WidePath(userFile)), Picture(320, 200), false});  // the same file twice
    auto floating = std::make_shared<std::int64_t>(0);
    writer.Submit({Entry(2000, L"floating"), Picture(320, 200), true}, floating);

    // The user's file, as the editor wrote it, with a name that still held it as it was.
    test::WriteText(userFile, std::string(700, 'e'));
    const fs::path superseded = folder.Path() / "own.png.1.before-edit";
    test::WriteText(superseded, "as it was");
    THistoryEdit fileEdit;
    fileEdit.File = WidePath(userFile);
    fileEdit.Picture = Picture(40, 30);
    fileEdit.Superseded = WidePath(superseded);
    writer.Edited(std::move(fileEdit));
    // The floating window's picture, edited before its entry was stored: it waits its turn.
    THistoryEdit windowEdit;
    windowEdit.Entry = floating;
    windowEdit.Picture = Picture(50, 20);
    writer.Edited(std::move(windowEdit));
    ASSERT_TRUE(writer.WaitIdle(30000));
    EXPECT_TRUE(failures.empty());

    const std::vector<THistoryEntry> recent = store->Recent(10);
    ASSERT_EQ(3u, recent.size());
    for (const THistoryEntry& entry : {recent[1], recent[2]}) {
        EXPECT_EQ(40, entry.Width);
        EXPECT_EQ(700, entry.FileBytes);
        EXPECT_EQ(40, DecodeThumbnail(store->Thumbnail(entry.Id)).Width);
    }
    EXPECT_FALSE(fs::exists(superseded));
    EXPECT_EQ(std::vector<std::uint8_t>(700, 'e'), ReadBytes(WidePath(userFile)))
        << "a user's file is the editor's to write, never the history's";

    const THistoryEntry& window = recent[0];
    EXPECT_EQ(*floating, window.Id);
    EXPECT_EQ(50, window.Width);
    const test::RgbImage copy = test::DecodePngWithLibpng(ReadBytes(window.Path));
    EXPECT_EQ(50, copy.width);
    EXPECT_EQ(static_cast<std::int64_t>(ReadBytes(window.Path).size()), window.FileBytes);
    EXPECT_EQ(20, DecodeThumbnail(store->Thumbnail(window.Id)).Height);
}

// A stop that finds the queue still full ends the thread once the record in hand is stored:
// nothing is written or told after it returns, and nothing is taken.
TEST_F(HistoryWriterTest, NoEventNorWriteAfterStopAndNothingTakenAfterIt) {
    std::atomic<int> events{0};
    THistoryWriterEvents counting;
    counting.OnStored = [&](const THistoryEntry&) { ++events; };
    auto writer = std::make_unique<THistoryWriter>(store, THistoryLimits{}, counting);
    for (int i = 0; i < 20; ++i) writer->Submit({Entry(i, L"clipboard"), Picture(800, 600), true});
    writer->Stop(0);
    const int atStop = events.load();
    const std::size_t storedAtStop = store->Count();
    EXPECT_GT(20u, storedAtStop) << "the stop came before the queue ran out";
    writer->Submit({Entry(99, L"png"), TPixels(), false});  // refused once stopped
    writer.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(storedAtStop, store->Count()) << "the thread had ended";
    EXPECT_EQ(atStop, events.load());
    for (const THistoryEntry& entry : store->Recent(100)) EXPECT_NE(99, entry.TimeUtcMs);
}

TEST(HistoryCopyName, SortsByLocalTimeAndNamesTheTarget) {
    THistoryEntry entry = Entry(1710000000007, L"clipboard");
    entry.UtcOffsetMinutes = 540;
    EXPECT_EQ(L"20240310-010000-007-clipboard.png", THistoryWriter::CopyFileName(entry));
}

}  // namespace
}  // namespace tovasen
