#include "app/frm_tovasen.h"

#include "app/autostart.h"
#include "app/settings.h"
#include "app/system_helpers.h"
#include "app/window_functions.h"
#include "base/diagnostic_log.h"
#include "base/settings_registry.h"
#include "base/version_text.h"
#include "i18n/translation.h"
#include "ocr/rt_ocr.h"
#include "resource_ids.h"
#include "ui/application.h"
#include "update/update_ui.h"

namespace tovasen {
namespace {

constexpr int kClientWidth = 162;
constexpr int kClientHeight = 191;
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
    OnCloseQuery = [this](bool& canClose) { CloseQuery(canClose); };
    OnRightClick = [this] { PopupMenuAtMouse(); };

    FSettings = std::make_unique<TSettingsModel>(ReadRegistrySettings(SystemSettingsEnvironment()),
                                                 RegistrySettingsWriter());
    // Before any window is made: each translates itself as it is made.
    TranslateComponent(nullptr, FSettings->Values().language);
    FFloats = std::make_unique<TFloatList>([this] {
        const TCaptureOptions o = FSettings->Snapshot();
        return TFloatingSaveOptions{o.Folder, o.JpegQuality, o.WebpQuality};
    });
    FSelection = std::make_unique<TSelectionWindows>(*this, [this] { return FSettings->Mode(); });
    FServices = std::make_unique<TCaptureServices>(*this, *FSettings, *FSelection, *FFloats,
                                                   static_cast<TCaptureView&>(*this));
    FController = std::make_unique<TCaptureController>(nullptr, *FServices);
    FFloats->OnPictureFreed = FController->SpareReturn();
    // Commands may come as soon as the window exists; they run from the message loop, after the start.
    FHistory = std::make_unique<THistoryLink>(*this, *FFloats, [this](const std::wstring& error) {
        ShowMessage(error, kErrorFlags);
    });
    FController->OnFinished = [this](const TFinishedCapture& capture) { FHistory->Record(capture); };
    FServer = std::make_unique<TCommandServer>(*this, *FController, *FHistory, [this] { OpenAbout(); });
    FSelection->OnModeAbandoned = [this] { FSettings->ChooseMode(TCaptureMode::FullScreen); };
    FSelection->OnStopRecording = [this] {
        if (IsRecording()) FController->StopRecording(std::make_shared<TUserReporter>());
    };
    CreateControls();
    CreateMenu();
}

TFrmTovasen::~TFrmTovasen() {
    FLifetime.End();
    FSettings->OnChanged = nullptr;
    FFloats->FloatDelete(nullptr);
    FServer.reset();
    FHistory.reset();  // its window and its pins go before the floating windows' list
    FColourCard->SetShown(false);
}

void TFrmTovasen::FormCreate() {
    // Help requests (F1) do nothing.
    Application->OnHelp = [](bool& callHelp) {
        callHelp = false;
        return true;
    };
    ShowCard(0);
    if (FFirstArgument == L"/inst") SetAutoStart(kAutoStartName, true);
    FMenu->ShowAutoStart(RefreshAutoStart(kAutoStartName));
    Translated();
    FSettings->OnChanged = [this] { ShowSettings(); };

    TrayIcon = new TTrayIcon(this, L"TrayIcon");
    TrayIcon->OnClick = [] { RestoreMainWindow(); };
    TrayIcon->PopupMenu = FMenu->Menu;
    TrayIcon->SetIcon(FSmallIcon.Get());
    TrayIcon->SetHint(L"Tovasen");

    FCanClose = false;
    DisableSnippingKey();
    FrmHotKey = new TFrmHotKey(this, [this] { Start(); }, [this](TCaptureMode mode) {
        FController->Run({std::make_shared<TUserReporter>(), 0, mode});
    });
    const bool hotKeyRegistered = FrmHotKey->RegisterStoredHotKey();
    // Chosen again as a user would: the mode's window opens, and what is stored is what holds.
    FSettings->ChooseMode(FSettings->Mode());
    ChooseTarget(FSettings->Target());  // the stored target may need a piece that has gone since
    // Every window is in place: the main window may show. The icon joins the notification area
    // right after it (adding one is slow under some shells), then come the parts nobody sees; no
    // input is read before the sequence has ended.
    if (OnViewReady) OnViewReady();
    TrayIcon->SetVisible(true);
    MakeSideLists(true);

    FHistory->Open();
    AllowWindowMessage(WM_COPYDATA);
    StartUpdateCheck();
    // A key held by another program is asked for from the message loop, once the whole
    // sequence has run: the tray menu is live by then and reaches every window it opens.
    if (!hotKeyRegistered) Application->Queue(FLifetime.Guard([this] { FrmHotKey->AskForAnotherKey(); }));
    Application->Queue(FLifetime.Guard([this] { FrmHotKey->TellUnregisteredModeKeys(); }));
}

void TFrmTovasen::Start() { FController->Run(std::make_shared<TUserReporter>()); }

void TFrmTovasen::LoadOcrLanguages() {
    // Asked once TXT is first chosen (or found stored), not at every start: the engine and the
    // runtime behind it stay unloaded for whoever never recognises text. A system without OCR
    // (or without the Windows Runtime) offers no languages: the list stays empty and choosing
    // TXT says so.
    if (std::exchange(FOcrLanguagesAsked, true)) return;
    TLanguages languages;
    try {
        languages = FController->Ocr().AvailableLanguages();
    } catch (...) {
        LogCaught(L"ocr-languages", std::current_exception());
    }
    if (ChkOCR_lang) {
        for (const TLanguage& language : languages) ChkOCR_lang->AddItem(language.DisplayName);
    }
    FSettings->SetOcrLanguages(std::move(languages));
}

// --- The update check ------------------------------------------------------------------------

void TFrmTovasen::StartUpdateCheck() {
    // Its own thread; the reply comes back through the application's queue, and freeing the
    // check with this window drops a reply still on the way.
    FUpdateCheck = std::make_unique<TUpdateCheck>(UpdateCheckService, GetVersionText(L"%d.%d.%d.%d"),
                                                  FSettings->Values().language,
                                                  [this](const std::wstring& reply) { UpdateReplyArrived(reply); });
}

// The update dialog, the update-available strip, then the tray tip, in every case.
void TFrmTovasen::UpdateReplyArrived(const std::wstring& reply) {
    UpdateUi ui;
    ui.mainWindow = this;
    ui.smallIcon = FSmallIcon.Get();
    ui.open = [this](const std::wstring& address) { return FServices->OpenServerAddress(address); };
    ui.hold = [url = UpdateCheckService.url, timeout = UpdateCheckService.timeoutMs] {
        SendHoldRequest(url, GetVersionText(L"%d.%d.%d.%d"), timeout);
    };
    bool accepted = false;
    try {
        accepted = HandleUpdateReply(reply, ui);
    } catch (...) {
        // An optional comfort: whatever went wrong, the check still ends below.
        LogCaught(L"update-reply", std::current_exception());
    }
    if (accepted) RequestExit();
    TrayIcon->SetHint(Translate(Caption()) + L" " + GetVersionText(L"%d.%d.%d"));
}

// --- Shut-down ---------------------------------------------------------------------------------

void TFrmTovasen::RequestExit() {
    FCanClose = true;
    Close();
}

void TFrmTovasen::AskExit() {
    if (MessageBoxW(Application->Handle(), Translate(L"정말 종료하시겠습니까?").c_str(), Application->Title().c_str(),
                    kExitQuestionFlags) == IDYES) {
        RequestExit();
    }
}

void TFrmTovasen::CloseQuery(bool& canClose) {
    canClose = FCanClose;
    // At the session's end the recording has been finished already, as far as it could be.
    if (FCanClose && IsRecording() && !FEndingSession) {
        ShowMessage(Translate(L"녹화중입니다."), kNoticeFlags);
        canClose = false;
        return;
    }
    if (!FCanClose) {
        HideMainWindow();
        return;
    }
    FController->Shutdown();
    // Before the loop ends: a floating window's open save dialog is closed now, so the quit
    // reaches the main loop and not the dialog's.
    FFloats->FloatDelete(nullptr);
}

void TFrmTovasen::QueryEndSession() {
    FEndingSession = true;
    if (IsRecording()) {
        // The answer waits until the file is finished: tell the system why.
        ShutdownBlockReasonCreate(Handle(), Translate(L"녹화 파일을 마무리하는 중입니다.").c_str());
        FController->EndRecordingForSession(kEndSessionRecordWaitMs);
        ShutdownBlockReasonDestroy(Handle());
    } else {
        FController->Shutdown();
    }
    RequestExit();
}

// Shows text as given (callers translate the fixed part: an error text must not be looked up).
int TFrmTovasen::ShowMessage(const std::wstring& text, UINT flags) {
    return MessageBoxW(Application->Handle(), text.c_str(), Translate(Caption()).c_str(), flags);
}

void TFrmTovasen::OpenAbout() { ShellOpen(std::wstring(kWebSite) + kAboutPath + L"?v=" + GetVersionText(L"%d.%d.%d.%d")); }

LRESULT TFrmTovasen::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_USER:
        if (!TrayIcon) return 0;  // still inside FormCreate
        if (wParam == 1) RestoreMainWindow();
        else if (wParam == 2) RequestExit();
        return 0;
    case WM_QUERYENDSESSION:
        QueryEndSession();
        return 1;
    case WM_COPYDATA:
        if (!lParam) return 0;
        return FServer->Receive(reinterpret_cast<HWND>(wParam), *reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    default:
        return TForm::WndProc(msg, wParam, lParam);
    }
}

}  // namespace tovasen
