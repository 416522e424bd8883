// Region mode in the main window: the frame comes and goes with the mode, its close button
// leaves the mode, the capture is exactly its hole, and the mouse moves and sizes it as a user
// does (input sent from a second thread while this one runs the frame's loops).
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "app/frm_tovasen.h"
#include "base/config.h"
#include "i18n/translate_component.h"
#include "i18n/translation.h"
#include "select/frm_area.h"
#include "select/frm_size.h"
#include "support/files.h"
#include "support/main_form.h"
#include "support/input.h"
#include "support/pattern_window.h"
#include "support/process.h"
#include "support/wait.h"
#include "support/wait_for.h"
#include "ui/application.h"

namespace tovasen {
namespace {

using test::MouseAt;

void Drag(POINT from, POINT to) { test::DragOnScreen(from, to, 10, 150); }

class RegionMode : public test::MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        TConfig config;
        config.WriteBoolean(L"mouse", false);
        config.WriteString(L"path", folder.Path());
        // The hole at (306, 206), 64 x 48.
        config.WriteInteger(L"left", 300);
        config.WriteInteger(L"top", 175);
        config.WriteInteger(L"width", 64);
        config.WriteInteger(L"height", 48);
    }
    void Create() { CreateForm(); }
    void Choose(TCaptureMode mode) { form->ChooseMode(mode); }
    static int Stored(const wchar_t* name) { return TConfig().ReadInteger(name, -99); }
    RECT FrameRect() const {
        RECT r{};
        GetWindowRect(form->Selection().FrmArea->Handle(), &r);
        return r;
    }
    // Runs input on a second thread while this one pumps messages (and any modal loop they
    // start), until the input is done and has had its outcome.
    static void WithInput(const std::function<void()>& input, const std::function<bool()>& outcome = [] { return true; }) {
        std::atomic<bool> done{false};
        std::thread worker([&] {
            input();
            done = true;
        });
        test::WaitUntil([&] { return done.load() && outcome(); }, 20000);
        worker.join();
        test::PumpMessages();
    }

    test::TempFolder folder;
};

TEST_F(RegionMode, ModeSwitchShowsAndClosesTheOneFrame) {
    Create();
    EXPECT_EQ(nullptr, form->Selection().FrmArea) << "made only when region mode is chosen";
    EXPECT_EQ(nullptr, form->Selection().FrmSize) << "the size dialog is made with the frame";
    Choose(TCaptureMode::Region);
    ASSERT_NE(nullptr, form->Selection().FrmArea);
    TFrmArea* frame = form->Selection().FrmArea;
    EXPECT_TRUE(frame->Visible());
    EXPECT_EQ(1, Stored(L"area"));
    Choose(TCaptureMode::FullScreen);
    EXPECT_FALSE(frame->Visible());
    EXPECT_EQ(0, Stored(L"area"));
    Choose(TCaptureMode::Region);
    EXPECT_EQ(frame, form->Selection().FrmArea) << "shown again, not made again";
    EXPECT_TRUE(frame->Visible());
    // The frame's size menu opens the dialog made with the frame.
    frame->PopConfig->Click();
    EXPECT_TRUE(form->Selection().FrmSize->Visible());
    EXPECT_EQ(64, form->Selection().FrmSize->EditWidth->Value());
}

TEST_F(RegionMode, CloseButtonLeavesRegionModeAndStoresIt) {
    TConfig().WriteInteger(L"area", 1);
    Create();
    ASSERT_NE(nullptr, form->Selection().FrmArea);
    EXPECT_TRUE(form->Selection().FrmArea->Visible()) << "the stored mode shows the frame at start";
    form->Selection().FrmArea->BtnCloseClick();
    EXPECT_FALSE(form->Selection().FrmArea->Visible());
    EXPECT_EQ(0, form->ChkArea->ItemIndex());
    EXPECT_EQ(0, Stored(L"area"));
}

TEST_F(RegionMode, LanguageChangeTranslatesFrameAndDialog) {
    Create();
    Choose(TCaptureMode::Region);
    form->ChooseLanguage(L"en");
    // The frame's title is not a table text: it stays as written.
    EXPECT_EQ(L"영역지정 - Tovasen", form->Selection().FrmArea->Caption());
    EXPECT_EQ(L"Setting", form->Selection().FrmArea->PopConfig->Caption);
    EXPECT_EQ(L"Region Size", form->Selection().FrmSize->Caption());
    form->ChooseLanguage(L"ko");
    EXPECT_EQ(L"영역지정 - Tovasen", form->Selection().FrmArea->Caption());
    EXPECT_EQ(L"감추기", form->Selection().FrmArea->PopClose->Caption);
}

TEST_F(RegionMode, CaptureIsExactlyTheHoleAndClicksThereReachTheWindowBelow) {
    // The pattern reaches 16 pixels under the frame's bands on every side.
    test::PatternWindow pattern(290, 190, 96, 80);
    TConfig().WriteInteger(L"area", 1);
    Create();
    test::PumpMessages();
    ASSERT_TRUE(form->Selection().FrmArea->Visible());
    const RECT hole = form->Selection().FrmArea->GetRect();
    EXPECT_EQ(306, hole.left);
    EXPECT_EQ(206, hole.top);
    POINT inside{330, 230};
    EXPECT_EQ(pattern.Handle(), WindowFromPoint(inside)) << "the hole lets the mouse through";
    POINT band{303, 230};
    EXPECT_EQ(form->Selection().FrmArea->Handle(), WindowFromPoint(band));

    CaptureAndWait();
    const std::wstring file = folder.Path() + L"T-001.png";
    ASSERT_TRUE(test::FileExists(file));
    const test::DecodedImage image = test::DecodeWithGdiplus(file);
    ASSERT_EQ(64, image.width);
    ASSERT_EQ(48, image.height);
    int wrong = 0, red = 0;
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) {
            const COLORREF c = test::PatternAt(x + 16, y + 16);
            const std::uint32_t want = 0xFF000000u | (std::uint32_t{GetRValue(c)} << 16) |
                                       (std::uint32_t{GetGValue(c)} << 8) | GetBValue(c);
            const std::uint32_t got = image.pixels[static_cast<std::size_t>(y) * 64 + static_cast<std::size_t>(x)];
            wrong += got != want;
            red += (got & 0xFFFFFF) == 0xFF0000u;
        }
    }
    EXPECT_EQ(0, wrong) << "the picture is not the pattern under the hole";
    EXPECT_EQ(0, red) << "frame pixels in the picture";
}

TEST_F(RegionMode, HeadDragMovesBorderDragResizesRightClickOpensTheMenuOnly) {
    TConfig().WriteInteger(L"width", 300);
    TConfig().WriteInteger(L"height", 200);
    TConfig().WriteInteger(L"area", 1);
    Create();
    TFrmArea* frame = form->Selection().FrmArea;
    ASSERT_TRUE(frame->Visible());
    const RECT start = FrameRect();  // (300, 175) 312 x 237

    // The move is stored once the button is let go.
    WithInput([&] { Drag({start.left + 150, start.top + 12}, {start.left + 190, start.top + 42}); },
              [&] { return Stored(L"top") == start.top + 30; });
    RECT moved = FrameRect();
    EXPECT_EQ(start.left + 40, moved.left) << "a head drag moves";
    EXPECT_EQ(start.top + 30, moved.top);
    EXPECT_EQ(start.right - start.left, moved.right - moved.left) << "and does not resize";
    EXPECT_EQ(moved.left, Stored(L"left")) << "saved at the end of the move";
    EXPECT_EQ(moved.top, Stored(L"top"));

    WithInput([&] { Drag({moved.right - 2, moved.bottom - 2}, {moved.right + 18, moved.bottom + 8}); },
              [&] { return Stored(L"width") == 320; });
    RECT sized = FrameRect();
    EXPECT_EQ(moved.left, sized.left);
    EXPECT_EQ(320, frame->GetRect().right - frame->GetRect().left) << "a corner drag resizes";
    EXPECT_EQ(210, frame->GetRect().bottom - frame->GetRect().top);
    EXPECT_EQ(320, Stored(L"width"));

    bool menuSeen = false;
    WithInput([&] {
        MouseAt(sized.left + 150, sized.top + 12);
        Sleep(150);  // a pause: the hand comes to rest before it clicks
        MouseAt(sized.left + 150, sized.top + 12, MOUSEEVENTF_RIGHTDOWN);
        Sleep(100);  // a pause: a click's press is held that long
        MouseAt(sized.left + 150, sized.top + 12, MOUSEEVENTF_RIGHTUP);
        HWND menu = test::WaitForVisibleWindow(GetCurrentProcessId(), L"#32768", 2000);
        menuSeen = menu != nullptr;
        // Moving the mouse now must not carry the frame along.
        MouseAt(sized.left + 250, sized.top + 120);
        Sleep(200);  // a pause: a frame that wrongly followed the mouse would have moved by now
        test::PressKey(VK_ESCAPE);
        test::WaitUntil([&] { return !IsWindowVisible(menu); }, 5000);
        MouseAt(sized.left + 260, sized.top + 150);
        Sleep(200);  // a pause: a frame that wrongly followed the mouse would have moved by now
    });
    EXPECT_TRUE(menuSeen) << "the right button opens the size menu";
    const RECT after = FrameRect();
    EXPECT_EQ(sized.left, after.left) << "the right button never moves the frame";
    EXPECT_EQ(sized.top, after.top);
}

// Click, then press again quickly and drag: the second press arrives as a double click, and
// it moves the frame as the first would have.
TEST_F(RegionMode, AQuickSecondPressOnTheHeadStillMovesTheFrame) {
    TConfig().WriteInteger(L"width", 300);
    TConfig().WriteInteger(L"height", 200);
    TConfig().WriteInteger(L"area", 1);
    Create();
    ASSERT_TRUE(form->Selection().FrmArea->Visible());
    const RECT start = FrameRect();
    const POINT head{start.left + 150, start.top + 12};
    WithInput([&] {
        MouseAt(head.x, head.y);
        Sleep(150);  // a pause: the hand comes to rest before it clicks
        MouseAt(head.x, head.y, MOUSEEVENTF_LEFTDOWN);
        MouseAt(head.x, head.y, MOUSEEVENTF_LEFTUP);
        Sleep(50);  // a pause: the second press comes within the double-click time
        Drag(head, {head.x + 30, head.y + 20});
    }, [&] { return Stored(L"top") == start.top + 20; });
    const RECT moved = FrameRect();
    EXPECT_EQ(start.left + 30, moved.left) << "the second press did not move the frame";
    EXPECT_EQ(start.top + 20, moved.top);
    EXPECT_EQ(moved.left, Stored(L"left"));
}

}  // namespace
}  // namespace tovasen
