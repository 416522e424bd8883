// What the history keeps after an edit and after a clear, read the way someone looking for what
// was taken away would: the bytes of every file in the history folder, and the database through
// the machine's own sqlite3.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <future>

#include "base/config.h"
#include "base/utf_convert.h"
#include "editor/editor_entry.h"
#include "history_fixture.h"
#include "linux_sqlite.h"
#include "support/commands.h"
#include "support/input.h"
#include "support/pattern_window.h"
#include "support/process.h"
#include "support/program.h"
#include "support/wait_for.h"

namespace tovasen {
namespace {

using test::HistoryTest;

constexpr TCaptureMode kFullScreen = TCaptureMode::FullScreen;
constexpr TSaveTarget kClipboard = TSaveTarget::Clipboard, kFloating = TSaveTarget::Floating;
constexpr int kW = 240, kH = 160;  // within a thumbnail's side: the thumbnail has the same pixels

using Bytes = std::vector<std::uint8_t>;

// Every file below folder (sub-folders too), by path.
std::vector<std::wstring> FilesBelow(const std::wstring& folder) {
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            for (const std::wstring& inner : FilesBelow(path)) files.push_back(inner);
        } else {
            files.push_back(path);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return files;
}

// The files below folder whose bytes hold needle anywhere.
std::vector<std::string> FilesHolding(const std::wstring& folder, const Bytes& needle) {
    std::vector<std::string> holding;
    for (const std::wstring& file : FilesBelow(folder)) {
        const Bytes bytes = test::ReadFileBytes(file);
        if (std::search(bytes.begin(), bytes.end(), needle.begin(), needle.end()) != bytes.end()) {
            holding.push_back(WideToUtf8(file));
        }
    }
    return holding;
}

// 64 bytes from the middle: compressed picture data, found nowhere by chance.
Bytes Middle(const Bytes& bytes) {
    const std::size_t at = bytes.size() / 2;
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin() + static_cast<std::ptrdiff_t>(at + 64));
}

std::string Hex(const Bytes& bytes) {
    std::string hex;
    char digits[3];
    for (const std::uint8_t b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", b);
        hex += digits;
    }
    return hex;
}

DWORD LinkCount(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    BY_HANDLE_FILE_INFORMATION information{};
    GetFileInformationByHandle(file, &information);
    CloseHandle(file);
    return information.nNumberOfLinks;
}

bool Dark(std::uint32_t pixel) {
    return ((pixel >> 16) & 0xFF) < 0x30 && ((pixel >> 8) & 0xFF) < 0x30 && (pixel & 0xFF) < 0x30;
}

bool Near(std::uint32_t pixel, std::uint32_t want) {
    for (int shift : {0, 8, 16}) {
        if (std::abs(static_cast<int>((pixel >> shift) & 0xFF) - static_cast<int>((want >> shift) & 0xFF)) > 40) return false;
    }
    return true;
}

TEST_F(HistoryTest, AnEditFromTheHistoryIsWhatItKeepsAndThePictureAsItWasIsErased) {
    Make();
    auto picture = test::Picture(kW, kH);
    RecordAndWait({kFullScreen, kClipboard, L"", nullptr}, picture.get());
    const THistoryEntry entry = history->Recent(1).at(0);
    ASSERT_TRUE(entry.IsCopy);
    const Bytes oldThumbnail = Middle(history->Store().Thumbnail(entry.Id));
    const Bytes oldCopy = Middle(test::ReadFileBytes(entry.Path));
    ASSERT_FALSE(FilesHolding(folder, oldThumbnail).empty()) << "the scan finds the thumbnail as it is kept";
    ASSERT_FALSE(FilesHolding(folder, oldCopy).empty()) << "the scan finds the copy";

    // As the history window's "edit" opens it: a blackout over the middle, saved, closed.
    std::vector<bool> closed;
    const std::function<void(bool)> follow = history->FollowFileEdit(entry.Path);
    TFrmEditor& editor = EditFile(entry.Path, [&](bool saved) {
        follow(saved);
        closed.push_back(saved);
    });
    const std::vector<std::wstring> links = test::FilesIn(folder + L"\\History\\*.before-edit");
    ASSERT_EQ(1u, links.size()) << "the copy as it was keeps a second name while the editor is open";
    const std::wstring before = folder + L"\\History\\" + links[0];
    EXPECT_EQ(2u, LinkCount(before));
    const HWND window = editor.Handle();
    SetForegroundWindow(window);
    SetFocus(editor.Canvas().Handle());
    test::Settle(300);
    test::PressKey('B');
    test::DragInWindow(editor.Canvas().Handle(), {40, 30}, {200, 130});
    test::PressKey('S', {VK_CONTROL});
    editor.Close();
    ASSERT_TRUE(test::WaitUntil([&] { return !IsWindow(window); }));
    ASSERT_EQ(std::vector<bool>{true}, closed);
    ASSERT_TRUE(history->WaitIdle(30000));
    EXPECT_FALSE(test::FileExists(before)) << "erased once the entry followed";

    const test::DecodedImage copy = test::DecodeWithGdiplus(entry.Path);
    ASSERT_EQ(kW, copy.width);
    EXPECT_TRUE(Dark(copy.pixels[80 * kW + 120])) << "the copy is the edited picture";
    history.reset();  // the database closed, its log folded in: another program reads it whole

    const std::wstring thumbnailFile = files.Path() + L"thumbnail.jpg";
    const std::string unixThumbnail = test::UnixPathOf(thumbnailFile);
    ASSERT_FALSE(unixThumbnail.empty()) << "not under Wine";
    const test::SqliteOutput read = test::LinuxSqlite(
        folder + L"\\history.db", "SELECT count(*) FROM thumbnails WHERE instr(jpeg, x'" + Hex(oldThumbnail) +
                                      "') > 0; SELECT writefile('" + unixThumbnail + "', jpeg) > 0 FROM thumbnails "
                                      "WHERE entry_id = " + std::to_string(entry.Id) + ";");
    ASSERT_TRUE(read.ok) << "/usr/bin/sqlite3 did not run (scripts/setup.sh installs it)";
    EXPECT_EQ("0\n1\n", read.text) << "no blob holds the thumbnail as it was; the entry has one";
    const test::DecodedImage thumbnail = test::DecodeWithGdiplus(thumbnailFile);
    ASSERT_EQ(kW, thumbnail.width);
    ASSERT_EQ(kH, thumbnail.height);
    EXPECT_TRUE(Dark(thumbnail.pixels[80 * kW + 120])) << "the thumbnail is the edited picture";
    EXPECT_TRUE(Near(thumbnail.pixels[10 * kW + 10], test::PictureColor(10, 10))) << "outside the blackout, the picture";

    EXPECT_EQ(std::vector<std::string>{}, FilesHolding(folder, oldThumbnail)) << "database, log or any other file";
    EXPECT_EQ(std::vector<std::string>{}, FilesHolding(folder, oldCopy));
}

TEST_F(HistoryTest, AFloatingWindowsEditReachesItsEntryStoredOrNot) {
    Make();
    for (const bool storedFirst : {true, false}) {
        SCOPED_TRACE(storedFirst ? "edited once stored" : "edited while still being stored");
        auto picture = test::Picture(kW, kH);
        const THistory::TEntryRef entry = history->Record({kFullScreen, kFloating, L"", nullptr}, picture.get());
        ASSERT_TRUE(entry);
        Bytes oldThumbnail, oldCopy;
        if (storedFirst) {
            ASSERT_TRUE(history->WaitIdle(30000));
            oldThumbnail = Middle(history->Store().Thumbnail(*entry));
            oldCopy = Middle(test::ReadFileBytes(history->Store().Find(*entry)->Path));
        }
        // Cropped and blacked out in the window's editor.
        auto edited = test::Picture(100, 50, TPixelFormat::pf32bit, 0x000000);
        history->PictureEdited(entry, *edited);
        ASSERT_TRUE(history->WaitIdle(30000));
        const std::optional<THistoryEntry> kept = history->Store().Find(*entry);
        ASSERT_TRUE(kept);
        EXPECT_EQ(100, kept->Width);
        EXPECT_EQ(50, kept->Height);
        const test::DecodedImage copy = test::DecodeWithGdiplus(kept->Path);
        ASSERT_EQ(100, copy.width);
        EXPECT_TRUE(Dark(copy.pixels[25 * 100 + 50])) << "the copy is what the window shows";
        EXPECT_EQ(static_cast<std::int64_t>(test::ReadFileBytes(kept->Path).size()), kept->FileBytes);
        const TPixels thumbnail = DecodeThumbnail(history->Store().Thumbnail(*entry));
        ASSERT_EQ(100, thumbnail.Width);
        EXPECT_LT(thumbnail.Bytes[(25 * 100 + 50) * 4], 0x30);
        if (storedFirst) {
            EXPECT_EQ(std::vector<std::string>{}, FilesHolding(folder, oldThumbnail));
            EXPECT_EQ(std::vector<std::string>{}, FilesHolding(folder, oldCopy));
        }
    }
}

// Whether any file below folder starts a PNG or a JPEG anywhere in its bytes.
std::vector<std::string> FilesWithPictures(const std::wstring& folder) {
    std::vector<std::string> found;
    for (const Bytes& signature : {Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, Bytes{0xFF, 0xD8, 0xFF}}) {
        for (const std::string& file : FilesHolding(folder, signature)) found.push_back(file);
    }
    return found;
}

// Tovasen running as a program of its own, its history in the prefix's own folder.
class HistoryProgram : public test::ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        test::RemoveTree(history);
    }
    void TearDown() override {
        if (program) {
            PostMessageW(test::MainWindowOf(*program), WM_USER, 2, 0);
            program->WaitForExit(10000);
        }
        test::RemoveTree(history);
        ProgramTest::TearDown();
    }
    void Start(TCaptureMode area, TSaveTarget target) {
        TConfig config;
        config.WriteInteger(L"area", StoredIndex(area));
        config.WriteInteger(L"saveto", StoredIndex(target));
        program = test::StartTovasen(L"/start", false);
    }
    // Ends the program: its history's writer finishes first, and the database is whole on disk.
    void Exit() {
        PostMessageW(test::MainWindowOf(*program), WM_USER, 2, 0);
        ASSERT_TRUE(program->WaitForExit(10000));
        program.reset();
    }
    // The path of the newest entry of that target once "tovasen-cmd history" lists it.
    std::wstring ListedCopy(const std::wstring& target) {
        std::wstring path;
        const std::wstring field = L"\t" + target + L"\t";
        test::WaitUntil([&] {
            const std::wstring out = test::RunCmd(L"--utf8 history").out;
            const std::size_t at = out.find(field);
            if (at != std::wstring::npos) path = out.substr(at + field.size(), out.find(L'\t', at + field.size()) - at - field.size());
            return !path.empty();
        }, 30000);
        return path;
    }
    // In the program's editor, as a user: a blackout from a to b, then key (with held).
    void BlackoutInEditor(POINT a, POINT b, WORD key, std::initializer_list<WORD> held) {
        HWND editor = nullptr, canvas = nullptr;
        ASSERT_TRUE(test::WaitUntil([&] {
            editor = test::FindProcessWindow(program->Id(), L"TFrmEditor");
            canvas = editor ? FindWindowExW(editor, nullptr, L"TEditorCanvas", nullptr) : nullptr;
            return canvas != nullptr && IsWindowVisible(editor);
        }, 20000));
        SetForegroundWindow(editor);
        test::Settle(300);
        test::DragInWindow(canvas, {5, 5}, {5, 5});  // a click: the canvas has the focus
        test::PressKey('B');
        test::DragInWindow(canvas, a, b);
        test::PressKey(key, held);
    }
    // The one thumbnail of the database, as the machine's sqlite3 writes it out.
    test::DecodedImage OnlyThumbnail() {
        const std::wstring file = folder.Path() + L"thumbnail.jpg";
        const test::SqliteOutput read = test::LinuxSqlite(
            history + L"\\history.db", "SELECT writefile('" + test::UnixPathOf(file) + "', jpeg) > 0 FROM thumbnails;");
        EXPECT_TRUE(read.ok) << "/usr/bin/sqlite3 did not run (scripts/setup.sh installs it)";
        EXPECT_EQ("1\n", read.text);
        return read.ok ? test::DecodeWithGdiplus(file) : test::DecodedImage();
    }

    const std::wstring history = THistory::DefaultHistoryFolder();
    std::unique_ptr<test::ChildProcess> program;
};

TEST_F(HistoryProgram, AScriptsClearLeavesNoPictureInTheHistoryFolder) {
    Start(kFullScreen, kClipboard);  // the history keeps a copy and a thumbnail of each
    for (int i = 0; i < 2; ++i) ASSERT_EQ(0u, test::RunCmd(L"capture").exitCode);
    ASSERT_TRUE(test::WaitUntil([&] {
        const test::CmdResult listed = test::RunCmd(L"history");
        return std::count(listed.out.begin(), listed.out.end(), L'\n') == 1;  // two lines, the last one's end removed
    }, 30000));
    // A database set aside earlier, with its log, and a picture of the editor's private store.
    const Bytes pictures = {'S', 'Q', 'L', 'i', 't', 'e', 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0xFF, 0xD8, 0xFF, 0xE0};
    test::WriteFileBytes(history + L"\\history.db.20240101-000000-1.aside", pictures);
    test::WriteFileBytes(history + L"\\history.db.20240101-000000-1.aside-wal", pictures);
    CreateDirectoryW((history + L"\\edit-store").c_str(), nullptr);
    test::WriteFileBytes(history + L"\\edit-store\\base-1.png", pictures);
    ASSERT_LE(5u, FilesWithPictures(history).size()) << "the scan finds the copies and the planted files";

    const test::CmdResult cleared = test::RunCmd(L"history --clear");
    EXPECT_EQ(0u, cleared.exitCode) << WideToUtf8(cleared.err);
    EXPECT_EQ(L"2", cleared.out) << "how many entries went";
    EXPECT_EQ(std::vector<std::string>{}, FilesWithPictures(history)) << "no picture in any file, database or log";
    EXPECT_FALSE(test::FileExists(history + L"\\history.db.20240101-000000-1.aside"));
    const test::CmdResult after = test::RunCmd(L"history");
    EXPECT_EQ(0u, after.exitCode);
    EXPECT_TRUE(after.out.empty()) << WideToUtf8(after.out);
    EXPECT_EQ(64u, test::RunCmd(L"history --clear --limit 3").exitCode);
}

// A floating window's "edit": Done puts the picture back into the window, and the history's
// copy and thumbnail follow it.
TEST_F(HistoryProgram, AFloatingWindowsEditReachesItsEntry) {
    test::PatternWindow white(100, 50, 300, 200, true);
    Start(TCaptureMode::ActiveWindow, kFloating);
    SetForegroundWindow(white.Handle());
    test::PumpMessages();
    ASSERT_EQ(0u, test::RunCmd(L"capture").exitCode);
    HWND floating = nullptr;
    ASSERT_TRUE(test::WaitUntil([&] { return (floating = test::FindProcessWindow(program->Id(), L"TFrmFloating")) != nullptr; }));
    const std::wstring copy = ListedCopy(L"floating");
    ASSERT_FALSE(Dark(test::DecodeWithGdiplus(copy).pixels.at(100 * 300 + 150)));

    Sleep(300);  // a pause: the X server's events about the new windows come before a menu, which one would close
    PostMessageW(floating, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(floating), MAKELPARAM(120, 80));
    HWND menu = test::WaitForVisibleWindow(program->Id(), L"#32768");
    ASSERT_NE(nullptr, menu) << "the menu did not open";
    for (WPARAM key : {VK_DOWN, VK_DOWN, VK_RETURN}) PostMessageW(menu, WM_KEYDOWN, key, 0);  // "edit"
    BlackoutInEditor({20, 20}, {280, 180}, VK_RETURN, {VK_CONTROL});  // Done
    EXPECT_TRUE(test::WaitUntil([&] {
        const test::DecodedImage now = test::DecodeWithGdiplus(copy);
        return now.width == 300 && Dark(now.pixels[100 * 300 + 150]);
    }, 20000)) << "the copy follows the window";
    Exit();
    const test::DecodedImage thumbnail = OnlyThumbnail();
    ASSERT_EQ(256, thumbnail.width);
    EXPECT_TRUE(Dark(thumbnail.pixels[(thumbnail.height / 2) * 256 + 128])) << "the thumbnail follows the window";
}

// "tovasen-cmd edit" on a history copy: the entry follows the save.
TEST_F(HistoryProgram, AScriptsEditOfACopyReachesItsEntry) {
    Start(kFullScreen, kClipboard);
    ASSERT_EQ(0u, test::RunCmd(L"capture").exitCode);
    const std::wstring copy = ListedCopy(L"clipboard");
    const test::DecodedImage before = test::DecodeWithGdiplus(copy);
    ASSERT_FALSE(Dark(before.pixels.at(40 * before.width + 50))) << "a picture the blackout changes";

    auto edit = std::async(std::launch::async, [&] { return test::RunCmd(L"--utf8 edit \"" + copy + L"\"", 60000); });
    BlackoutInEditor({10, 10}, {90, 70}, 'S', {VK_CONTROL});
    PostMessageW(test::FindProcessWindow(program->Id(), L"TFrmEditor"), WM_CLOSE, 0, 0);
    const test::CmdResult result = edit.get();
    ASSERT_EQ(0u, result.exitCode) << "saved: " << WideToUtf8(result.err);
    Exit();

    const test::DecodedImage after = test::DecodeWithGdiplus(copy);
    ASSERT_EQ(before.width, after.width);
    EXPECT_TRUE(Dark(after.pixels[40 * after.width + 50])) << "the blackout is in the copy";
    const test::DecodedImage thumbnail = OnlyThumbnail();
    ASSERT_GT(thumbnail.width, 0);
    // The thumbnail is the picture scaled to fit 256: the blackout's middle, scaled the same.
    const double scale = static_cast<double>(thumbnail.width) / after.width;
    const int x = static_cast<int>(50 * scale), y = static_cast<int>(40 * scale);
    EXPECT_TRUE(Dark(thumbnail.pixels[y * thumbnail.width + x])) << "the thumbnail follows the edit";
    EXPECT_TRUE(test::FilesIn(history + L"\\History\\*.before-edit").empty());
}

}  // namespace
}  // namespace tovasen
