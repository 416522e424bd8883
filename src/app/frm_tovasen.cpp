#include "app/frm_tovasen.h"

#include <cwctype>

#include "app/autostart.h"
#include "app/config.h"
#include "app/settings.h"
#include "app/version_text.h"
#include "i18n/translate_component.h"
#include "i18n/translation.h"
#include "app/window_functions.h"
#include "resource_ids.h"
#include "ui/application.h"

namespace tovasen {

TFrmTovasen* FrmTovasen = nullptr;

namespace {

constexpr int kClientWidth = 162;
constexpr int kClientHeight = 191;
constexpr UINT kMessageFlagsError = MB_TOPMOST | MB_SETFOREGROUND | MB_ICONERROR;
constexpr UINT kMessageFlagsInfo = MB_TOPMOST | MB_SETFOREGROUND | MB_ICONINFORMATION;
constexpr UINT kExitQuestionFlags = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_SETFOREGROUND | MB_TOPMOST;

HICON LoadMainIcon(int size) {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON,
                                         size, size, 0));
}

}  // namespace

TFrmTovasen::TFrmTovasen(TComponent* owner, std::wstring firstArgument)
    : TForm(owner, L"FrmTovasen"),
      FFirstArgument(std::move(firstArgument)),
      FIcon(LoadMainIcon(GetSystemMetrics(SM_CXICON))),
      FSmallIcon(LoadMainIcon(GetSystemMetrics(SM_CXSMICON))) {
    FrmTovasen = this;
    TCreateParams params;
    params.ClassName = kClassName;
    params.Caption = L"Tovasen";
    params.Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_BORDER | WS_CLIPCHILDREN;
    params.ExStyle = WS_EX_APPWINDOW;  // the main form owns the taskbar button
    params.Background = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    params.Icon = FIcon.Get();
    CreateHandle(params);
    SetCaption(L"Tovasen");
    SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(FSmallIcon.Get()));
    SetClientSize96(kClientWidth, kClientHeight);
    CenterOnScreen();
    OnCloseQuery = [this](bool& canClose) { FormCloseQuery(canClose); };
    CreateMenu();
    FormCreate();
}

TFrmTovasen::~TFrmTovasen() {
    FormDestroy();
    if (FrmTovasen == this) FrmTovasen = nullptr;
}

void TFrmTovasen::CreateMenu() {
    Menu = new TPopupMenu(this, L"Menu");
    N11 = new TMenuItem(&Menu->Items(), L"N11", L"언어 설정");
    // Each language's own name: these captions are never translated.
    static constexpr std::array<std::pair<const wchar_t*, const wchar_t*>, 7> kLanguageItems = {{
        {L"ChkLangKo", L"한국어"},
        {L"ChkLangEn", L"English"},
        {L"ChkLangJa", L"日本語"},
        {L"ChkLangRu", L"русский"},
        {L"ChkLangIt", L"Italiano"},
        {L"ChkLangFr", L"Français"},
        {L"ChkLangZh", L"中文"},
    }};
    for (std::size_t i = 0; i < kLanguageItems.size(); ++i) {
        ChkLangItems[i] = new TMenuItem(N11, kLanguageItems[i].first, kLanguageItems[i].second,
                                        [this](TMenuItem& sender) { ChkLang(sender); });
    }
    ChkRegStart = new TMenuItem(&Menu->Items(), L"ChkRegStart", L"부팅시 실행",
                                [this](TMenuItem&) { ChkRegStartClick(); });
    new TMenuItem(&Menu->Items(), L"N8", L"-");
    N10 = new TMenuItem(&Menu->Items(), L"N10", L"종료하기", [this](TMenuItem&) { N10Click(); });
}

void TFrmTovasen::FormCreate() {
    // 1-2: the update check's callback is UpdateCheckDone; help requests (F1) do nothing.
    Application->OnHelp = [](bool& callHelp) {
        callHelp = false;
        return true;
    };
    ShowCard(0);
    if (FFirstArgument == L"/inst") SetAutoStart(kAutoStartName, true);
    LoadConfig();

    TrayIcon = new TTrayIcon(this, L"TrayIcon");
    TrayIcon->OnClick = [] { RestoreMainWindow(); };
    TrayIcon->PopupMenu = Menu;
    TrayIcon->SetIcon(FSmallIcon.Get());
    TrayIcon->SetHint(L"Tovasen");
    TrayIcon->SetVisible(true);

    FCapture = std::make_unique<TCapture>();
    CreateFloatList();
    FStatus = 0;
    FCanClose = false;
    DisableSnippingKey();
    CreateHotKeyDialog();
    CreateSizeDialog();
    ChkAreaChange();
    ChkSaveToChange();
    AllowWindowMessage(WM_COPYDATA);
    StartUpdateCheck();
}

// --- Steps that later subsystems fill in -------------------------------------------------------
// Each is called from its place in the start-up sequence already, so the order never changes
// when the subsystem arrives. Until then they do only what is stated.

void TFrmTovasen::LoadConfig() {
    {
        const TConfig config;
        LoadOcrLanguages();
        const TSettings settings = ReadSettings(config, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                                GetUserLanguage(), DesktopFolder());
        Language = settings.language;
        SavePath = settings.path;
        ChkRegStart->Checked = RefreshAutoStart(kAutoStartName);
        // The values of the option menus and lists are applied here as their controls arrive.
        CheckLanguageItem(Language);
    }
    TranslateComponent(this, Language);
    SetCaption(Translate(Caption()));
    Application->SetTitle(Caption());
}

void TFrmTovasen::LoadOcrLanguages() {
    // Text recognition fills Languages; until it exists no OCR language is offered.
}

void TFrmTovasen::CheckLanguageItem(const std::wstring& code) {
    const int checked = LanguageIndex(code);
    for (std::size_t i = 0; i < ChkLangItems.size(); ++i) ChkLangItems[i]->Checked = static_cast<int>(i) == checked;
}

void TFrmTovasen::ChkLang(TMenuItem& sender) {
    std::wstring code = sender.Name().substr(7);  // "ChkLangJa" gives "Ja"
    for (wchar_t& c : code) c = static_cast<wchar_t>(towlower(c));
    Language = code;
    CheckLanguageItem(Language);
    TranslateComponent(this, Language);
    // The region frame and the hotkey and size dialogs are translated here once they exist.
    const std::wstring caption = Translate(Caption());
    Application->SetTitle(caption);
    TrayIcon->SetHint(caption + L" " + GetVersionText(L"%d.%d.%d.%d"));
    SetCaption(caption);
    SaveConfig(L"language", Language);
}

void TFrmTovasen::SaveConfig(const std::wstring& name, int value) { TConfig().WriteInteger(name, value); }

void TFrmTovasen::SaveConfig(const std::wstring& name, bool value) { TConfig().WriteBoolean(name, value); }

void TFrmTovasen::SaveConfig(const std::wstring& name, const std::wstring& value) {
    TConfig().WriteString(name, value);
}

void TFrmTovasen::ShowCard(int) {
    // The card panel arrives with the main window's controls.
}

void TFrmTovasen::CreateFloatList() {
    // Floating snapshot windows arrive with their own subsystem; none can exist before.
}

void TFrmTovasen::FloatDelete() {
    // Frees every floating window once they exist.
}

void TFrmTovasen::CreateHotKeyDialog() {
    // The hotkey dialog registers the capture hotkey; it arrives with the hotkey subsystem.
}

void TFrmTovasen::CreateSizeDialog() {
    // The region size presets dialog arrives with region selection.
}

void TFrmTovasen::ChkAreaChange() {
    // Applies the saved capture mode once the mode list exists.
}

void TFrmTovasen::ChkSaveToChange() {
    // Applies the saved save target and its availability checks once the target list exists.
}

void TFrmTovasen::StartUpdateCheck() {
    // The update check runs on its own thread and calls UpdateCheckDone; it arrives with the
    // update service client.
}

void TFrmTovasen::UpdateCheckDone(bool updateAccepted) {
    if (updateAccepted) RequestExit();
}

// --- Shut-down ---------------------------------------------------------------------------------

void TFrmTovasen::RequestExit() {
    FCanClose = true;
    Close();
}

void TFrmTovasen::FormCloseQuery(bool& canClose) {
    canClose = FCanClose;
    if (FCanClose && IsRecording()) {
        ShowMessage(L"녹화중입니다.", kMessageFlagsInfo);
        canClose = false;
        return;
    }
    if (!FCanClose) HideMainWindow();
}

void TFrmTovasen::FormDestroy() {
    FloatDelete();
    FCapture.reset();
}

void TFrmTovasen::N10Click() {
    if (MessageBoxW(Application->Handle(), Translate(L"정말 종료하시겠습니까?").c_str(), Application->Title().c_str(),
                    kExitQuestionFlags) == IDYES) {
        RequestExit();
    }
}

void TFrmTovasen::ChkRegStartClick() {
    ChkRegStart->Checked = !ChkRegStart->Checked;
    if (!SetAutoStart(kAutoStartName, ChkRegStart->Checked)) {
        ShowMessage(L"잘못된 백신 또는 악성 프로그램이 부팅시 실행을 차단하였습니다.", kMessageFlagsError);
        ChkRegStart->Checked = false;
    }
}

int TFrmTovasen::ShowMessage(const std::wstring& text, UINT flags) {
    return MessageBoxW(Application->Handle(), Translate(text).c_str(), Translate(Caption()).c_str(), flags);
}

// --- Messages ----------------------------------------------------------------------------------

void TFrmTovasen::WMUser(WPARAM wParam) {
    if (!TrayIcon) return;  // still inside FormCreate
    if (wParam == 1) RestoreMainWindow();
    else if (wParam == 2) RequestExit();
}

LRESULT TFrmTovasen::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_USER:
        WMUser(wParam);
        return 0;
    case WM_QUERYENDSESSION:
        RequestExit();
        return 1;
    case WM_RBUTTONUP: {
        POINT at{};
        GetCursorPos(&at);
        Menu->Popup(at.x, at.y, Handle());
        return 0;
    }
    default:
        return TForm::WndProc(msg, wParam, lParam);
    }
}

}  // namespace tovasen
