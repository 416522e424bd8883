// The history window in this process: the grid newest first with its thumbnails, the search
// that narrows it as the user types, and each entry's commands.
#include "history/frm_history.h"
#include "i18n/translate_component.h"
#include "i18n/translation.h"

#include "history/history_format.h"
#include "history_fixture.h"
#include "output/float_list.h"
#include "output/image_writers.h"
#include "support/message_boxes.h"
#include "support/process.h"

namespace tovasen {
namespace {

constexpr TSaveTarget kPNG = TSaveTarget::Png, kClipboard = TSaveTarget::Clipboard, kFloating = TSaveTarget::Floating;

class HistoryWindowTest : public test::HistoryTest {
protected:
    void SetUp() override {
        HistoryTest::SetUp();
        Make();
        history->Shell.Open = [this](const std::wstring& path) { opened.push_back(path); };
        history->Shell.ShowInFolder = [this](const std::wstring& path) { shown.push_back(path); };
    }
    // A plain-coloured capture to the clipboard, recorded under a window with that title.
    void AddCapture(const wchar_t* title, std::uint32_t color, TSaveTarget target = kClipboard, const std::wstring& file = {}) {
        UniqueWindow window(CreateWindowExW(0, L"STATIC", title, WS_POPUP, 0, 0, 8, 8, nullptr, nullptr, nullptr, nullptr));
        auto picture = test::Picture(160, 100, TPixelFormat::pf32bit, color);
        if (!file.empty()) SavePNG(*picture, file);
        RecordAndWait({TCaptureMode::FullScreen, target, file, window.Get()}, picture.get());
    }
    TFrmHistory& Open() {
        history->ShowWindow();
        test::PumpMessages();
        return *history->Window();
    }
    // Types text into the search box as the keyboard would: one character message at a time.
    static void Type(TFrmHistory& window, const std::wstring& text) {
        for (wchar_t c : text) SendMessageW(window.EditSearch->Handle(), WM_CHAR, c, 0);
    }
    std::vector<std::wstring> Titles(TFrmHistory& window) {
        std::vector<std::wstring> titles;
        for (std::size_t i = 0; i < window.ShownCount(); ++i) titles.push_back(window.Shown(i).WindowTitle);
        return titles;
    }

    std::vector<std::wstring> opened, shown;
};

TEST_F(HistoryWindowTest, NewestFirstWithThumbnailsAndSearchAsYouType) {
    AddCapture(L"Alpha report", 0xFF0000);
    AddCapture(L"Beta chart", 0x00FF00);
    AddCapture(L"Alpha chart", 0x0000FF);
    TFrmHistory& window = Open();
    ASSERT_TRUE(window.Visible());
    EXPECT_EQ((std::vector<std::wstring>{L"Alpha chart", L"Beta chart", L"Alpha report"}), Titles(window));

    // The first cell shows the newest capture's thumbnail: blue, read back from the screen.
    const RECT cell = window.GrdHistory->ItemRect(0);
    POINT centre{(cell.left + cell.right) / 2, cell.top + (cell.bottom - cell.top) * 2 / 5};
    ClientToScreen(window.GrdHistory->Handle(), &centre);
    ASSERT_TRUE(test::WaitUntil([&] {
        WindowDC screen(nullptr);
        const COLORREF color = GetPixel(screen.Get(), centre.x, centre.y);
        return GetBValue(color) > 200 && GetRValue(color) < 60 && GetGValue(color) < 60;
    })) << "no blue thumbnail at " << centre.x << "," << centre.y;

    Type(window, L"alpha");
    EXPECT_EQ((std::vector<std::wstring>{L"Alpha chart", L"Alpha report"}), Titles(window));
    Type(window, L" CHART");
    EXPECT_EQ((std::vector<std::wstring>{L"Alpha chart"}), Titles(window));
    SendMessageW(window.EditSearch->Handle(), EM_SETSEL, 0, -1);
    SendMessageW(window.EditSearch->Handle(), WM_CHAR, VK_BACK, 0);
    EXPECT_EQ(3u, window.ShownCount());
    Type(window, L"clipboard 20");  // the target and the date are searched too
    EXPECT_EQ(3u, window.ShownCount());
    Type(window, L"xyz");
    EXPECT_EQ(0u, window.ShownCount());
    // Nothing to show: the grid says so in its middle instead of staying blank.
    RECT grid{};
    GetClientRect(window.GrdHistory->Handle(), &grid);
    EXPECT_TRUE(test::WaitUntil([&] {
        WindowDC dc(window.GrdHistory->Handle());
        const COLORREF background = GetSysColor(COLOR_WINDOW);
        for (int x = grid.right / 3; x < grid.right * 2 / 3; ++x) {
            for (int y = grid.bottom / 2 - 8; y < grid.bottom / 2 + 8; ++y) {
                if (GetPixel(dc.Get(), x, y) != background) return true;
            }
        }
        return false;
    })) << "no text in the empty grid";

    // A capture stored while the window is open appears in it.
    SendMessageW(window.EditSearch->Handle(), EM_SETSEL, 0, -1);
    SendMessageW(window.EditSearch->Handle(), WM_CHAR, VK_BACK, 0);
    AddCapture(L"Gamma", 0x808080, kFloating);
    ASSERT_TRUE(test::WaitUntil([&] { return window.ShownCount() == 4; }));
    EXPECT_EQ(L"Gamma", window.Shown(0).WindowTitle);

    // Closing hides it; showing it again is the same window.
    window.Close();
    EXPECT_FALSE(window.Visible());
    history->ShowWindow();
    EXPECT_EQ(&window, history->Window());
    EXPECT_TRUE(window.Visible());

    // A language chosen in the menu reaches the open window too, and back (with the program's
    // own table).
    test::UseProgramTranslations();
    ChangeLanguage(L"en");
    EXPECT_EQ(L"Capture History", window.Caption());
    ChangeLanguage(L"ko");
    EXPECT_EQ(L"캡쳐 기록", window.Caption());
    TranslationTable.clear();
}

TEST_F(HistoryWindowTest, AnEditedPictureIsDrawnAsEditedNeverAsItWas) {
    auto picture = test::Picture(160, 100, TPixelFormat::pf32bit, 0x0000FF);
    const THistory::TEntryRef entry = history->Record({TCaptureMode::FullScreen, kFloating, L"", nullptr}, picture.get());
    ASSERT_TRUE(history->WaitIdle(30000));
    TFrmHistory& window = Open();
    const auto centreIs = [&](std::uint32_t rgb) {
        return test::WaitUntil([&] {
            test::PumpMessages();
            const RECT cell = window.GrdHistory->ItemRect(0);
            POINT centre{(cell.left + cell.right) / 2, cell.top + (cell.bottom - cell.top) * 2 / 5};
            ClientToScreen(window.GrdHistory->Handle(), &centre);
            WindowDC screen(nullptr);
            const COLORREF color = GetPixel(screen.Get(), centre.x, centre.y);
            const int want[] = {static_cast<int>(rgb >> 16), static_cast<int>((rgb >> 8) & 0xFF), static_cast<int>(rgb & 0xFF)};
            return std::abs(GetRValue(color) - want[0]) < 60 && std::abs(GetGValue(color) - want[1]) < 60 &&
                   std::abs(GetBValue(color) - want[2]) < 60;
        });
    };
    ASSERT_TRUE(centreIs(0x0000FF)) << "the thumbnail as captured";
    auto edited = test::Picture(160, 100, TPixelFormat::pf32bit, 0xFF0000);
    history->PictureEdited(entry, *edited);  // the window shown meanwhile, its thumbnail read once
    ASSERT_TRUE(history->WaitIdle(30000));
    EXPECT_TRUE(centreIs(0xFF0000)) << "the open window draws the edited picture";
}

TEST_F(HistoryWindowTest, ALongHistoryShowsItsFirstPageAtOnceAndTheRestSoonAfter) {
    for (int i = 0; i < 250; ++i) {
        THistoryEntry entry;
        entry.TimeUtcMs = 1700000000000 + i * 1000LL;
        entry.Target = L"png";
        entry.WindowTitle = i == 0 ? L"The oldest" : L"Entry " + std::to_wstring(i);
        history->Store().Add(entry, {});
    }
    TFrmHistory& window = Open();
    EXPECT_EQ(L"Entry 249", window.Shown(0).WindowTitle);
    ASSERT_TRUE(test::WaitUntil([&] { return window.Complete(); }));
    EXPECT_EQ(250u, window.ShownCount());
    Type(window, L"oldest");
    EXPECT_EQ((std::vector<std::wstring>{L"The oldest"}), Titles(window)) << "beyond the first page too";

    // Deleting while the rest is on its way: the rest that arrives no longer holds it.
    SendMessageW(window.EditSearch->Handle(), EM_SETSEL, 0, -1);
    SendMessageW(window.EditSearch->Handle(), WM_CHAR, VK_BACK, 0);
    window.Reload();
    window.DeleteItem(0);
    ASSERT_TRUE(test::WaitUntil([&] { return window.Complete(); }));
    EXPECT_EQ(249u, window.ShownCount());
    EXPECT_EQ(L"Entry 248", window.Shown(0).WindowTitle);
}

TEST_F(HistoryWindowTest, OpenShowCopyPinAndEditReachTheirTargets) {
    const std::wstring own = files.Path() + L"own.png";
    AddCapture(L"Own file", 0x336699, kPNG, own);
    TFloatList floats([] { return TFloatingSaveOptions{}; });
    history->FloatList = &floats;
    std::vector<std::wstring> edited;
    TFrmHistory& window = Open();

    window.OpenItem(0);
    window.ShowItemInFolder(0);
    EXPECT_EQ((std::vector<std::wstring>{own}), opened);
    EXPECT_EQ((std::vector<std::wstring>{own}), shown);

    OpenClipboard(nullptr);
    EmptyClipboard();
    CloseClipboard();
    window.CopyItem(0);
    ASSERT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));
    ASSERT_TRUE(OpenClipboard(nullptr));
    BITMAP info{};
    GetObjectW(GetClipboardData(CF_BITMAP), sizeof(info), &info);
    CloseClipboard();
    EXPECT_EQ(160, info.bmWidth);
    EXPECT_EQ(100, info.bmHeight);

    window.PinItem(0);
    ASSERT_EQ(1u, floats.Count());
    EXPECT_EQ(160, floats[0]->Image().Width());
    EXPECT_EQ(0x99u, floats[0]->Image().ScanLine(50)[0]) << "the pinned picture is the file's";

    window.EditItem(0);  // no editor: nothing happens
    history->OnEdit = [&](const std::wstring& path) { edited.push_back(path); };
    window.EditItem(0);
    EXPECT_EQ((std::vector<std::wstring>{own}), edited);

    // A file that has gone: the user is told, nothing is opened.
    DeleteFileW(own.c_str());
    test::MessageBoxAnswerer ok;
    window.OpenItem(0);
    EXPECT_EQ(1u, ok.Texts().size());
    EXPECT_EQ(1u, opened.size());
}

TEST_F(HistoryWindowTest, DeleteRemovesCopiesAndAsksForTheUsersOwnFiles) {
    const std::wstring kept = files.Path() + L"kept.png", recycled = files.Path() + L"recycled.png";
    AddCapture(L"Copy", 0x111111);
    AddCapture(L"Kept", 0x222222, kPNG, kept);
    AddCapture(L"Recycled", 0x333333, kPNG, recycled);
    TFrmHistory& window = Open();
    const std::wstring copy = window.Shown(2).Path;
    ASSERT_TRUE(test::FileExists(copy));

    {
        test::MessageBoxAnswerer cancel(IDCANCEL);
        window.DeleteItem(0);
        EXPECT_EQ(1u, cancel.Texts().size());
    }
    EXPECT_EQ(3u, window.ShownCount());
    EXPECT_TRUE(test::FileExists(recycled));
    {
        test::MessageBoxAnswerer yes(IDYES);
        window.DeleteItem(0);
    }
    EXPECT_FALSE(test::FileExists(recycled));
    {
        test::MessageBoxAnswerer no(IDNO);
        window.DeleteItem(0);
    }
    EXPECT_TRUE(test::FileExists(kept)) << "only the entry went";
    {
        test::MessageBoxAnswerer none;
        window.DeleteItem(0);  // a history copy: no question
        EXPECT_TRUE(none.Texts().empty());
    }
    EXPECT_FALSE(test::FileExists(copy));
    EXPECT_EQ(0u, window.ShownCount());
    EXPECT_TRUE(history->Recent(10).empty());
}

}  // namespace
}  // namespace tovasen
