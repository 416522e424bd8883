#include "hotkey/frm_hotkey.h"

#include <algorithm>

#include "base/settings_registry.h"
#include "hotkey/hotkey_code.h"
#include "hotkey/mode_keys.h"
#include "i18n/translate_component.h"
#include "i18n/translation.h"
#include "ui/application.h"

namespace tovasen {

namespace {

constexpr wchar_t kMainKeyText[] = L"기본 단축키";
constexpr wchar_t kKeyTwiceText[] = L"같은 단축키를 두 곳에 쓸 수 없습니다.";
constexpr wchar_t kModeKeysTakenText[] = L"다음 단축키는 다른 프로그램이 사용중입니다.";
constexpr wchar_t kModeKeysNotRegisteredText[] =
    L"다음 모드별 단축키는 다른 프로그램이 사용중이라 등록하지 못했습니다. 단축키 설정에서 바꿀 수 있습니다.";
// The dialog at 96 DPI: the main key's group, the modes' group below it, the buttons under both.
constexpr int kClientWidth = 592, kGroupWidth = kClientWidth - 16;
constexpr int kModeGroupTop = 87, kModeGroupHeight = 24 + kCaptureModeCount * kModeKeyRowHeight96;
constexpr int kButtonTop = kModeGroupTop + kModeGroupHeight + 6;

std::wstring ModeName(TCaptureMode mode) { return Translate(InfoOf(mode).caption); }

}  // namespace

TFrmHotKey::TFrmHotKey(TComponent* owner, std::function<void()> onHotKey, std::function<void(TCaptureMode)> onModeKey)
    : TFrmHotKey(owner, std::move(onHotKey), std::move(onModeKey), ReadRegistrySettings(TSettingsEnvironment()),
                 RegistrySettingsWriter()) {}

TFrmHotKey::TFrmHotKey(TComponent* owner, std::function<void()> onHotKey, std::function<void(TCaptureMode)> onModeKey,
                       const TSettings& settings, TSettingsWriter writer)
    : TForm(owner, L"FrmHotKey"),
      FOnHotKey(std::move(onHotKey)),
      FOnModeKey(std::move(onModeKey)),
      FWriter(std::move(writer)),
      FStoredHotKey(HotKeyFromSetting(settings.hotkey)),
      FStoredModeKeys(ModeKeysFromSettings(settings)) {
    TCreateParams params;
    params.ClassName = kClassName;
    params.Caption = L"단축키 설정";
    params.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    params.ExStyle = WS_EX_DLGMODALFRAME;
    params.Parent = Application ? Application->Handle() : nullptr;  // owner: no taskbar button
    params.Background = GetSysColorBrush(COLOR_BTNFACE);
    CreateHandle(params);
    SetCaption(L"단축키 설정");
    SetClientSize96(kClientWidth, kButtonTop + 25 + 9);
    CenterOnScreen();
    FormCreate();
}

TFrmHotKey::~TFrmHotKey() { FormDestroy(); }

void TFrmHotKey::MakeControls() {
    if (FControlsMade) return;
    CreateControls();
    FControlsMade = true;
    // In the language chosen meanwhile: the form's caption followed it, the new controls not yet.
    TranslateComponent(this);
    ShowKeys();
}

void TFrmHotKey::CreateControls() {
    GrpConfig = new TGroupBox(this, L"GrpConfig", L"설정");
    GrpConfig->SetBounds96(8, 8, kGroupWidth, 73);
    BtnYes = new TButton(this, L"BtnYes", L"확인");
    BtnYes->SetBounds96(kClientWidth - 166, kButtonTop, 75, 25);
    BtnYes->OnClick = [this] { BtnYesClick(); };
    BtnNo = new TButton(this, L"BtnNo", L"취소");
    BtnNo->SetBounds96(kClientWidth - 85, kButtonTop, 75, 25);
    BtnNo->OnClick = [this] { BtnNoClick(); };
    ChkShift = new TCheckBox(this, L"ChkShift", L"Shift");
    ChkShift->SetBounds96(16, 36, 50, 17);
    ChkCtrl = new TCheckBox(this, L"ChkCtrl", L"Ctrl");
    ChkCtrl->SetBounds96(71, 36, 50, 17);
    ChkAlt = new TCheckBox(this, L"ChkAlt", L"Alt");
    ChkAlt->SetBounds96(126, 36, 50, 17);
    const int keyListWidth = KeyListWidth96();
    ChkHotKey = new TComboBox(this, L"ChkHotKey", true);
    ChkHotKey->SetBounds96(181, 34, keyListWidth, 300);
    ChkHotKey->SetHeight96(22);
    for (const HotKeyEntry& entry : HotKeyEntries()) ChkHotKey->AddItem(entry.text);
    GrpModeKeys = new TGroupBox(this, L"GrpModeKeys", L"모드별 단축키");
    GrpModeKeys->SetBounds96(8, kModeGroupTop, kGroupWidth, kModeGroupHeight);
    ModeKeyRows = CreateModeKeyRows(this, kModeGroupTop + 20, keyListWidth);
    // The group boxes are drawn over by the controls inside them, so they go to the back.
    for (TGroupBox* group : {GrpConfig, GrpModeKeys}) {
        SetWindowPos(group->Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
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

bool TFrmHotKey::RegisterStoredHotKey() {
    UnregisterModeKeys();
    const bool registered = RegisterCaptureHotKey(LoadHotKey());
    RegisterModeKeys(FStoredModeKeys);
    return registered;
}

void TFrmHotKey::RegisterModeKeys(const TModeKeys& keys) {
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const int id = kModeKeyIdBase + static_cast<int>(i);
        UnregisterHotKey(Handle(), id);
        FModeKeyRefused[i] = keys[i] != kNoModeKey &&
                             RegisterHotKey(Handle(), id, HotKeyModifierFlags(keys[i]), HotKeyVirtualKey(keys[i])) == FALSE;
        if (ControlsMade()) ShowKeyInUse(ModeKeyRows[i], FModeKeyRefused[i]);
    }
    FRegisteredModeKeys = keys;
}

void TFrmHotKey::UnregisterModeKeys() {
    for (int i = 0; i < kCaptureModeCount; ++i) UnregisterHotKey(Handle(), kModeKeyIdBase + i);
}

std::vector<TCaptureMode> TFrmHotKey::UnregisteredModeKeys() const {
    std::vector<TCaptureMode> modes;
    for (std::size_t i = 0; i < FModeKeyRefused.size(); ++i) {
        if (FModeKeyRefused[i]) modes.push_back(kCaptureModes[i].mode);
    }
    return modes;
}

std::wstring TFrmHotKey::ModeKeyList(const std::vector<TCaptureMode>& modes) const {
    std::wstring list;
    for (const TCaptureMode mode : modes) {
        list += L"\r\n" + ModeName(mode) + L" (" + HotKeyText(FRegisteredModeKeys[static_cast<std::size_t>(mode)]) + L")";
    }
    return list;
}

void TFrmHotKey::TellUnregisteredModeKeys() {
    const std::vector<TCaptureMode> taken = UnregisteredModeKeys();
    if (taken.empty()) return;
    ShowMessage(Translate(kModeKeysNotRegisteredText) + L"\r\n" + ModeKeyList(taken), MB_ICONERROR);
}

void TFrmHotKey::AskForAnotherKey() {
    MessageBoxW(Application ? Application->Handle() : nullptr,
                Translate(L"알수없는 프로그램이 단축키를 사용중입니다.\\n\\n단축키를 변경해주세요.").c_str(),
                Translate(Caption()).c_str(), MB_ICONERROR);
    Open();
}

void TFrmHotKey::FormDestroy() {
    UnregisterModeKeys();
    UnregisterHotKey(Handle(), HotKeyID);
    GlobalDeleteAtom(HotKeyID);
}

std::uint16_t TFrmHotKey::LoadHotKey() {
    if (ControlsMade()) ShowKeys();
    return FStoredHotKey;
}

void TFrmHotKey::ShowKeys() {
    const std::uint16_t code = FStoredHotKey;
    ChkHotKey->SetItemIndex(HotKeyEntryIndex(HotKeyVirtualKey(code)).value_or(-1));
    ChkAlt->SetChecked((code & kHotKeyAlt) != 0);
    ChkCtrl->SetChecked((code & kHotKeyCtrl) != 0);
    ChkShift->SetChecked((code & kHotKeyShift) != 0);
    for (std::size_t i = 0; i < ModeKeyRows.size(); ++i) {
        ShowModeKey(ModeKeyRows[i], FStoredModeKeys[i]);
        ShowKeyInUse(ModeKeyRows[i], FModeKeyRefused[i]);
    }
}

std::uint16_t TFrmHotKey::GetDialogHotKey() const {
    if (!ControlsMade()) return FStoredHotKey;
    return MakeHotKey(ChkHotKey->ItemIndex(), ChkShift->Checked(), ChkCtrl->Checked(), ChkAlt->Checked());
}

TModeKeys TFrmHotKey::GetDialogModeKeys() const {
    if (!ControlsMade()) return FStoredModeKeys;
    TModeKeys keys{};
    for (std::size_t i = 0; i < keys.size(); ++i) keys[i] = ModeKeyOf(ModeKeyRows[i]);
    return keys;
}

void TFrmHotKey::SaveHotKey() {
    FStoredHotKey = GetDialogHotKey();
    FWriter.Write(&TSettings::hotkey, FStoredHotKey);
    FStoredModeKeys = GetDialogModeKeys();
    for (std::size_t i = 0; i < FStoredModeKeys.size(); ++i) FWriter.Write(kModeKeySettings[i], FStoredModeKeys[i]);
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
    constexpr UINT kRefused = MB_ICONINFORMATION | MB_TOPMOST | MB_SETFOREGROUND;
    const std::uint16_t mainKey = GetDialogHotKey();
    const TModeKeys modeKeys = GetDialogModeKeys();
    if (const std::optional<TKeyConflict> clash = FindKeyConflict(mainKey, modeKeys)) {
        const std::wstring holder = clash->holder ? ModeName(*clash->holder) : Translate(kMainKeyText);
        ShowMessage(Translate(kKeyTwiceText) + L"\r\n\r\n" + HotKeyText(modeKeys[static_cast<std::size_t>(clash->mode)]) +
                        L": " + holder + L", " + ModeName(clash->mode),
                    kRefused);
        return;
    }
    // A key moved from one of ours to another must be free before the other takes it.
    UnregisterModeKeys();
    if (!RegisterCaptureHotKey(mainKey)) {
        ShowMessage(Translate(L"단축키가 다른 프로그램에서 사용중입니다."), kRefused);
        return;
    }
    RegisterModeKeys(modeKeys);
    if (const std::vector<TCaptureMode> taken = UnregisteredModeKeys(); !taken.empty()) {
        ShowMessage(Translate(kModeKeysTakenText) + L"\r\n" + ModeKeyList(taken), kRefused);
        return;
    }
    SaveHotKey();
    CloseDialog(mrOk);
}

void TFrmHotKey::BtnNoClick() {
    UnregisterModeKeys();
    const bool registered = RegisterCaptureHotKey(LoadHotKey());
    RegisterModeKeys(FStoredModeKeys);
    if (!registered) {
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
    if (ControlsMade()) ShowKeys();  // what a title-bar close left in them was never confirmed
    ShowModal();
}

LRESULT TFrmHotKey::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    // Whoever shows the window (Open, a modal loop, a test) finds the controls there.
    if (msg == WM_SHOWWINDOW && wParam) MakeControls();
    if (msg == WM_HOTKEY) {
        if (wParam == HotKeyID && FOnHotKey) FOnHotKey();
        const auto mode = CaptureModeAt(static_cast<int>(wParam) - kModeKeyIdBase);
        if (mode && FOnModeKey) FOnModeKey(*mode);
        return 0;
    }
    return TForm::WndProc(msg, wParam, lParam);
}

}  // namespace tovasen
