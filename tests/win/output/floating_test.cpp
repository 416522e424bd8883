// Floating snapshot windows in this process: placement and styles, the picture they keep,
// deletion from their own menu and from others' while a save dialog runs, and saving.
#include "output/float_list.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <iostream>
#include <thread>

#include "base/errors.h"
#include "base/module_path.h"
#include "support/files.h"
#include "support/process.h"
#include "support/wait.h"
#include "support/wait_for.h"
#include "output/image_writers.h"
#include "ui/application.h"

namespace tovasen {
namespace {

std::uint32_t PixelAt(int x, int y) {
    return (static_cast<std::uint32_t>((x * 7) % 256) << 16) | (static_cast<std::uint32_t>((y * 13) % 256) << 8) |
           static_cast<std::uint32_t>((x * 3 + y * 5) % 256);
}

// A 32-bit capture-like bitmap holding PixelAt.
std::unique_ptr<TBitmap> Picture(int w, int h, TPixelFormat format = TPixelFormat::pf32bit) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(format);
    bitmap->SetSize(w, h);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = bitmap->ScanLine(y);
        for (int x = 0; x < w; ++x) {
            const std::uint32_t c = PixelAt(x, y);
            const int bytes = format == TPixelFormat::pf32bit ? 4 : 3;
            row[x * bytes] = static_cast<std::uint8_t>(c);
            row[x * bytes + 1] = static_cast<std::uint8_t>(c >> 8);
            row[x * bytes + 2] = static_cast<std::uint8_t>(c >> 16);
            if (bytes == 4) row[x * bytes + 3] = 0;
        }
    }
    return bitmap;
}

RECT WindowRect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

std::string Text(const RECT& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}

int CountThreadWindows() {
    int count = 0;
    EnumThreadWindows(
        GetCurrentThreadId(), [](HWND, LPARAM p) -> BOOL { return ++*reinterpret_cast<int*>(p), TRUE; },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

// A save dialog the test answers: it runs a message loop like a modal dialog, lets the test
// act from inside it (During), then returns Answer unless it was cancelled meanwhile.
// This process's open popup menu, waited for from another thread.
HWND WaitForMenu() {
    return test::WaitForVisibleWindow(GetCurrentProcessId(), L"#32768", 5000, [](HWND menu) {
        const auto items = reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0));
        return items && GetMenuItemCount(items) > 0;
    });
}

class ScriptedDialog : public TImageSaveDialog {
public:
    struct Script {
        std::optional<TSaveChoice> Answer;
        std::function<void()> During;
        std::wstring FolderSeen;
        HWND OwnerSeen = nullptr;
        int Shown = 0;
        bool Cancelled = false;
        bool OwnerAliveAtEnd = false;
    };
    explicit ScriptedDialog(Script& script) : FScript(script) {}
    std::optional<TSaveChoice> Execute(HWND owner, const std::wstring& folder) override {
        ++FScript.Shown;
        FScript.OwnerSeen = owner;
        FScript.FolderSeen = folder;
        EnableWindow(owner, FALSE);
        if (FScript.During) {
            // From the dialog's own loop, as a user's click elsewhere would come in.
            Application->Queue(FScript.During);
            test::WaitUntil([&] { return FCancelled; }, 500);
        }
        test::PumpMessages();
        FScript.OwnerAliveAtEnd = IsWindow(owner) != FALSE;
        EnableWindow(owner, TRUE);
        if (FCancelled) return std::nullopt;
        return FScript.Answer;
    }
    void Cancel() override {
        FCancelled = true;
        FScript.Cancelled = true;
    }

private:
    Script& FScript;
    bool FCancelled = false;
};

// Lets the X server's events about new and activated windows arrive: a pause, handling
// messages, as nothing here tells when the last of them has come.
void Settle() { test::WaitUntil([] { return false; }, 200); }

class Floating : public ::testing::Test {
protected:
    Floating() {
        app.Initialize();
        list.SaveDialogFactory = [this] { return std::make_unique<ScriptedDialog>(script); };
    }
    ~Floating() override {
        list.FloatDelete(nullptr);
        test::PumpMessages();
    }
    TFrmFloating& Make(int x, int y, int w, int h) {
        auto picture = Picture(w, h);
        return list.CreateFloatingWindow(std::move(picture), RECT{x, y, x + w, y + h});
    }
    TApplication app;
    TFloatingSaveOptions options;
    TFloatList list{[this] { return options; }};
    ScriptedDialog::Script script;
    test::TempFolder folder;
};

TEST_F(Floating, SitsExactlyAtTheCaptureAsATopmostToolWindowWithoutOwner) {
    for (const RECT want : {RECT{100, 50, 400, 250}, RECT{-120, -80, 60, 40}}) {
        auto picture = Picture(want.right - want.left, want.bottom - want.top);
        TFrmFloating& form = list.CreateFloatingWindow(std::move(picture), want);
        HWND hwnd = form.Handle();
        const RECT got = WindowRect(hwnd);
        EXPECT_TRUE(EqualRect(&want, &got)) << "want " << Text(want) << " got " << Text(got);
        RECT client{};
        GetClientRect(hwnd, &client);
        EXPECT_EQ(want.right - want.left, client.right) << "no frame: the client is the picture";
        const auto ex = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
        const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
        EXPECT_TRUE(ex & WS_EX_TOPMOST) << Text(want);
        EXPECT_TRUE(ex & WS_EX_TOOLWINDOW) << Text(want);
        EXPECT_FALSE(ex & WS_EX_APPWINDOW);
        EXPECT_TRUE(style & WS_POPUP);
        EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME));
        EXPECT_EQ(nullptr, GetWindow(hwnd, GW_OWNER));
        EXPECT_EQ(nullptr, GetParent(hwnd));
        EXPECT_TRUE(IsWindowVisible(hwnd));
    }
    EXPECT_EQ(2u, list.Count());
}

TEST_F(Floating, KeepsThePictureItWasGivenAndShowsItPixelForPixel) {
    for (const TPixelFormat format : {TPixelFormat::pf32bit, TPixelFormat::pf24bit}) {
        std::shared_ptr<TBitmap> picture = Picture(120, 90, format);
        TFrmFloating& form = list.CreateFloatingWindow(picture, RECT{200, 150, 320, 240});
        EXPECT_EQ(picture.get(), &form.Image()) << "shared, not copied";
        picture.reset();  // the caller lets its picture go at once
        EXPECT_EQ(format, form.Image().PixelFormat());
        ASSERT_EQ(120, form.Image().Width());
        ASSERT_EQ(90, form.Image().Height());
        const int bytes = format == TPixelFormat::pf32bit ? 4 : 3;
        int differ = 0;
        for (int y = 0; y < 90; ++y) {
            const std::uint8_t* row = form.Image().ScanLine(y);
            for (int x = 0; x < 120; ++x) {
                const std::uint32_t c = row[x * bytes] | (row[x * bytes + 1] << 8) | (row[x * bytes + 2] << 16);
                differ += c != PixelAt(x, y);
            }
        }
        EXPECT_EQ(0, differ) << "bits per pixel " << bytes * 8;

        // What the screen shows at the window's place, once the X server has drawn it.
        UpdateWindow(form.Handle());
        test::WaitUntil([&] {
            TBitmap shown;
            shown.SetPixelFormat(TPixelFormat::pf32bit);
            shown.SetSize(120, 90);
            HDC screen = GetDC(nullptr);
            BitBlt(shown.Canvas().Handle(), 0, 0, 120, 90, screen, 200, 150, SRCCOPY);
            ReleaseDC(nullptr, screen);
            differ = 0;
            for (int y = 0; y < 90; ++y) {
                const auto* row = reinterpret_cast<const std::uint32_t*>(shown.ScanLine(y));
                for (int x = 0; x < 120; ++x) differ += (row[x] & 0xFFFFFF) != PixelAt(x, y);
            }
            return differ == 0;
        }, 5000);
        EXPECT_EQ(0, differ) << "screen pixels, bits per pixel " << bytes * 8;
        list.FloatDelete(&form);
    }
}

TEST_F(Floating, AChangeOfDpiLeavesThePictureAtItsSize) {
    TFrmFloating& form = Make(60, 70, 200, 100);
    const RECT before = WindowRect(form.Handle());
    RECT suggested{60, 70, 360, 220};
    SendMessageW(form.Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    const RECT after = WindowRect(form.Handle());
    EXPECT_TRUE(EqualRect(&before, &after)) << "now " << Text(after);
}

TEST_F(Floating, HoveringWithoutAButtonDoesNotMoveIt) {
    TFrmFloating& form = Make(300, 300, 160, 120);
    const RECT before = WindowRect(form.Handle());
    // Were a move loop entered here, it would hold this thread until a button came up.
    SendMessageW(form.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
    SendMessageW(form.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(60, 50));
    test::PumpMessages();
    const RECT after = WindowRect(form.Handle());
    EXPECT_TRUE(EqualRect(&before, &after)) << "now " << Text(after);
    EXPECT_EQ(nullptr, GetCapture());
}

TEST_F(Floating, DeletingOneLeavesTheOthersInOrder) {
    for (int which = 0; which < 3; ++which) {
        TFrmFloating* made[3] = {&Make(10, 10, 50, 40), &Make(70, 10, 50, 40), &Make(130, 10, 50, 40)};
        HWND handles[3] = {made[0]->Handle(), made[1]->Handle(), made[2]->Handle()};
        made[which]->BtnDeleteClick();
        EXPECT_FALSE(IsWindowVisible(handles[which])) << "hidden at once, entry " << which;
        ASSERT_EQ(2u, list.Count()) << "entry " << which;
        int kept = 0;
        for (int i = 0; i < 3; ++i) {
            if (i == which) continue;
            EXPECT_EQ(made[i], list[static_cast<std::size_t>(kept++)]) << "entry " << which << ", kept " << i;
            EXPECT_TRUE(IsWindowVisible(handles[i])) << "entry " << which << ", kept " << i;
        }
        test::PumpMessages();
        EXPECT_FALSE(IsWindow(handles[which])) << "freed from the loop, entry " << which;
        list[0]->BtnDeleteAllClick();
        EXPECT_EQ(0u, list.Count());
        test::PumpMessages();
        for (int i = 0; i < 3; ++i) EXPECT_FALSE(IsWindow(handles[i])) << "after delete all, " << i;
    }
}

TEST_F(Floating, DeleteFromItsOwnMenuFreesItAfterTheMenuReturns) {
    TFrmFloating& form = Make(100, 100, 120, 80);
    TFrmFloating& other = Make(300, 100, 120, 80);
    HWND hwnd = form.Handle();
    bool aliveInHandler = false;
    // Choose "delete" as the menu would: from the handler running on the window's stack.
    form.BtnSave->OnClick = [&](TMenuItem&) { ADD_FAILURE() << "save chosen"; };
    form.BtnDeleteAll->OnClick = [&](TMenuItem&) { ADD_FAILURE() << "delete all chosen"; };
    form.BtnDelete->OnClick = [&](TMenuItem&) {
        form.BtnDeleteClick();
        aliveInHandler = IsWindow(hwnd) && form.Image().Width() == 120;
    };
    std::thread chooser([hwnd] {
        HWND menu = WaitForMenu();
        // Up from the bottom to "delete" and choose it.
        for (int i = 0; i < 2; ++i) PostMessageW(menu, WM_KEYDOWN, VK_UP, 0);
        PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    });
    Settle();  // the X server's focus changes of the two new windows come before the menu
    SendMessageW(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(110, 110));
    chooser.join();
    EXPECT_TRUE(aliveInHandler);
    ASSERT_EQ(1u, list.Count());
    EXPECT_EQ(&other, list[0]);
    test::PumpMessages();
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(Floating, ItsMenuHasTheFourKoreanEntries) {
    TFrmFloating& form = Make(100, 100, 120, 80);
    std::vector<std::wstring> seen;
    std::thread reader([&seen] {
        HWND menu = WaitForMenu();
        auto hmenu = reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0));
        for (int i = 0; i < GetMenuItemCount(hmenu); ++i) {
            wchar_t text[64] = {};
            GetMenuStringW(hmenu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
            seen.emplace_back((GetMenuState(hmenu, static_cast<UINT>(i), MF_BYPOSITION) & MF_SEPARATOR) ? L"-" : text);
        }
        PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    Settle();
    SendMessageW(form.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(form.Handle()), MAKELPARAM(110, 110));
    reader.join();
    const std::vector<std::wstring> want{L"이미지 저장", L"-", L"플로팅 삭제", L"모든 플로팅 삭제"};
    EXPECT_EQ(want, seen);
    EXPECT_EQ(1u, list.Count()) << "escape chooses nothing";
}

TEST_F(Floating, DeleteAllWhileAnotherWindowsSaveDialogIsOpen) {
    for (const bool exiting : {false, true}) {
        TFrmFloating& a = Make(10, 10, 60, 40);
        TFrmFloating& b = Make(80, 10, 60, 40);
        Make(150, 10, 60, 40);
        HWND bHandle = b.Handle();
        bool bAliveDuring = false;
        script = {};
        script.Answer = TSaveChoice{folder.Path() + L"late.png", iftPNG};
        // From a's menu (or the program's exit) while b's dialog runs its loop.
        script.During = [&] {
            if (exiting) list.FloatDelete(nullptr);
            else a.BtnDeleteAllClick();
            test::PumpMessages();  // the deferred frees of the others run inside the dialog
            bAliveDuring = IsWindow(bHandle) != FALSE;
        };
        b.BtnSaveClick();
        EXPECT_TRUE(script.Cancelled) << "b's dialog is closed with b, exiting " << exiting;
        EXPECT_TRUE(bAliveDuring) << "b is not freed under its own dialog, exiting " << exiting;
        EXPECT_TRUE(script.OwnerAliveAtEnd);
        EXPECT_EQ(0u, list.Count());
        EXPECT_FALSE(test::FileExists(folder.Path() + L"late.png")) << "a deleted picture is not saved";
        test::PumpMessages();
        EXPECT_FALSE(IsWindow(bHandle)) << "freed once its handler returned, exiting " << exiting;
    }
}

TEST_F(Floating, SavesAsTheChosenTypeWithTheMainWindowsQuality) {
    TFrmFloating& form = Make(40, 40, 64, 48);
    options.Folder = folder.Path();
    options.JpegQuality = 60;
    const std::wstring shot = folder.Path() + L"shot.png";
    script.Answer = TSaveChoice{shot, iftJPG};
    form.BtnSaveClick();
    EXPECT_EQ(1, script.Shown);
    EXPECT_EQ(folder.Path(), script.FolderSeen) << "the dialog starts in the output folder";
    EXPECT_EQ(form.Handle(), script.OwnerSeen);
    const auto bytes = test::ReadFileBytes(shot);
    ASSERT_GE(bytes.size(), 3u);
    EXPECT_EQ(0xFF, bytes[0]);
    EXPECT_EQ(0xD8, bytes[1]) << "JPEG data under a .png name";

    // The quality is the list's 60: the same bytes as the writer gives at 60, not at 90.
    auto same = Picture(64, 48);
    SaveJPG(*same, folder.Path() + L"q60.jpg", 60);
    SaveJPG(*same, folder.Path() + L"q90.jpg", 90);
    EXPECT_EQ(test::ReadFileBytes(folder.Path() + L"q60.jpg"), bytes);
    EXPECT_NE(test::ReadFileBytes(folder.Path() + L"q90.jpg"), bytes);

    const struct {
        int type;
        const wchar_t* name;
        std::vector<std::uint8_t> magic;
    } types[] = {{iftPNG, L"a.jpg", {0x89, 'P', 'N', 'G'}}, {iftGIF, L"b.png", {'G', 'I', 'F', '8'}},
                 {iftBMP, L"c.gif", {'B', 'M'}}};
    for (const auto& t : types) {
        script.Answer = TSaveChoice{folder.Path() + t.name, t.type};
        form.BtnSaveClick();
        const auto got = test::ReadFileBytes(folder.Path() + t.name);
        ASSERT_GE(got.size(), t.magic.size()) << "type " << t.type;
        EXPECT_TRUE(std::equal(t.magic.begin(), t.magic.end(), got.begin())) << "type " << t.type;
    }
}

TEST_F(Floating, CancelWritesNothingAndFailuresLeaveTheWindow) {
    TFrmFloating& form = Make(40, 40, 64, 48);
    script.Answer = std::nullopt;
    form.BtnSaveClick();
    EXPECT_TRUE(folder.Files().empty()) << "cancel";

    // A folder the file cannot be made in: the error is raised to the general handler.
    const std::wstring locked = folder.Path() + L"locked";
    CreateDirectoryW(locked.c_str(), nullptr);
    script.Answer = TSaveChoice{locked + L"\\no such folder\\shot.png", iftPNG};
    EXPECT_THROW(form.BtnSaveClick(), Exception);
    EXPECT_EQ(1u, list.Count());
    EXPECT_TRUE(IsWindowVisible(form.Handle()));
    script.Answer = TSaveChoice{folder.Path() + L"after.bmp", iftBMP};
    form.BtnSaveClick();
    EXPECT_TRUE(test::FileExists(folder.Path() + L"after.bmp"));

    // Without libwebp.dll beside the program: an error, and no file.
    if (test::FileExists(ExeFolder() + L"libwebp.dll")) GTEST_SKIP() << "libwebp.dll lies beside the test program";
    script.Answer = TSaveChoice{folder.Path() + L"shot.webp", iftWebP};
    EXPECT_THROW(form.BtnSaveClick(), Exception);
    EXPECT_FALSE(test::FileExists(folder.Path() + L"shot.webp"));
}

TEST_F(Floating, AFailedSaveFromTheMenuIsReportedAndTheWindowStays) {
    TFrmFloating& form = Make(40, 40, 64, 48);
    std::wstring reported;
    app.OnException = [&](const std::wstring& message) { reported = message; };
    script.Answer = TSaveChoice{folder.Path() + L"missing\\shot.png", iftPNG};
    std::thread chooser([] {
        HWND menu = WaitForMenu();
        PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);  // the first entry: save
        PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    });
    Settle();
    SendMessageW(form.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(form.Handle()), MAKELPARAM(50, 50));
    chooser.join();
    EXPECT_EQ(1, script.Shown);
    EXPECT_NE(std::wstring::npos, reported.find(SystemErrorText(ERROR_PATH_NOT_FOUND)))
        << "reported: " << std::string(reported.begin(), reported.end());
    EXPECT_EQ(1u, list.Count());
    EXPECT_TRUE(IsWindowVisible(form.Handle()));
}

TEST_F(Floating, ManyCreateAndDeleteCyclesLeaveNothingBehind) {
    test::PumpMessages();
    const int windowsBefore = CountThreadWindows();
    const std::size_t componentsBefore = app.Components().size();
    std::shared_ptr<TBitmap> large = Picture(1920, 1080);
    int handedBack = 0;
    list.OnPictureFreed = [&](std::shared_ptr<TBitmap> picture) { handedBack += picture == large; };
    double slowestMs = 0, totalMs = 0;
    for (int i = 0; i < 100; ++i) {
        const auto start = std::chrono::steady_clock::now();
        TFrmFloating& form = list.CreateFloatingWindow(large, RECT{0, 0, 1920, 1080});
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        slowestMs = std::max(slowestMs, ms);
        totalMs += ms;
        // The three ways a user sends one away: its menu's delete, delete all, and Alt+F4.
        if (i % 3 == 0) form.BtnDeleteClick();
        else if (i % 3 == 1) list.FloatDelete(nullptr);
        else SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
        test::PumpMessages();
        ASSERT_EQ(0u, list.Count()) << "cycle " << i;
    }
    std::cout << "[ figures  ] floating window from 1920x1080: mean " << totalMs / 100 << " ms, slowest "
              << slowestMs << " ms\n";
    EXPECT_EQ(1, large.use_count()) << "a window gone still holds its picture";
    EXPECT_EQ(100, handedBack) << "each window gives its picture back as it is freed";
    EXPECT_EQ(windowsBefore, CountThreadWindows());
    EXPECT_EQ(componentsBefore, app.Components().size());
}

}  // namespace
}  // namespace tovasen

namespace tovasen {
namespace {

HWND FindVisibleChild(HWND parent, const wchar_t* className) {
    return test::FindChildWindow(parent, [&](HWND child) {
        wchar_t name[64] = {};
        GetClassNameW(child, name, 64);
        return lstrcmpiW(name, className) == 0 && IsWindowVisible(child);
    });
}

// This process's visible common dialog with its name box, waited for from another thread.
HWND WaitForDialog() {
    return test::WaitForVisibleWindow(GetCurrentProcessId(), L"#32770", 10000,
                                      [](HWND dialog) { return FindVisibleChild(dialog, L"Edit") != nullptr; });
}

// The system's own save dialog, answered as a user would, once.
TEST(FloatingSystemDialog, SavesTheTypedNameAndClosesWithItsWindow) {
    TApplication app;
    app.Initialize();
    test::TempFolder folder;
    TFloatList list([&] { return TFloatingSaveOptions{folder.Path(), 90, 90}; });
    auto picture = Picture(80, 60);
    TFrmFloating& form = list.CreateFloatingWindow(std::move(picture), RECT{50, 50, 130, 110});
    const std::wstring typed = folder.Path() + L"typed";
    std::wstring title;
    std::thread user([&] {
        HWND dialog = WaitForDialog();
        if (!dialog) return;
        HWND name = FindVisibleChild(dialog, L"Edit");
        if (name) SetWindowTextW(name, typed.c_str());
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    form.BtnSaveClick();
    user.join();
    // The default extension completes the typed name; the first type is PNG.
    const auto bytes = test::ReadFileBytes(typed + L".png");
    ASSERT_GE(bytes.size(), 4u) << "files: " << folder.Files().size();
    EXPECT_EQ(0x89, bytes[0]);
    EXPECT_EQ('P', bytes[1]);

    // Deleted (here: the program exits) while its dialog is open: the dialog goes with it.
    HWND hwnd = form.Handle();
    std::thread exiting([&] {
        if (WaitForDialog()) app.Queue([&] { list.FloatDelete(nullptr); });
    });
    form.BtnSaveClick();
    exiting.join();
    EXPECT_EQ(0u, list.Count());
    test::PumpMessages();
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(1u, folder.Files().size());
}

}  // namespace
}  // namespace tovasen
