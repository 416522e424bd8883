// The region frame and the size dialog in this process: geometry, settings, keys, hit tests,
// the recording state, and the presets dialog's fields.
#include "select/frm_area.h"

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>

#include "base/config.h"
#include "base/settings_registry.h"
#include "select/frm_size.h"
#include "support/message_sequence.h"
#include "support/wait.h"
#include "ui/application.h"

namespace tovasen {
namespace {

class RegionFrame : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Dravomix\\Tovasen");
        app.Initialize();
    }
    void TearDown() override {
        BYTE keys[256]{};
        SetKeyboardState(keys);
    }
    static void StoreGeometry(int left, int top, int width, int height) {
        TConfig config;
        config.WriteInteger(L"left", left);
        config.WriteInteger(L"top", top);
        config.WriteInteger(L"width", width);
        config.WriteInteger(L"height", height);
    }
    static int Stored(const wchar_t* name) { return TConfig().ReadInteger(name, -99); }
    static RECT WindowRect(const TFrmArea& frame) {
        RECT r{};
        GetWindowRect(frame.Handle(), &r);
        return r;
    }
    static void ExpectRect(const RECT& want, const RECT& got, const char* what) {
        EXPECT_EQ(want.left, got.left) << what;
        EXPECT_EQ(want.top, got.top) << what;
        EXPECT_EQ(want.right, got.right) << what;
        EXPECT_EQ(want.bottom, got.bottom) << what;
    }
    // A key as the frame receives it, with Shift and Ctrl held as given.
    static void PressKey(TFrmArea& frame, WPARAM key, bool shift, bool ctrl) {
        BYTE keys[256]{};
        if (shift) keys[VK_SHIFT] = 0x80;
        if (ctrl) keys[VK_CONTROL] = 0x80;
        SetKeyboardState(keys);
        SendMessageW(frame.Handle(), WM_KEYDOWN, key, 0);
        BYTE none[256]{};
        SetKeyboardState(none);
    }
    static LRESULT HitAt(const TFrmArea& frame, int x, int y) {
        const RECT w = WindowRect(frame);
        return SendMessageW(frame.Handle(), WM_NCHITTEST, 0, MAKELPARAM(w.left + x, w.top + y));
    }
    TApplication app;
};

TEST_F(RegionFrame, StoredGeometrySurvivesCreationAndGetRectIsTheHole) {
    StoreGeometry(100, 80, 300, 200);
    TFrmArea frame(nullptr, nullptr);
    EXPECT_EQ(25, frame.HeadHeight());
    ExpectRect({100, 80, 412, 317}, WindowRect(frame), "window");
    ExpectRect({106, 111, 406, 311}, frame.GetRect(), "capture");
    // The sizes of the window's creation came before the settings and wrote nothing over them.
    EXPECT_EQ(100, Stored(L"left"));
    EXPECT_EQ(80, Stored(L"top"));
    EXPECT_EQ(300, Stored(L"width"));
    EXPECT_EQ(200, Stored(L"height"));
    EXPECT_EQ(L"300x200", frame.SizeText());
    // The window region is the frame only: the hole is outside it.
    UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(ERROR, GetWindowRgn(frame.Handle(), region.Get()));
    EXPECT_TRUE(PtInRegion(region.Get(), 3, 3));
    EXPECT_TRUE(PtInRegion(region.Get(), 5, 100));
    EXPECT_FALSE(PtInRegion(region.Get(), 6, 31));
    EXPECT_FALSE(PtInRegion(region.Get(), 305, 230));
    EXPECT_TRUE(PtInRegion(region.Get(), 306, 231));
}

TEST_F(RegionFrame, OffScreenGeometryIsResetToTheCentreAndStored) {
    const int centreLeft = (GetSystemMetrics(SM_CXSCREEN) - 480) / 2;
    const int centreTop = (GetSystemMetrics(SM_CYSCREEN) - 360) / 2;
    const int screenBottom = GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN);
    struct Case {
        int left, top, width, height;
        const char* why;
    } cases[] = {
        {5000, 100, 300, 200, "far right"},
        {0, 100, 300, 200, "on the left edge: the test is strict"},
        // The capture area fits, but the bands below it would not: the whole window counts.
        {100, screenBottom - 200 - 25 - 8, 300, 200, "bottom band off screen"},
    };
    for (const Case& c : cases) {
        StoreGeometry(c.left, c.top, c.width, c.height);
        TFrmArea frame(nullptr, nullptr);
        const RECT w = WindowRect(frame);
        EXPECT_EQ(centreLeft, w.left) << c.why;
        EXPECT_EQ(centreTop, w.top) << c.why;
        EXPECT_EQ(480, frame.GetRect().right - frame.GetRect().left) << c.why;
        EXPECT_EQ(centreLeft, Stored(L"left")) << c.why;
        EXPECT_EQ(centreTop, Stored(L"top")) << c.why;
        EXPECT_EQ(480, Stored(L"width")) << c.why;
        EXPECT_EQ(360, Stored(L"height")) << c.why;
    }
}

TEST_F(RegionFrame, KeysMoveAndResizeAndAreSaved) {
    StoreGeometry(100, 100, 300, 200);
    TFrmArea frame(nullptr, nullptr);
    PressKey(frame, VK_RIGHT, false, false);
    PressKey(frame, VK_DOWN, false, false);
    ExpectRect({107, 132, 407, 332}, frame.GetRect(), "moved by one each way");
    EXPECT_EQ(101, Stored(L"left"));
    EXPECT_EQ(101, Stored(L"top"));
    PressKey(frame, VK_LEFT, true, false);
    PressKey(frame, VK_DOWN, false, true);
    ExpectRect({107, 132, 406, 342}, frame.GetRect(), "Shift narrows by one, Ctrl heightens by ten");
    EXPECT_EQ(299, Stored(L"width"));
    EXPECT_EQ(210, Stored(L"height"));
    PressKey(frame, VK_UP, true, true);
    EXPECT_EQ(209, Stored(L"height")) << "Shift with Ctrl resizes by one";
    // The minimum holds for the keyboard ...
    for (int i = 0; i < 40; ++i) PressKey(frame, VK_LEFT, false, true);
    EXPECT_EQ(2, frame.GetRect().right - frame.GetRect().left);
    EXPECT_EQ(2, Stored(L"width"));
    // ... for SetSize and anything else that sizes the window ...
    frame.SetSize(0, -10, 0);
    EXPECT_EQ(2, frame.GetRect().bottom - frame.GetRect().top);
    SetWindowPos(frame.Handle(), nullptr, 0, 0, 1, 1, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(14, WindowRect(frame).right - WindowRect(frame).left);
    EXPECT_EQ(39, WindowRect(frame).bottom - WindowRect(frame).top);
    // ... and for the mouse, whose size loop asks the minimum track size.
    MINMAXINFO info{};
    SendMessageW(frame.Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(14, info.ptMinTrackSize.x);
    EXPECT_EQ(39, info.ptMinTrackSize.y);
    EXPECT_GT(info.ptMaxTrackSize.x, 10000) << "presets up to 9999 must fit";
    // The label shows the real size, though the dialog's fields hold at least 64.
    EXPECT_EQ(L"2x2", frame.SizeText());
}

TEST_F(RegionFrame, AltF4IsSwallowedButTheProgramsCloseHides) {
    StoreGeometry(100, 100, 300, 200);
    TFrmArea frame(nullptr, nullptr);
    frame.Show();
    SendMessageW(frame.Handle(), WM_SYSKEYDOWN, VK_F4, 1 << 29);
    test::PumpMessages();
    EXPECT_TRUE(frame.Visible());
    EXPECT_TRUE(frame.TmrColor->Enabled());
    frame.Close();
    EXPECT_FALSE(frame.Visible());
    EXPECT_FALSE(frame.TmrColor->Enabled()) << "the pulse runs only while the frame shows";
    frame.Show();
    EXPECT_TRUE(frame.TmrColor->Enabled());
    ShowWindow(frame.Handle(), SW_HIDE);
    EXPECT_FALSE(frame.TmrColor->Enabled()) << "any hide stops the pulse";
}

TEST_F(RegionFrame, HitTestMovesByTheHeadResizesByTheBandsAndLocksThemWhileRecording) {
    StoreGeometry(100, 100, 480, 360);
    TFrmArea frame(nullptr, nullptr);
    frame.Show();
    EXPECT_EQ(HTCAPTION, HitAt(frame, 200, 10)) << "the head moves the frame";
    EXPECT_EQ(HTCAPTION, HitAt(frame, 3, 3));
    EXPECT_EQ(HTCLIENT, HitAt(frame, 492 - 80 + 58 + 8, 13)) << "the close button is clicked, not dragged";
    EXPECT_EQ(HTTOP, HitAt(frame, 200, 27));
    EXPECT_EQ(HTLEFT, HitAt(frame, 2, 200));
    EXPECT_EQ(HTRIGHT, HitAt(frame, 490, 200));
    EXPECT_EQ(HTBOTTOM, HitAt(frame, 200, 395));
    EXPECT_EQ(HTBOTTOMRIGHT, HitAt(frame, 490, 395));
    frame.SetRecording(true);
    EXPECT_EQ(HTCAPTION, HitAt(frame, 200, 10));
    EXPECT_EQ(HTCLIENT, HitAt(frame, 200, 395)) << "no resizing during a recording";
    EXPECT_EQ(HTCLIENT, HitAt(frame, 490, 395));
    frame.SetRecording(false);
    EXPECT_EQ(HTBOTTOM, HitAt(frame, 200, 395));
}

TEST_F(RegionFrame, RecordingStateShowsTheTimeAndStopsOnClose) {
    StoreGeometry(100, 100, 480, 360);
    TFrmArea frame(nullptr, nullptr);
    int stops = 0;
    frame.OnStopRecording = [&] { ++stops; };
    frame.Show();
    EXPECT_EQ(L"[REC] 00:00:00", frame.RecTimeText());
    frame.Close();
    EXPECT_EQ(0, stops) << "nothing to stop without a recording";
    frame.Show();
    frame.SetRecording(true);
    frame.SetRecTime(L"00:01:02");
    EXPECT_EQ(L"[REC] 00:01:02", frame.RecTimeText());
    EXPECT_TRUE(frame.Recording());
    frame.Close();
    EXPECT_EQ(1, stops);
    frame.SetRecording(false);
    EXPECT_EQ(L"[REC] 00:00:00", frame.RecTimeText());
    // The head's parts give way as the frame narrows.
    frame.SetSize(281, 100, 0);  // window 293
    EXPECT_TRUE(frame.RecLabelVisible());
    frame.SetSize(280, 100, 0);
    EXPECT_FALSE(frame.RecLabelVisible());
    EXPECT_TRUE(frame.CloseButtonVisible());
    frame.SetSize(100, 100, 0);
    EXPECT_FALSE(frame.CloseButtonVisible());
    EXPECT_TRUE(frame.SizeLabelVisible());
    frame.SetSize(52, 100, 0);
    EXPECT_FALSE(frame.SizeLabelVisible());
}

// The owner hears of the close once the frame is hidden (and a recording of it stopped), so
// that choosing another mode then finds nothing left to close.
TEST_F(RegionFrame, CloseButtonHidesAndSavesThenTellsTheOwner) {
    StoreGeometry(100, 100, 480, 360);
    TFrmArea frame(nullptr, nullptr);
    bool told = false;
    frame.OnCloseButton = [&] {
        told = true;
        EXPECT_FALSE(frame.Visible()) << "the owner hears of it once the frame has closed";
    };
    frame.Show();
    SetWindowPos(frame.Handle(), nullptr, 150, 140, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const RECT w = WindowRect(frame);
    SendMessageW(frame.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(492 - 80 + 58 + 8, 13));
    EXPECT_TRUE(told);
    EXPECT_FALSE(frame.Visible());
    EXPECT_EQ(w.left, Stored(L"left"));
    EXPECT_EQ(w.top, Stored(L"top"));
}

TEST_F(RegionFrame, PulseWalksTheBandColour) {
    StoreGeometry(100, 100, 480, 360);
    TFrmArea frame(nullptr, nullptr);
    frame.Show();
    std::vector<int> reds;
    for (int i = 0; i < 3; ++i) {
        frame.TmrColorTimer();
        reds.push_back(GetRValue(frame.BandColor()));
        EXPECT_EQ(0, GetGValue(frame.BandColor()));
    }
    EXPECT_EQ((std::vector<int>{255, 242, 229}), reds);
}

TEST_F(RegionFrame, DpiChangesTakeThePositionAndKeepTheCaptureSize) {
    StoreGeometry(100, 100, 640, 480);
    TFrmArea frame(nullptr, nullptr);
    EXPECT_EQ(96, frame.LayoutDpi()) << "the frame knows its DPI from creation";
    // The system proposes the window scaled by 1.5 at a new place.
    RECT suggested{300, 50, 300 + 652 * 3 / 2, 50 + 517 * 3 / 2};
    SendMessageW(frame.Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(144, frame.LayoutDpi());
    EXPECT_EQ(38, frame.HeadHeight());
    ExpectRect({306, 50 + 38 + 6, 306 + 640, 50 + 38 + 6 + 480}, frame.GetRect(), "capture at 144 DPI");
    ExpectRect({300, 50, 952, 50 + 480 + 38 + 12}, WindowRect(frame), "window at 144 DPI");
    EXPECT_EQ(640, Stored(L"width"));
    EXPECT_EQ(480, Stored(L"height"));
    // And back: the old head is the 144-DPI one, whatever the window reports now.
    RECT back{200, 60, 200 + 652, 60 + 517};
    SendMessageW(frame.Handle(), WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&back));
    ExpectRect({206, 60 + 25 + 6, 206 + 640, 60 + 25 + 6 + 480}, frame.GetRect(), "capture at 96 DPI again");
    EXPECT_EQ(480, Stored(L"height"));
}

// Each step of a drag that sizes the frame moves only the window and its region; the dialog's
// fields and the settings follow once the drag ends.
TEST_F(RegionFrame, ADragWritesFieldsAndSettingsOnlyAtItsEnd) {
    TSettings settings = DefaultSettings(ScreenSettingsEnvironment());
    settings.left = 100;
    settings.top = 100;
    settings.width = 300;
    settings.height = 200;
    std::vector<std::wstring> writes;
    const TSettingsWriter writer([&](const TStoredValue& v) { writes.push_back(std::wstring(v.name)); });
    TFrmSize dialog(nullptr, settings, TSettingsWriter());
    TFrmArea frame(nullptr, &dialog, settings, writer);
    frame.Show();
    writes.clear();
    SendMessageW(frame.Handle(), WM_ENTERSIZEMOVE, 0, 0);
    for (int width = 313; width <= 330; width += 4) {
        SetWindowPos(frame.Handle(), nullptr, 0, 0, width, 237, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    {
        // A step of a move is the move alone: making the region again would change the window's
        // position a second time (and repaint it) for nothing.
        test::MessageRecorder positions({frame.Handle()}, [](UINT msg) { return msg == WM_WINDOWPOSCHANGED; });
        SetWindowPos(frame.Handle(), nullptr, 120, 110, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_TRUE(test::MatchesSequence(positions.Messages(), {{WM_WINDOWPOSCHANGED}}));
    }
    EXPECT_TRUE(writes.empty()) << writes.size() << " settings written during the drag";
    EXPECT_EQ(300, dialog.EditWidth->Value()) << "the dialog's fields changed during the drag";
    EXPECT_EQ(L"317x200", frame.SizeText()) << "the head shows the size as it goes";
    // The hole follows the size at once.
    UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(ERROR, GetWindowRgn(frame.Handle(), region.Get()));
    EXPECT_FALSE(PtInRegion(region.Get(), 322, 100)) << "the hole did not follow the new width";
    EXPECT_TRUE(PtInRegion(region.Get(), 323, 100));
    SendMessageW(frame.Handle(), WM_EXITSIZEMOVE, 0, 0);
    EXPECT_EQ((std::vector<std::wstring>{L"width", L"height", L"left", L"top"}), writes);
    EXPECT_EQ(317, dialog.EditWidth->Value());
    // Keys are one step each, written at once as always.
    writes.clear();
    PressKey(frame, VK_RIGHT, false, false);
    EXPECT_EQ(4u, writes.size());
}

// --- The size dialog ---------------------------------------------------------------------------

class SizeDialog : public RegionFrame {};

TEST_F(SizeDialog, FieldsReadWithoutThrowingAndClamp) {
    TFrmSize dialog(nullptr);
    struct Case {
        const wchar_t* text;
        int want;
    } cases[] = {{L"50", 64}, {L"abc", 64}, {L"", 64}, {L"99999999999", 9999}, {L"800", 800}};
    for (const Case& c : cases) {
        dialog.EditWidth_1->SetText(c.text);
        EXPECT_EQ(c.want, dialog.PresetWidth(1)) << "\"" << c.text << "\"";
    }
    // The arrows write plain digits, which read back as the same number.
    dialog.EditWidth_2->SetValue(1024);
    SendMessageW(dialog.EditWidth_2->UpDown(), UDM_SETPOS32, 0, 1200);
    EXPECT_EQ(L"1200", dialog.EditWidth_2->Text());
    EXPECT_EQ(1200, dialog.PresetWidth(2));
}

TEST_F(SizeDialog, ApplyingPresetTwoSetsFrameCaptionAndSettingsAndSurvivesARestart) {
    StoreGeometry(100, 100, 480, 360);
    {
        TFrmSize dialog(nullptr);
        TFrmArea frame(nullptr, &dialog);
        EXPECT_EQ(L"640x480", frame.PopSize_2->Caption);
        EXPECT_EQ(480, dialog.EditWidth->Value()) << "the dialog shows the frame's size";
        dialog.EditWidth_2->SetText(L"800");
        dialog.EditHeight_2->SetText(L"600");
        dialog.EditWidth_1->SetText(L"50");
        SendMessageW(dialog.Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(dialog.BtnApply_2->Handle()), BN_CLICKED),
                     reinterpret_cast<LPARAM>(dialog.BtnApply_2->Handle()));
        EXPECT_EQ(800, frame.GetRect().right - frame.GetRect().left);
        EXPECT_EQ(600, frame.GetRect().bottom - frame.GetRect().top);
        EXPECT_EQ(L"800x600", frame.PopSize_2->Caption);
        EXPECT_EQ(800, Stored(L"width_2"));
        EXPECT_EQ(600, Stored(L"height_2"));
        EXPECT_EQ(64, Stored(L"width_1")) << "an apply stores all presets, clamped";
        EXPECT_EQ(800, dialog.EditWidth->Value());
        // The menu applies the preset as the fields hold it.
        frame.PopSize_1->Click();
        EXPECT_EQ(64, frame.GetRect().right - frame.GetRect().left);
        EXPECT_EQ(240, frame.GetRect().bottom - frame.GetRect().top);
    }
    TFrmSize dialog(nullptr);
    TFrmArea frame(nullptr, &dialog);
    EXPECT_EQ(L"800x600", frame.PopSize_2->Caption);
    EXPECT_EQ(L"64x240", frame.PopSize_1->Caption);
    EXPECT_EQ(800, dialog.EditWidth_2->Value());
    EXPECT_EQ(600, dialog.EditHeight_2->Value());
}

TEST_F(SizeDialog, StoredPresetsOutOfRangeShowWhatTheyApply) {
    TConfig config;
    config.WriteInteger(L"width_3", -5);
    config.WriteInteger(L"height_3", 123456);
    TFrmSize dialog(nullptr);
    TFrmArea frame(nullptr, &dialog);
    EXPECT_EQ(L"64x9999", frame.PopSize_3->Caption);
    TFrmArea alone(nullptr, nullptr);
    EXPECT_EQ(L"64x9999", alone.PopSize_3->Caption);
}

TEST_F(SizeDialog, EnterAppliesTheGroupBeingEdited) {
    StoreGeometry(100, 100, 480, 360);
    TFrmSize dialog(nullptr);
    TFrmArea frame(nullptr, &dialog);
    dialog.Show();
    dialog.EditWidth->SetText(L"333");
    SetFocus(dialog.EditWidth->Handle());
    MSG msg{dialog.EditWidth->Handle(), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    // What the message loop does with Enter in a non-modal dialog.
    app.DispatchOne(msg);
    test::PumpMessages();
    EXPECT_EQ(333, frame.GetRect().right - frame.GetRect().left);
}

// --- Resources and speed -----------------------------------------------------------------------

int CountThreadWindows() {
    int count = 0;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND, LPARAM p) -> BOOL {
            ++*reinterpret_cast<int*>(p);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

TEST_F(RegionFrame, FiftyShowHideCyclesLeaveNoWindowsOrObjectsBehind) {
    StoreGeometry(100, 100, 480, 360);
    TFrmSize dialog(nullptr);
    TFrmArea frame(nullptr, &dialog);
    frame.Show();
    frame.TmrColorTimer();
    frame.Close();
    test::PumpMessages();
    const int windows = CountThreadWindows();
    const std::size_t components = frame.Components().size();
    const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);  // 0 under Wine
    for (int i = 0; i < 50; ++i) {
        frame.Show();
        frame.SetSize(300 + i, 200 + i, 0);
        frame.TmrColorTimer();
        UpdateWindow(frame.Handle());
        frame.Close();
        test::PumpMessages();
    }
    EXPECT_EQ(windows, CountThreadWindows());
    EXPECT_EQ(components, frame.Components().size());
    EXPECT_EQ(gdi, GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
}

}  // namespace
}  // namespace tovasen
