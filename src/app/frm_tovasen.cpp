#include "app/frm_tovasen.h"

#include "app/autostart.h"
#include "app/window_functions.h"
#include "base/version_text.h"
#include "i18n/translation.h"
#include "history/history.h"
#include "output/float_list.h"
#include "resource_ids.h"
#include "select/frm_size.h"
#include "ui/application.h"

namespace tovasen {

TFrmTovasen* FrmTovasen = nullptr;

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
    OnRightClick = [this] { FormMouseUp(); };
    CreateControls();
    CreateMenu();
    Controller = new TCaptureController(this, *this);
}

TFrmTovasen::~TFrmTovasen() {
    *FAlive = false;
    FormDestroy();
    if (FrmTovasen == this) FrmTovasen = nullptr;
}

void TFrmTovasen::FormCreate() {
    // The update check calls UpdateCheckDone when it ends; help requests (F1) do nothing.
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
    CreateHistory();
    FCanClose = false;
    DisableSnippingKey();
    const bool hotKeyRegistered = CreateHotKeyDialog();
    CreateSizeDialog();
    ChkAreaChange();
    ChkSaveToChange();
    AllowWindowMessage(WM_COPYDATA);
    StartUpdateCheck();
    // A key held by another program is asked for from the message loop, once the whole
    // sequence has run: the tray menu is live by then and reaches every window it opens.
    if (!hotKeyRegistered) {
        Application->Queue([hotKey = FrmHotKey] {
            if (FrmTovasen && FrmTovasen->FrmHotKey == hotKey) hotKey->AskForAnotherKey();
        });
    }
}

// --- Steps that later subsystems fill in -------------------------------------------------------
// Each is called from its place in the start-up sequence already, so the order never changes
// when the subsystem arrives. Until then they do only what is stated.

void TFrmTovasen::CreateFloatList() {
    FloatList = std::make_unique<TFloatList>([this] { return FloatingSaveOptions(); });
}

void TFrmTovasen::FloatDelete(TFrmFloating* form) {
    if (FloatList) FloatList->FloatDelete(form);
}

bool TFrmTovasen::CreateHotKeyDialog() {
    FrmHotKey = new TFrmHotKey(this, [this] { Start(); });
    return FrmHotKey->RegisterStoredHotKey();
}

void TFrmTovasen::CreateSizeDialog() { FrmSize = new TFrmSize(this); }

void TFrmTovasen::StartUpdateCheck() {
    // Its own thread; the reply comes back through the application's queue, and freeing the
    // check with this window drops a reply still on the way.
    FUpdateCheck = std::make_unique<TUpdateCheck>(UpdateCheckService, GetVersionText(L"%d.%d.%d.%d"), Language,
                                                  [this](const std::wstring& reply) { UpdateReplyArrived(reply); });
}

void TFrmTovasen::UpdateCheckDone(bool updateAccepted) {
    if (updateAccepted) RequestExit();
    TrayIcon->SetHint(Translate(Caption()) + L" " + GetVersionText(L"%d.%d.%d"));
}

// --- Shut-down ---------------------------------------------------------------------------------

void TFrmTovasen::RequestExit() {
    FCanClose = true;
    Close();
}

void TFrmTovasen::FormCloseQuery(bool& canClose) {
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
    Controller->Shutdown();
    // Before the loop ends: a floating window's open save dialog is closed now, so the quit
    // reaches the main loop and not the dialog's.
    FloatDelete();
}

void TFrmTovasen::FormDestroy() {
    FloatDelete();
    History.reset();  // its window and its pins go before the floating windows' list
    FloatList.reset();
    TmrColor->SetEnabled(false);
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
        ShowMessage(Translate(L"잘못된 백신 또는 악성 프로그램이 부팅시 실행을 차단하였습니다."), kErrorFlags);
        ChkRegStart->Checked = false;
    }
}

// Shows text as given (callers translate the fixed part: an error text must not be looked up).
int TFrmTovasen::ShowMessage(const std::wstring& text, UINT flags) {
    return MessageBoxW(Application->Handle(), text.c_str(), Translate(Caption()).c_str(), flags);
}

// --- Messages ----------------------------------------------------------------------------------

void TFrmTovasen::WMUser(WPARAM wParam) {
    if (!TrayIcon) return;  // still inside FormCreate
    if (wParam == 1) RestoreMainWindow();
    else if (wParam == 2) RequestExit();
}

void TFrmTovasen::WMQueryEndSession() {
    FEndingSession = true;
    if (IsRecording()) {
        // The answer waits until the file is finished: tell the system why.
        ShutdownBlockReasonCreate(Handle(), Translate(L"녹화 파일을 마무리하는 중입니다.").c_str());
        Controller->EndRecordingForSession(kEndSessionRecordWaitMs);
        ShutdownBlockReasonDestroy(Handle());
    } else {
        Controller->Shutdown();
    }
    RequestExit();
}

LRESULT TFrmTovasen::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_USER:
        WMUser(wParam);
        return 0;
    case WM_QUERYENDSESSION:
        WMQueryEndSession();
        return 1;
    case WM_COPYDATA:
        return lParam ? WMCopyData(reinterpret_cast<HWND>(wParam), *reinterpret_cast<const COPYDATASTRUCT*>(lParam)) : 0;
    default:
        return TForm::WndProc(msg, wParam, lParam);
    }
}

}  // namespace tovasen
