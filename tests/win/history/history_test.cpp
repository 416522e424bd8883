// The history as the main window will use it, in this process: captures recorded through
// THistory land in the prefix's %LOCALAPPDATA%\Tovasen, with copies for the targets that write
// no file, within the retention limits, and survive a damaged or locked database.
#include "history/history.h"

#include <regex>

#include "base/utf_convert.h"
#include "history/history_format.h"
#include "history_fixture.h"
#include "output/image_writers.h"
#include "support/message_boxes.h"

namespace tovasen {
namespace {

using test::HistoryTest;

constexpr TSaveTarget kPNG = TSaveTarget::Png, kMP4 = TSaveTarget::Mp4, kClipboard = TSaveTarget::Clipboard,
                      kPrinter = TSaveTarget::Printer, kFloating = TSaveTarget::Floating;
constexpr TCaptureMode kFullScreen = TCaptureMode::FullScreen, kRegion = TCaptureMode::Region,
                       kActiveWindow = TCaptureMode::ActiveWindow, kColorPick = TCaptureMode::Color;

// A plain top-level window with a title, as a captured window.
class TitledWindow {
public:
    explicit TitledWindow(const wchar_t* title) {
        window_.Reset(CreateWindowExW(0, L"STATIC", title, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    }
    HWND Handle() const { return window_.Get(); }

private:
    UniqueWindow window_;
};

void ExpectPixelsOf(const std::wstring& file, int w, int h, const char* label) {
    const test::DecodedImage decoded = test::DecodeWithGdiplus(file);
    ASSERT_EQ(w, decoded.width) << label;
    ASSERT_EQ(h, decoded.height) << label;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            ASSERT_EQ(test::PictureColor(x, y), decoded.pixels[static_cast<std::size_t>(y * w + x)] & 0xFFFFFF)
                << label << " at " << x << "," << y;
        }
    }
}

TEST_F(HistoryTest, FileClipboardAndFloatingCapturesAreListedNewestFirst) {
    Make();
    TitledWindow editor(L"Käptchur 캡쳐 — editor");
    auto picture = test::Picture(120, 80);
    const std::wstring png = files.Path() + L"shot.png";
    SavePNG(*picture, png);
    RecordAndWait({kActiveWindow, kPNG, png, editor.Handle()}, picture.get());
    RecordAndWait({kFullScreen, kClipboard, L"", editor.Handle()}, picture.get());
    RecordAndWait({kRegion, kFloating, L"", editor.Handle()}, picture.get());

    const std::vector<THistoryEntry> recent = history->Recent(10);
    ASSERT_EQ(3u, recent.size());
    EXPECT_EQ(L"floating", recent[0].Target);
    EXPECT_EQ(L"region", recent[0].Mode);
    EXPECT_EQ(L"clipboard", recent[1].Target);
    EXPECT_EQ(L"png", recent[2].Target);
    EXPECT_EQ(png, recent[2].Path) << "a user's file is listed where it is";
    EXPECT_FALSE(recent[2].IsCopy);
    EXPECT_EQ(static_cast<std::int64_t>(test::ReadFileBytes(png).size()), recent[2].FileBytes);
    EXPECT_EQ(1u, history->Recent(1).size());

    // The lines of "tovasen-cmd history": local time with its offset, target, path, title.
    const std::wregex line(LR"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d\t(\w+)\t([^\t]*)\t(.*))");
    for (const THistoryEntry& entry : recent) {
        std::wsmatch match;
        const std::wstring text = HistoryLine(entry);
        ASSERT_TRUE(std::regex_match(text, match, line)) << WideToUtf8(text);
        EXPECT_EQ(entry.Target, match[1].str());
        EXPECT_EQ(entry.Path, match[2].str());
        EXPECT_EQ(L"Käptchur 캡쳐 — editor", match[3].str());
        EXPECT_EQ(120, entry.Width);
        EXPECT_FALSE(entry.ProcessName.empty());
    }

    // The clipboard and floating captures are kept as PNG copies of exactly the captured pixels.
    const std::wstring copies = folder + L"\\History\\";
    for (int i : {0, 1}) {
        EXPECT_TRUE(recent[i].IsCopy);
        EXPECT_EQ(copies, recent[i].Path.substr(0, copies.size()));
        ExpectPixelsOf(recent[i].Path, 120, 80, WideToUtf8(recent[i].Target).c_str());
    }
    EXPECT_EQ(2u, test::FilesIn(folder + L"\\History\\").size());
    EXPECT_TRUE(test::FileExists(folder + L"\\history.db"));
    EXPECT_TRUE(notices.empty());
}

TEST_F(HistoryTest, CopiesHoldThePixelsOfEveryBitmapFormat) {
    Make();
    const struct {
        TPixelFormat format;
        const char* label;
    } cases[] = {{TPixelFormat::pf32bit, "32-bit"}, {TPixelFormat::pf24bit, "24-bit"}, {TPixelFormat::pfDevice, "device"}};
    for (const auto& c : cases) {
        auto picture = test::Picture(37, 23, c.format);
        RecordAndWait({kFullScreen, kPrinter, L"", nullptr}, picture.get());
        ExpectPixelsOf(history->Recent(1).at(0).Path, 37, 23, c.label);
        EXPECT_FALSE(history->Store().Thumbnail(history->Recent(1).at(0).Id).empty()) << c.label;
    }
}

TEST_F(HistoryTest, RecordingsAreListedAndColourPicksAreNot) {
    Make();
    const std::wstring video = files.Path() + L"rec.mp4";
    test::WriteFileBytes(video, std::vector<std::uint8_t>(5000, 1));
    RecordAndWait({kFullScreen, kMP4, video, nullptr}, nullptr);
    auto pixel = test::Picture(1, 1);
    RecordAndWait({kColorPick, kClipboard, L"", nullptr}, pixel.get());
    RecordAndWait({kFullScreen, kClipboard, L"", nullptr}, nullptr);  // nothing to keep
    const std::vector<THistoryEntry> recent = history->Recent(10);
    ASSERT_EQ(1u, recent.size());
    EXPECT_EQ(L"mp4", recent[0].Target);
    EXPECT_EQ(5000, recent[0].FileBytes);
}

TEST_F(HistoryTest, RetentionDropsTheOldestRowsAndTheirCopies) {
    THistorySettings settings;
    settings.Limits.MaxEntries = 3;
    Make(settings);
    auto picture = test::Picture(16, 16);
    std::vector<std::wstring> copies;
    for (int i = 0; i < 5; ++i) {
        RecordAndWait({kFullScreen, kClipboard, L"", nullptr}, picture.get());
        copies.push_back(history->Recent(1).at(0).Path);
    }
    const std::vector<THistoryEntry> recent = history->Recent(10);
    ASSERT_EQ(3u, recent.size());
    EXPECT_EQ(copies[4], recent[0].Path);
    EXPECT_EQ(copies[2], recent[2].Path);
    EXPECT_FALSE(test::FileExists(copies[0]));
    EXPECT_FALSE(test::FileExists(copies[1]));
    EXPECT_EQ(3u, test::FilesIn(folder + L"\\History\\").size());
}

TEST_F(HistoryTest, SettingsAreClampedAndKeepHistoryOffRecordsNothing) {
    TConfig config;
    const struct {
        int entries, megabytes;
        std::size_t expectEntries;
        std::int64_t expectBytes;
    } cases[] = {{3, 1, 10, 16LL << 20}, {999999, 99999999, 100000, 1048576LL << 20}, {250, 64, 250, 64LL << 20}};
    for (const auto& c : cases) {
        config.WriteInteger(L"history_max_entries", c.entries);
        config.WriteInteger(L"history_max_copy_mb", c.megabytes);
        const THistorySettings settings = THistory::StoredSettings();
        EXPECT_EQ(c.expectEntries, settings.Limits.MaxEntries) << c.entries;
        EXPECT_EQ(c.expectBytes, settings.Limits.MaxCopyBytes) << c.megabytes;
    }
    config.WriteString(L"history_max_entries", L"many");  // the wrong type reads as the default
    EXPECT_EQ(1000u, THistory::StoredSettings().Limits.MaxEntries);
    EXPECT_TRUE(THistory::StoredSettings().Keep);

    Make().SetKeep(false);
    EXPECT_FALSE(THistory::StoredSettings().Keep);
    auto picture = test::Picture(8, 8);
    RecordAndWait({kFullScreen, kClipboard, L"", nullptr}, picture.get());
    EXPECT_TRUE(history->Recent(10).empty());
    history->SetKeep(true);
    EXPECT_TRUE(THistory::StoredSettings().Keep);
}

TEST_F(HistoryTest, ACorruptDatabaseIsSetAsideWithOneNotice) {
    CreateDirectoryW(folder.c_str(), nullptr);
    test::WriteFileBytes(folder + L"\\history.db", std::vector<std::uint8_t>(4096, 0x5A));
    Make();
    auto picture = test::Picture(16, 16);
    RecordAndWait({kFullScreen, kClipboard, L"", nullptr}, picture.get());
    RecordAndWait({kFullScreen, kPNG, L"", nullptr}, picture.get());
    EXPECT_EQ(2u, history->Recent(10).size()) << "captures go on being recorded";
    ASSERT_EQ(1u, notices.size());
    EXPECT_EQ(0u, notices[0].find(L"캡쳐 기록을 읽을 수 없어 새로 시작합니다.")) << WideToUtf8(notices[0]);
    int aside = 0;
    for (const std::wstring& name : test::FilesIn(folder + L"\\")) {
        if (name.find(L".aside") != std::wstring::npos) {
            ++aside;
            EXPECT_EQ(4096u, test::ReadFileBytes(folder + L"\\" + name).size()) << "kept as it was";
        }
    }
    EXPECT_EQ(1, aside);
}

TEST_F(HistoryTest, ADatabaseHeldByAnotherProgramIsReportedNotSetAside) {
    auto picture = test::Picture(16, 16);
    Make();
    RecordAndWait({kFullScreen, kClipboard, L"", nullptr}, picture.get());
    history.reset();
    {
        // Another program holds the file without sharing it at all: a passing state, not damage.
        UniqueFile holder(CreateFileW((folder + L"\\history.db").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder);
        Make();
        RecordAndWait({kFullScreen, kFloating, L"", nullptr}, picture.get());
        RecordAndWait({kFullScreen, kPrinter, L"", nullptr}, picture.get());
        ASSERT_EQ(1u, notices.size()) << "one notice, however many captures";
        EXPECT_EQ(0u, notices[0].find(L"캡쳐 기록에 저장하지 못했습니다.")) << WideToUtf8(notices[0]);
        EXPECT_EQ(folder + L"\\history.db", history->Store().DatabasePath()) << "no file of its own instead";
        EXPECT_EQ(1u, test::FilesIn(folder + L"\\History\\").size()) << "copies of entries not stored are not left";
        history.reset();
    }
    Make();
    const std::vector<THistoryEntry> after = history->Recent(10);
    ASSERT_EQ(1u, after.size()) << "the history goes on in its own file, as it was";
    EXPECT_EQ(L"clipboard", after[0].Target);
    for (const std::wstring& name : test::FilesIn(folder + L"\\")) {
        EXPECT_EQ(std::wstring::npos, name.find(L".aside")) << WideToUtf8(name);
        EXPECT_NE(0u, name.find(L"history-")) << WideToUtf8(name);
    }
}

TEST_F(HistoryTest, ClearHistoryAsksFirst) {
    Make();
    auto picture = test::Picture(16, 16);
    RecordAndWait({kFullScreen, kClipboard, L"", nullptr}, picture.get());
    {
        test::MessageBoxAnswerer no(IDNO);
        EXPECT_FALSE(history->ConfirmAndClear());
        ASSERT_EQ(1u, no.Texts().size());
        EXPECT_NE(std::wstring::npos, no.Texts()[0].find(L"편집기에서 저장한 표시를 더 이상 지울 수 없게 됩니다."))
            << "the question says what else goes";
    }
    ASSERT_TRUE(history->WaitIdle(30000));
    EXPECT_EQ(1u, history->Recent(10).size());
    {
        test::MessageBoxAnswerer yes(IDYES);
        EXPECT_TRUE(history->ConfirmAndClear());
    }
    ASSERT_TRUE(history->WaitIdle(30000));
    EXPECT_TRUE(history->Recent(10).empty());
    EXPECT_TRUE(test::FilesIn(folder + L"\\History\\").empty());
}

}  // namespace
}  // namespace tovasen
