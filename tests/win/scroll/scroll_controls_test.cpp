// The scrolling capture of real controls no one here wrote: Wine's list box, its multi-line
// edit control, and its notepad in another process. Their pictures are not known beforehand,
// so each row band (an item, a line) is checked to appear exactly once, in order, at the height
// the control's own metrics give, and sampled bands are compared with the control as it shows
// them when scrolled there directly.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "base/handles.h"
#include "scroll/scroll_test_support.h"
#include "scroll/view_grabber.h"
#include "support/files.h"
#include "support/process.h"
#include "support/wait.h"

namespace tovasen {
namespace {

using test::ClientOnScreen;
using test::PixelOf;

std::uint64_t BandHash(const TBitmap& picture, int top, int rows) {
    std::uint64_t hash = 14695981039346656037ull;
    for (int y = top; y < top + rows; ++y) {
        for (int x = 0; x < picture.Width(); ++x) {
            hash ^= PixelOf(picture, x, y);
            hash *= 1099511628211ull;
        }
    }
    return hash;
}

// Whether rows [pictureTop, +rows) of the picture equal rows [viewTop, +rows) of the view on
// the screen now.
bool BandEqualsScreen(const TBitmap& picture, int pictureTop, const ViewPixels& view, int viewTop, int rows) {
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < view.Width(); ++x) {
            if (PixelOf(picture, x, pictureTop + y) != view.At(x, viewTop + y)) return false;
        }
    }
    return true;
}

POINT CentreOf(HWND window) {
    const RECT r = ClientOnScreen(window);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

ViewPixels ScreenView(HWND window) {
    UpdateWindow(window);
    test::WaitUntil([] { return false; }, 150);  // another process paints in its own time
    TViewGrabber grabber(ClientOnScreen(window), [](DWORD ms) { test::WaitUntil([] { return false; }, ms); });
    return grabber.Settle(1000);
}

std::unique_ptr<TBitmap> Capture(HWND window) { return test::CaptureOrFail(CentreOf(window)).Bitmap; }

// A topmost frame for the controls of this process.
class Frame {
public:
    Frame(int width, int height) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TovasenScrollControlFrame";
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
        RegisterClassW(&wc);
        hwnd_.Reset(CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 150,
                                    100, width, height, nullptr, nullptr, wc.hInstance, nullptr));
    }
    HWND Handle() const { return hwnd_.Get(); }

private:
    UniqueWindow hwnd_;
};

std::wstring Numbered(const wchar_t* prefix, int i) {
    wchar_t text[64];
    swprintf(text, 64, L"%ls %03d: %ls", prefix, i, i % 3 == 0 ? L"the quick brown fox" : i % 3 == 1 ? L"jumps over" : L"the lazy dog");
    return text;
}

using ScrollControls = test::ScrollCaptureTest;

TEST_F(ScrollControls, AListBoxOf500ItemsComesOutItemByItem) {
    constexpr int kItems = 500;
    Frame frame(320, 420);
    HWND list = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_BORDER, 10, 10, 300, 400,
                                frame.Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, list);
    for (int i = 1; i <= kItems; ++i) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Numbered(L"Item", i).c_str()));
    SendMessageW(list, LB_SETTOPINDEX, 123, 0);
    test::PumpMessages();

    const int itemHeight = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    RECT client{};
    GetClientRect(list, &client);
    const int page = client.bottom / itemHeight;
    const auto picture = Capture(list);
    ASSERT_NE(nullptr, picture);
    EXPECT_EQ(123, SendMessageW(list, LB_GETTOPINDEX, 0, 0)) << "the list is put back where it was";
    ASSERT_EQ(client.bottom + (kItems - page) * itemHeight, picture->Height()) << "item height " << itemHeight;

    std::set<std::uint64_t> bands;
    for (int i = 0; i < kItems; ++i) bands.insert(BandHash(*picture, i * itemHeight, itemHeight));
    EXPECT_EQ(static_cast<std::size_t>(kItems), bands.size()) << "an item appears twice";
    for (int i : {0, 1, 77, 250, 251, kItems - page - 1, kItems - 1}) {
        const int top = std::min(i, kItems - page);
        SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
        const ViewPixels view = ScreenView(list);
        EXPECT_TRUE(BandEqualsScreen(*picture, i * itemHeight, view, (i - top) * itemHeight, itemHeight)) << "item " << i;
    }
}

// The lines of an edit control (in this process or another) each appear once, in order, and
// sampled lines look as the control shows them.
void CheckEditCapture(HWND edit, int lines) {
    // The line height and the top of the text, from where the control puts its characters.
    const auto charTop = [&](int line) {
        const LRESULT index = SendMessageW(edit, EM_LINEINDEX, static_cast<WPARAM>(line), 0);
        return static_cast<int>(static_cast<short>(HIWORD(SendMessageW(edit, EM_POSFROMCHAR, static_cast<WPARAM>(index), 0))));
    };
    SendMessageW(edit, WM_VSCROLL, SB_BOTTOM, 0);
    const int lastFirst = static_cast<int>(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0));
    SendMessageW(edit, WM_VSCROLL, SB_TOP, 0);
    const int textTop = charTop(0);
    const int lineHeight = charTop(1) - textTop;
    ASSERT_GT(lineHeight, 0);
    ASSERT_GT(lastFirst, 0) << "the edit control must need scrolling";
    SendMessageW(edit, EM_LINESCROLL, 0, 40);
    const int before = static_cast<int>(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0));

    const auto picture = Capture(edit);
    ASSERT_NE(nullptr, picture);
    EXPECT_EQ(before, SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0)) << "put back where it was";
    RECT client{};
    GetClientRect(edit, &client);
    ASSERT_EQ(client.bottom + lastFirst * lineHeight, picture->Height()) << "line height " << lineHeight;

    std::set<std::uint64_t> bands;
    for (int i = 0; i < lines; ++i) bands.insert(BandHash(*picture, textTop + i * lineHeight, lineHeight));
    EXPECT_EQ(static_cast<std::size_t>(lines), bands.size()) << "a line appears twice";
    for (int i : {0, 5, 99, lines / 2, lastFirst, lines - 1}) {
        const int first = std::min(i, lastFirst);
        SendMessageW(edit, WM_VSCROLL, SB_TOP, 0);
        SendMessageW(edit, EM_LINESCROLL, 0, first);
        const ViewPixels view = ScreenView(edit);
        EXPECT_TRUE(BandEqualsScreen(*picture, textTop + i * lineHeight, view, textTop + (i - first) * lineHeight,
                                     lineHeight))
            << "line " << i;
    }
}

std::wstring NumberedLines(const wchar_t* prefix, int lines) {
    std::wstring text;
    for (int i = 1; i <= lines; ++i) text += Numbered(prefix, i) + (i < lines ? L"\r\n" : L"");
    return text;
}

TEST_F(ScrollControls, AMultiLineEditOf300LinesComesOutLineByLine) {
    constexpr int kLines = 300;
    Frame frame(420, 380);
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_BORDER | ES_MULTILINE | ES_AUTOVSCROLL,
                                10, 10, 400, 360, frame.Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, edit);
    SetWindowTextW(edit, NumberedLines(L"Line", kLines).c_str());
    test::PumpMessages();
    CheckEditCapture(edit, kLines);
}

TEST_F(ScrollControls, NotepadOnALongFileComesOutLineByLine) {
    constexpr int kLines = 400;
    test::TempFolder folder;
    const std::wstring path = folder.Path() + L"long.txt";
    const std::wstring text = NumberedLines(L"Row", kLines);
    test::WriteFileBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    test::ChildProcess notepad(std::wstring(system) + L"\\notepad.exe", L"\"" + path + L"\"");
    HWND window = nullptr, edit = nullptr;
    ASSERT_TRUE(test::WaitUntil([&] {
        window = test::FindProcessWindow(notepad.Id(), L"Notepad");
        edit = window ? FindWindowExW(window, nullptr, L"Edit", nullptr) : nullptr;
        return edit && IsWindowVisible(window) && SendMessageW(edit, EM_GETLINECOUNT, 0, 0) >= kLines;
    }, 20000)) << "notepad did not come up with the file";
    SetWindowPos(window, HWND_TOPMOST, 120, 60, 520, 460, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    test::WaitUntil([] { return false; }, 300);
    CheckEditCapture(edit, kLines);
}

}  // namespace
}  // namespace tovasen
