#include "hotkey/frm_hotkey.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "base/config.h"
#include "hotkey/hotkey_code.h"
#include "support/message_boxes.h"
#include "support/wait.h"
#include "ui/application.h"

namespace tovasen {
namespace {

class HotKeyDialog : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Dravomix\\Tovasen");
        app.Initialize();
    }
    std::unique_ptr<TFrmHotKey> Create() {
        auto dialog = std::make_unique<TFrmHotKey>(nullptr, [this] { ++presses; });
        dialog->RegisterStoredHotKey();
        return dialog;
    }
    // Whether the combination is free: registering it elsewhere succeeds only then.
    static bool Free(UINT modifiers, UINT key) {
        const bool free = RegisterHotKey(nullptr, 0x7777, modifiers, key) != FALSE;
        if (free) UnregisterHotKey(nullptr, 0x7777);
        return free;
    }
    static int Select(TFrmHotKey& dialog, UINT virtualKey, bool shift, bool ctrl, bool alt) {
        const int index = *HotKeyEntryIndex(static_cast<std::uint8_t>(virtualKey));
        dialog.ChkHotKey->SetItemIndex(index);
        dialog.ChkShift->SetChecked(shift);
        dialog.ChkCtrl->SetChecked(ctrl);
        dialog.ChkAlt->SetChecked(alt);
        return index;
    }
    TApplication app;
    int presses = 0;
};

TEST_F(HotKeyDialog, StartsWithPrintScreenRegistered) {
    auto dialog = Create();
    EXPECT_EQ(0, dialog->ChkHotKey->ItemIndex());
    EXPECT_EQ(L"PrintScreen", dialog->ChkHotKey->Text());
    EXPECT_EQ(50u, dialog->ChkHotKey->Items().size());
    EXPECT_FALSE(dialog->ChkShift->Checked() || dialog->ChkCtrl->Checked() || dialog->ChkAlt->Checked());
    EXPECT_FALSE(Free(0, VK_SNAPSHOT)) << "Print Screen is not registered";
    const std::uint16_t atom = dialog->HotKeyID;
    EXPECT_NE(0, atom);
    dialog.reset();
    EXPECT_TRUE(Free(0, VK_SNAPSHOT)) << "the registration outlived the dialog";
}

TEST_F(HotKeyDialog, OkStoresAndRegistersTheChosenKey) {
    auto dialog = Create();
    dialog->Show();
    Select(*dialog, VK_F5, true, true, false);
    EXPECT_EQ(24692, dialog->GetDialogHotKey());
    dialog->BtnYesClick();
    EXPECT_EQ(24692, TConfig().ReadInteger(L"hotkey", 0));
    EXPECT_FALSE(dialog->Visible()) << "a taken key closes the dialog";
    EXPECT_FALSE(Free(MOD_CONTROL | MOD_SHIFT, VK_F5));
    EXPECT_TRUE(Free(0, VK_SNAPSHOT)) << "the old key was given back";

    dialog.reset();
    auto again = Create();
    EXPECT_EQ(L"F5", again->ChkHotKey->Text()) << "the stored key is loaded";
    EXPECT_TRUE(again->ChkShift->Checked() && again->ChkCtrl->Checked() && !again->ChkAlt->Checked());
}

TEST_F(HotKeyDialog, AKeyHeldElsewhereIsReportedAndTheDialogStaysOpen) {
    auto dialog = Create();
    HWND other = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(RegisterHotKey(other, 1, MOD_CONTROL | MOD_ALT, VK_F6));
    dialog->Show();
    Select(*dialog, VK_F6, false, true, true);
    {
        test::MessageBoxAnswerer answerer;
        dialog->BtnYesClick();
        EXPECT_EQ(std::vector<std::wstring>{L"단축키가 다른 프로그램에서 사용중입니다."}, answerer.Texts());
    }
    EXPECT_TRUE(dialog->Visible());
    EXPECT_EQ(-99, TConfig().ReadInteger(L"hotkey", -99)) << "nothing was stored";
    // Cancel puts the stored key back into the dialog and registers it again.
    dialog->BtnNoClick();
    EXPECT_EQ(0, dialog->ChkHotKey->ItemIndex());
    EXPECT_FALSE(dialog->ChkCtrl->Checked());
    EXPECT_FALSE(Free(0, VK_SNAPSHOT));
    UnregisterHotKey(other, 1);
    DestroyWindow(other);
}

TEST_F(HotKeyDialog, AStoredKeyOutsideTheListStillWorks) {
    TConfig().WriteInteger(L"hotkey", VK_HOME | kHotKeyAlt);
    auto dialog = Create();
    EXPECT_EQ(-1, dialog->ChkHotKey->ItemIndex());
    EXPECT_TRUE(dialog->ChkAlt->Checked());
    EXPECT_FALSE(Free(MOD_ALT, VK_HOME)) << "Alt+Home is not registered";
}

TEST_F(HotKeyDialog, OnlyItsOwnHotKeyMessageStartsACapture) {
    auto dialog = Create();
    SendMessageW(dialog->Handle(), WM_HOTKEY, dialog->HotKeyID, 0);
    SendMessageW(dialog->Handle(), WM_HOTKEY, static_cast<WPARAM>(dialog->HotKeyID) + 1, 0);
    EXPECT_EQ(1, presses);
}

// "PrintScreen" shows whole in the closed list, and the list stays inside its group box.
TEST_F(HotKeyDialog, TheKeyListFitsItsLongestEntry) {
    auto dialog = Create();
    dialog->Show();
    test::PumpMessages();
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetComboBoxInfo(dialog->ChkHotKey->Handle(), &info));
    HDC dc = GetDC(dialog->ChkHotKey->Handle());
    SIZE text{};
    {
        const ScopedSelect font(dc, reinterpret_cast<HFONT>(SendMessageW(dialog->ChkHotKey->Handle(), WM_GETFONT, 0, 0)));
        GetTextExtentPoint32W(dc, L"PrintScreen", 11, &text);
    }
    ReleaseDC(dialog->ChkHotKey->Handle(), dc);
    const int field = info.rcItem.right - info.rcItem.left;
    EXPECT_GE(field, text.cx + 1) << "the entry is drawn one pixel in and cut off";
    RECT list{}, group{};
    GetWindowRect(dialog->ChkHotKey->Handle(), &list);
    GetWindowRect(dialog->GrpConfig->Handle(), &group);
    EXPECT_LT(list.right, group.right) << "the list leaves its group box";
    dialog->Hide();
}

}  // namespace
}  // namespace tovasen
