#include "hotkey/frm_hotkey.h"

#include <algorithm>

#include "base/settings_registry.h"
#include "hotkey/hotkey_code.h"
#include "i18n/translate_component.h"
#include "i18n/translation.h"
#include "ui/application.h"

namespace tovasen {

TFrmHotKey::TFrmHotKey(TComponent* owner, std::function<void()> onHotKey)
    : TFrmHotKey(owner, std::move(onHotKey), ReadRegistrySettings(TSettingsEnvironment()), RegistrySettingsWriter()) {}

TFrmHotKey::TFrmHotKey(TComponent* owner, std::function<void()> onHotKey, const TSettings& settings,
                       TSettingsWriter writer)
    : TForm(owner, L"FrmHotKey"),
      FOnHotKey(std::move(onHotKey)),
      FWriter(std::move(writer)),
      FStoredHotKey(HotKeyFromSetting(settings.hotkey)) {
    TCreateParams params;
    params.ClassName = kClassName;
    params.Caption = L"단축키 설정";
    params.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    params.ExStyle = WS_EX_DLGMODALFRAME;
    params.Parent = Application ? Application->Handle() : nullptr;  // owner: no taskbar button
    params.Background = GetSysColorBrush(COLOR_BTNFACE);
    CreateHandle(params);
    SetCaption(L"단축키 설정");
    SetClientSize96(299, 121);
    CenterOnScreen();
    CreateControls();
    FormCreate();
}

TFrmHotKey::~TFrmHotKey() { FormDestroy(); }

void TFrmHotKey::CreateControls() {
    GrpConfig = new TGroupBox(this, L"GrpConfig", L"설정");
    GrpConfig->SetBounds96(8, 8, 281, 73);
    BtnYes = new TButton(this, L"BtnYes", L"확인");
    BtnYes->SetBounds96(133, 87, 75, 25);
    BtnYes->OnClick = [this] { BtnYesClick(); };
    BtnNo = new TButton(this, L"BtnNo", L"취소");
    BtnNo->SetBounds96(214, 87, 75, 25);
    BtnNo->OnClick = [this] { BtnNoClick(); };
    ChkShift = new TCheckBox(this, L"ChkShift", L"Shift");
    ChkShift->SetBounds96(16, 36, 50, 17);
    ChkCtrl = new TCheckBox(this, L"ChkCtrl", L"Ctrl");
    ChkCtrl->SetBounds96(71, 36, 50, 17);
    ChkAlt = new TCheckBox(this, L"ChkAlt", L"Alt");
    ChkAlt->SetBounds96(126, 36, 50, 17);
    ChkHotKey = new TComboBox(this, L"ChkHotKey", true);
    ChkHotKey->SetBounds96(181, 34, KeyListWidth96(), 300);
    ChkHotKey->SetHeight96(22);
    for (const HotKeyEntry& entry : HotKeyEntries()) ChkHotKey->AddItem(entry.text);
    // The group box is drawn over by the controls inside it, so it goes to the back.
    SetWindowPos(GrpConfig->Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

int TFrmHotKey::KeyListWidth96() {
    // Wide enough for the longest entry ("PrintScreen") in the dialog's font, which the
    // designed 84 pixels are not, and never past the group box's inner margin (x 281).
    constexpr int kDesigned = 84, kWidest = 100;
    WindowDC screen(nullptr);
    const ScopedSelect font(screen.Get(), Font());
    int text = 0;
    for (const HotKeyEntry& entry : HotKeyEntries()) {
        SIZE size{};
        GetTextExtentPoint32W(screen.Get(), entry.text, lstrlenW(entry.text), &size);
        text = std::max(text, static_cast<int>(size.cx));
    }
    // The text is drawn one pixel in; around it the border, the drop-down button and a margin.
    const int needed = MulDiv(text, 96, Dpi()) + 1 + GetSystemMetrics(SM_CXVSCROLL) + 8;
    return std::clamp(needed, kDesigned, kWidest);
}

void TFrmHotKey::FormCreate() {
    TranslateComponent(this);
    HotKeyID = static_cast<std::uint16_t>(GlobalAddAtomW(L"TovasenHotKey"));
}

bool TFrmHotKey::RegisterStoredHotKey() { return RegisterCaptureHotKey(LoadHotKey()); }

void TFrmHotKey::AskForAnotherKey() {
    MessageBoxW(Application ? Application->Handle() : nullptr,
                Translate(L"알수없는 프로그램이 단축키를 사용중입니다.\\n\\n단축키를 변경해주세요.").c_str(),
                Translate(Caption()).c_str(), MB_ICONERROR);
    Open();
}

void TFrmHotKey::FormDestroy() {
    UnregisterHotKey(Handle(), HotKeyID);
    GlobalDeleteAtom(HotKeyID);
}

std::uint16_t TFrmHotKey::LoadHotKey() {
    const std::uint16_t code = FStoredHotKey;
    ChkHotKey->SetItemIndex(HotKeyEntryIndex(HotKeyVirtualKey(code)).value_or(-1));
    ChkAlt->SetChecked((code & kHotKeyAlt) != 0);
    ChkCtrl->SetChecked((code & kHotKeyCtrl) != 0);
    ChkShift->SetChecked((code & kHotKeyShift) != 0);
    return code;
}

std::uint16_t TFrmHotKey::GetDialogHotKey() const {
    return MakeHotKey(ChkHotKey->ItemIndex(), ChkShift->Checked(), ChkCtrl->Checked(), ChkAlt->Checked());
}

void TFrmHotKey::SaveHotKey() {
    FStoredHotKey = GetDialogHotKey();
    FWriter.Write(&TSettings::hotkey, FStoredHotKey);
}

bool TFrmHotKey::RegisterCaptureHotKey(std::uint16_t code) {
    UnregisterHotKey(Handle(), HotKeyID);
    return RegisterHotKey(Handle(), HotKeyID, HotKeyModifierFlags(code), HotKeyVirtualKey(code)) != FALSE;
}

int TFrmHotKey::ShowMessage(const std::wstring& text, UINT flags) {
    return MessageBoxW(Application ? Application->Handle() : nullptr, text.c_str(), Translate(Caption()).c_str(),
                       flags);
}

void TFrmHotKey::CloseDialog(TModalResult result) {
    if (IsModal()) ModalResult = result;
    else Hide();
}

void TFrmHotKey::BtnYesClick() {
    if (RegisterCaptureHotKey(GetDialogHotKey())) {
        SaveHotKey();
        CloseDialog(mrOk);
        return;
    }
    ShowMessage(Translate(L"단축키가 다른 프로그램에서 사용중입니다."),
                MB_ICONINFORMATION | MB_TOPMOST | MB_SETFOREGROUND);
}

void TFrmHotKey::BtnNoClick() {
    if (!RegisterCaptureHotKey(LoadHotKey())) {
        ShowMessage(Translate(L"단축키가 설정되지 못해 캡쳐기능이 작동하지 않습니다."),
                    MB_ICONERROR | MB_TOPMOST | MB_SETFOREGROUND);
    }
    CloseDialog(mrCancel);
}

void TFrmHotKey::Open() {
    if (Showing()) {
        BringToFront();
        return;
    }
    ShowModal();
}

LRESULT TFrmHotKey::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_HOTKEY) {
        if (wParam == HotKeyID && FOnHotKey) FOnHotKey();
        return 0;
    }
    return TForm::WndProc(msg, wParam, lParam);
}

}  // namespace tovasen
