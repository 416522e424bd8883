#include "i18n/translate_component.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "i18n/translation.h"
#include "support/process.h"
#include "ui/form.h"
#include "ui/menu.h"
#include "ui/std_controls.h"

namespace tovasen {
namespace {

class TestForm : public TForm {
public:
    TestForm() : TForm(nullptr, L"FrmSize") {
        TCreateParams params;
        params.ClassName = L"TTranslateTestForm";
        params.Caption = L"영역크기 설정";
        params.Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
        CreateHandle(params);
        SetCaption(L"영역크기 설정");
        Label = new TLabel(this, L"LblArea", L"캡쳐영역");
        Combo = new TComboBox(this, L"ChkArea");
        Combo->SetBounds96(0, 0, 150, 200);
        Combo->SetItems({L"전체화면 캡쳐", L"영역화면 캡쳐", L"색상 추출"});
        Combo->SetItemIndex(1);
        Popup = new TPopupMenu(this, L"Menu");
        Settings = new TMenuItem(&Popup->Items(), L"N14", L"캡쳐 설정");
        Mouse = new TMenuItem(Settings, L"ChkMouse", L"마우스 커서 포함");
        Exit = new TMenuItem(&Popup->Items(), L"N10", L"종료하기");
        Korean = new TMenuItem(&Popup->Items(), L"ChkLangKo", L"한국어");
    }
    TLabel* Label;
    TComboBox* Combo;
    TPopupMenu* Popup;
    TMenuItem *Settings, *Mouse, *Exit, *Korean;
};

class TranslateComponentTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The table as shipped: read from the program's own resources.
        test::UseProgramTranslations();
        // The program's own 68 blocks at least; features add theirs.
        ASSERT_GE(TranslationTable.size(), 68u * 8);
        ASSERT_EQ(0u, TranslationTable.size() % 8);
    }
    void TearDown() override {
        TranslationTable.clear();
        CurrentLanguage.clear();
    }
};

TEST_F(TranslateComponentTest, TranslatesCaptionsListsAndMenusKeepingTheSelection) {
    TestForm form;
    TranslateComponent(&form, L"ja");
    EXPECT_EQ(L"ja", CurrentLanguage);
    EXPECT_EQ(L"キャプチャ範囲", form.Label->Caption());
    EXPECT_EQ((std::vector<std::wstring>{L"全画面", L"範囲指定", L"色の抽出"}), form.Combo->Items());
    EXPECT_EQ(1, form.Combo->ItemIndex()) << "the selected index is kept";
    EXPECT_EQ(L"キャプチャ設定", form.Settings->Caption);
    EXPECT_EQ(L"マウスカーソルを含める", form.Mouse->Caption);
    EXPECT_EQ(L"終了", form.Exit->Caption);
    EXPECT_EQ(L"한국어", form.Korean->Caption) << "language names are not in the table";
    EXPECT_EQ(L"Region Size", form.Caption()) << "window titles are English outside Korean";
    wchar_t title[64] = {};
    GetWindowTextW(form.Handle(), title, 64);
    EXPECT_STREQ(L"Region Size", title);

    TranslateComponent(&form, L"ko");
    EXPECT_EQ(L"캡쳐영역", form.Label->Caption());
    EXPECT_EQ(L"영역화면 캡쳐", form.Combo->Items()[1]);
    EXPECT_EQ(L"종료하기", form.Exit->Caption);
    EXPECT_EQ(L"영역크기 설정", form.Caption());
}

TEST_F(TranslateComponentTest, NoLanguageKeepsTheCurrentOne) {
    TestForm form;
    CurrentLanguage = L"fr";
    TranslateComponent(&form);
    EXPECT_EQ(L"fr", CurrentLanguage);
    EXPECT_EQ(L"Quitter", form.Exit->Caption);
    TranslateComponent(nullptr, L"it");
    EXPECT_EQ(L"it", CurrentLanguage) << "a language is taken even without a component";
}

}  // namespace
}  // namespace tovasen
