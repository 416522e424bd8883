#include "hotkey/frm_hotkey.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "base/config.h"
#include "hotkey/hotkey_code.h"
#include "hotkey/mode_keys.h"
#include "i18n/translate_component.h"
#include "i18n/translation.h"
#include "support/message_boxes.h"
#include "support/process.h"
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
        auto dialog = std::make_unique<TFrmHotKey>(nullptr, [this] { ++presses; },
                                                   [this](TCaptureMode mode) { modePresses.push_back(mode); });
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
    static void SelectModeKey(TFrmHotKey& dialog, TCaptureMode mode, std::uint16_t code) {
        ShowModeKey(dialog.ModeKeyRows[static_cast<std::size_t>(mode)], code);
    }
    TApplication app;
    int presses = 0;
    std::vector<TCaptureMode> modePresses;
};

// The controls wait for the dialog's first showing: until then the keys work from members, and a
// language chosen meanwhile reaches the controls when they are made.
TEST_F(HotKeyDialog, StartsWithPrintScreenRegisteredAndItsControlsUnmade) {
    auto dialog = Create();
    EXPECT_FALSE(dialog->ControlsMade());
    EXPECT_EQ(nullptr, GetWindow(dialog->Handle(), GW_CHILD)) << "controls were made before the dialog showed";
    EXPECT_FALSE(Free(0, VK_SNAPSHOT)) << "Print Screen is not registered";
    SendMessageW(dialog->Handle(), WM_HOTKEY, dialog->HotKeyID, 0);
    EXPECT_EQ(1, presses);
    test::UseProgramTranslations();
    ChangeLanguage(L"en");
    dialog->Show();
    ASSERT_TRUE(dialog->ControlsMade());
    EXPECT_EQ(L"Setting", dialog->GrpConfig->Caption());
    EXPECT_EQ(L"None", dialog->ModeKeyRows[0].ChkKey->Text());
    ChangeLanguage(L"ko");
    TranslationTable.clear();
    EXPECT_EQ(0, dialog->ChkHotKey->ItemIndex());
    EXPECT_EQ(L"PrintScreen", dialog->ChkHotKey->Text());
    EXPECT_EQ(50u, dialog->ChkHotKey->Items().size());
    EXPECT_FALSE(dialog->ChkShift->Checked() || dialog->ChkCtrl->Checked() || dialog->ChkAlt->Checked());
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
    again->Show();
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
    dialog->Show();
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

constexpr std::uint16_t kCtrlF7 = VK_F7 | kHotKeyCtrl, kAltF8 = VK_F8 | kHotKeyAlt;

// Mode keys are stored beside the main key, registered, and each calls back with its own mode.
// Two modes may swap their keys: neither is refused by the other's old registration.
TEST_F(HotKeyDialog, ModeKeysAreStoredRegisteredAndCallBackWithTheirMode) {
    auto dialog = Create();
    dialog->Show();
    SelectModeKey(*dialog, TCaptureMode::Region, kCtrlF7);
    SelectModeKey(*dialog, TCaptureMode::ActiveWindow, kAltF8);
    dialog->BtnYesClick();
    EXPECT_FALSE(dialog->Visible());
    TConfig config;
    EXPECT_EQ(kCtrlF7, config.ReadInteger(L"hotkey_mode1", -1));
    EXPECT_EQ(kAltF8, config.ReadInteger(L"hotkey_mode3", -1));
    EXPECT_EQ(0, config.ReadInteger(L"hotkey_mode0", -1)) << "a mode without a key stores none";
    EXPECT_FALSE(Free(MOD_CONTROL, VK_F7));
    EXPECT_FALSE(Free(MOD_ALT, VK_F8));
    EXPECT_FALSE(Free(0, VK_SNAPSHOT)) << "the main key stays";

    for (const int mode : {1, 3, 0}) SendMessageW(dialog->Handle(), WM_HOTKEY, TFrmHotKey::kModeKeyIdBase + mode, 0);
    EXPECT_EQ((std::vector<TCaptureMode>{TCaptureMode::Region, TCaptureMode::ActiveWindow, TCaptureMode::FullScreen}),
              modePresses);
    EXPECT_EQ(0, presses) << "a mode's key is not the main key";

    dialog->Show();
    SelectModeKey(*dialog, TCaptureMode::Region, kAltF8);
    SelectModeKey(*dialog, TCaptureMode::ActiveWindow, kCtrlF7);
    {
        test::MessageBoxAnswerer answerer;
        dialog->BtnYesClick();
        EXPECT_TRUE(answerer.Texts().empty());
    }
    EXPECT_EQ(kAltF8, config.ReadInteger(L"hotkey_mode1", -1));
    EXPECT_EQ(kCtrlF7, config.ReadInteger(L"hotkey_mode3", -1));

    dialog.reset();
    EXPECT_TRUE(Free(MOD_CONTROL, VK_F7) && Free(MOD_ALT, VK_F8)) << "the mode keys outlived the dialog";
    auto again = Create();
    again->Show();
    EXPECT_EQ(kAltF8, ModeKeyOf(again->ModeKeyRows[1])) << "the stored keys are loaded";
    EXPECT_EQ(0, again->ModeKeyRows[0].ChkKey->ItemIndex()) << "none is the first entry";
    EXPECT_FALSE(Free(MOD_ALT, VK_F8));
}

// A key used twice is refused before anything is registered or stored, naming who has it.
TEST_F(HotKeyDialog, AKeyUsedTwiceIsRefusedAndItsHolderNamed) {
    struct Row {
        TCaptureMode first, second;  // FullScreen as first: the main key holds it
        bool mainKey;
        const wchar_t* said;
    };
    const Row rows[] = {
        {TCaptureMode::Region, TCaptureMode::WebPage, false,
         L"같은 단축키를 두 곳에 쓸 수 없습니다.\r\n\r\nCtrl+F7: 영역화면 캡쳐, 웹페이지 캡쳐"},
        {TCaptureMode::FullScreen, TCaptureMode::Scrolling, true,
         L"같은 단축키를 두 곳에 쓸 수 없습니다.\r\n\r\nCtrl+F7: 기본 단축키, 스크롤 캡쳐"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.second));
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Dravomix\\Tovasen");
        auto dialog = Create();
        dialog->Show();
        if (row.mainKey) Select(*dialog, VK_F7, false, true, false);
        else SelectModeKey(*dialog, row.first, kCtrlF7);
        SelectModeKey(*dialog, row.second, kCtrlF7);
        {
            test::MessageBoxAnswerer answerer;
            dialog->BtnYesClick();
            EXPECT_EQ(std::vector<std::wstring>{row.said}, answerer.Texts());
        }
        EXPECT_TRUE(dialog->Visible());
        EXPECT_EQ(-99, TConfig().ReadInteger(L"hotkey_mode7", -99)) << "nothing was stored";
        EXPECT_EQ(-99, TConfig().ReadInteger(L"hotkey", -99));
        EXPECT_TRUE(Free(MOD_CONTROL, VK_F7)) << "nothing was registered";
        EXPECT_FALSE(Free(0, VK_SNAPSHOT)) << "the stored main key still works";
    }
}

// A mode key another program holds is marked beside its mode and refused on OK while the other
// keys work; once given up, OK takes it and the mark goes. (The start's notice: the program test.)
TEST_F(HotKeyDialog, AModeKeyHeldElsewhereIsMarkedUntilItIsFree) {
    HWND other = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(RegisterHotKey(other, 1, MOD_CONTROL, VK_F7));
    TConfig().WriteInteger(L"hotkey_mode4", kCtrlF7);
    TConfig().WriteInteger(L"hotkey_mode6", kAltF8);
    auto dialog = Create();
    EXPECT_EQ(std::vector<TCaptureMode>{TCaptureMode::WindowControl}, dialog->UnregisteredModeKeys());
    EXPECT_FALSE(Free(MOD_ALT, VK_F8) || Free(0, VK_SNAPSHOT));
    dialog->Show();  // the marks are made with the controls, from what the start registered
    EXPECT_EQ(L"다른 프로그램이 사용중", dialog->ModeKeyRows[4].LblInUse->Caption());
    EXPECT_EQ(L"", dialog->ModeKeyRows[6].LblInUse->Caption());
    {
        test::MessageBoxAnswerer answerer;
        dialog->BtnYesClick();
        EXPECT_EQ(std::vector<std::wstring>{L"다음 단축키는 다른 프로그램이 사용중입니다.\r\n\r\n윈도우 컨트롤 캡쳐 (Ctrl+F7)"},
                  answerer.Texts());
    }
    EXPECT_TRUE(dialog->Visible()) << "refused: the dialog stays open";
    UnregisterHotKey(other, 1);
    dialog->BtnYesClick();
    EXPECT_FALSE(dialog->Visible());
    EXPECT_EQ(L"", dialog->ModeKeyRows[4].LblInUse->Caption());
    EXPECT_FALSE(Free(MOD_CONTROL, VK_F7));
    DestroyWindow(other);
}

// A title-bar close leaves a choice unconfirmed: opening the dialog again shows the stored keys.
TEST_F(HotKeyDialog, OpeningAgainShowsTheStoredKeys) {
    auto dialog = Create();
    dialog->Show();
    Select(*dialog, VK_F9, false, false, true);
    SelectModeKey(*dialog, TCaptureMode::Region, kCtrlF7);
    dialog->Close();
    EXPECT_FALSE(dialog->Visible()) << "the title-bar close only hides";
    PostMessageW(dialog->Handle(), WM_CLOSE, 0, 0);  // ends the modal loop that Open enters
    dialog->Open();
    EXPECT_EQ(0, dialog->ChkHotKey->ItemIndex());
    EXPECT_FALSE(dialog->ChkAlt->Checked());
    EXPECT_EQ(0, dialog->ModeKeyRows[1].ChkKey->ItemIndex());
    EXPECT_EQ(-99, TConfig().ReadInteger(L"hotkey", -99)) << "nothing was stored";
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
