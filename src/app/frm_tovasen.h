#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/capture_controller.h"
#include "app/reply_sender.h"
#include "capture/capture.h"
#include "hotkey/frm_hotkey.h"
#include "i18n/translate_component.h"
#include "ocr/rt_ocr.h"
#include "output/upload.h"
#include "service_addresses.h"
#include "update/update_check.h"
#include "ui/form.h"
#include "base/handles.h"
#include "ui/menu.h"
#include "ui/std_controls.h"
#include "ui/timer.h"
#include "ui/tray_icon.h"

namespace tovasen {

class TFloatList;
class THistory;
struct RemoteRequest;
class TFrmEditor;
class TFrmFloating;
struct TFloatingSaveOptions;
class TFrmArea;
class TFrmSize;
class TFrmLine;

// The main window: a small panel with the capture mode, the save target and their options,
// the colour-pick card, and the one popup menu that the tray icon shares. It owns the tray
// icon, the grabber and every capture window. Closing it only hides it; the program ends once
// an exit was asked for (FCanClose). Capture requests go to its capture controller, for which it
// supplies the choices, the pictures and the outputs.
class TFrmTovasen : public TForm, private TCaptureHost {
public:
    static constexpr wchar_t kClassName[] = L"TFrmTovasen";

    // firstArgument is the program's first command-line argument ("/start", "/inst", ...).
    TFrmTovasen(TComponent* owner, std::wstring firstArgument);
    ~TFrmTovasen() override;

    bool IsRecording() const noexcept { return Controller && Controller->IsRecording(); }

    // The start-up sequence: settings, tray icon, grabber, hotkey, dialogs, saved mode and
    // target, update check. Runs once after construction, when every pointer is set; it may
    // show dialogs, which a constructor must not.
    void FormCreate();

    // A request from the hotkey or the tray: failures are told in message boxes.
    void Start();
    std::wstring NewFilename(const std::wstring& ext) override;
    TCaptureController* Controller = nullptr;

    // --- Controls (96-DPI layout) ---
    TLabel* LblArea = nullptr;
    TComboBox* ChkArea = nullptr;
    TLabel* LblSaveTo = nullptr;
    TComboBox* ChkSaveTo = nullptr;
    TComboBox* ChkJPEG_qual = nullptr;
    TComboBox* ChkWebP_qual = nullptr;
    TComboBox* ChkOCR_lang = nullptr;
    TButton* BtnOpenDir = nullptr;
    TShape* ShpColor = nullptr;
    TLabel* LblColor = nullptr;
    TListBox* LstColor = nullptr;
    TShape* ShpRec = nullptr;
    TLabel* Label1 = nullptr;
    TLabel* LvlRecTime = nullptr;
    TLabel* LblCopyright = nullptr;
    TTimer* TmrColor = nullptr;
    TFrmHotKey* FrmHotKey = nullptr;
    TFrmSize* FrmSize = nullptr;  // made at start-up, kept
    TFrmArea* FrmArea = nullptr;  // made when region mode is first chosen, kept
    TFrmLine* FrmLine = nullptr;  // the window picker, while window-control mode is chosen

    // --- The popup menu, also the tray icon's ---
    TPopupMenu* Menu = nullptr;
    TMenuItem *PopRecPause = nullptr, *N16 = nullptr;  // pause or resume, and its separator: while recording
    TMenuItem *N12 = nullptr, *N4 = nullptr;
    TMenuItem *ChkSound1 = nullptr, *ChkSound2 = nullptr, *ChkSound3 = nullptr;
    TMenuItem *ChkMouse = nullptr, *ChkAutoCopy = nullptr, *ChkEditFirst = nullptr;
    std::array<TMenuItem*, 3> PopDelays{};  // PopDelay3, PopDelay5, PopDelay10
    TMenuItem *PopHistory = nullptr, *PopRecent = nullptr, *ChkKeepHistory = nullptr, *PopClearHistory = nullptr;
    std::array<TMenuItem*, 5> ChkRecLimits{};  // ChkRecLimit0, 30, 60, 120, 240
    TMenuItem *ChkMouse_Rec = nullptr, *ChkAudio = nullptr, *ChkLog = nullptr;
    TMenuItem* N11 = nullptr;                   // the language submenu
    std::array<TMenuItem*, 7> ChkLangItems{};   // ChkLangKo ... ChkLangZh, in kLanguageCodes order
    TMenuItem *ChkAppend1 = nullptr, *ChkAppend3 = nullptr, *ChkAppend2 = nullptr;
    TMenuItem* N1 = nullptr;
    TMenuItem* ChkRegStart = nullptr;
    TMenuItem *N9 = nullptr, *N10 = nullptr;
    TPopupMenu* Pick = nullptr;  // the colour list's menu: N5 copy, N7 delete
    TTrayIcon* TrayIcon = nullptr;

    // --- Handlers ---
    void N10Click();
    void PopRecPauseClick();
    void ChkRegStartClick();
    void ChkLang(TMenuItem& sender);
    void ChkAreaChange();
    void ChkSaveToChange();
    void ChkAppend1Click(TMenuItem& sender);
    void ChkSound1Click(TMenuItem& sender);
    void ChkRecLimit0Click(TMenuItem& sender);
    void BtnOpenDirClick();
    void N4Click();
    void LblCopyrightClick();
    void TmrColorTimer();
    void N1Click();
    void N5Click();
    void N7Click();
    void FormMouseUp();
    void LstColorDrawItem(const DRAWITEMSTRUCT& item, const std::wstring& text);

    // Writes one setting at once, as every option handler does after changing its control.
    void SaveConfig(const std::wstring& name, int value);
    void SaveConfig(const std::wstring& name, bool value);
    void SaveConfig(const std::wstring& name, const std::wstring& value);
    void SaveConfig(const std::wstring& name, const wchar_t* value) { SaveConfig(name, std::wstring(value)); }

    TLanguages Languages;                 // OCR languages, filled with the settings
    std::wstring Language;                // interface language code
    std::wstring SavePath;                // output folder

    // The image-hosting service, over HTTPS; tests point it at a local TLS server.
    UploadEndpoint UploadService{kUploadHost, 443};
    // Opens an address a server sent, once it passed the web-address gate: the shell unless
    // set (tests record the address instead of starting a browser).
    std::function<void(const std::wstring& address)> OnOpenAddress;
    // The update service asked at start-up; tests set it before FormCreate.
    UpdateService UpdateCheckService{kUpdateUrl};

    // At log-off, how long a running recording gets to finish its file: the encoder's grace
    // after "q", and time to join the parts of a paused recording.
    static constexpr DWORD kEndSessionRecordWaitMs = 20000;

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    // Layout and menus (frm_tovasen_layout.cpp).
    void CreateControls();
    void CreateMenu();
    TMenuItem* AddToggle(TMenuItem* parent, const wchar_t* name, const wchar_t* caption, const wchar_t* setting);
    void ShowCard(int index);
    // The target list's width and the one side box the target has, on card 0 only.
    void ApplySaveTargetLayout();

    // The flags of the window's messages: failures and notices.
    static constexpr UINT kErrorFlags = MB_TOPMOST | MB_SETFOREGROUND | MB_ICONERROR;
    static constexpr UINT kNoticeFlags = MB_TOPMOST | MB_SETFOREGROUND | MB_ICONINFORMATION;

    // Start-up and shut-down.
    void FormCloseQuery(bool& canClose);
    void FormDestroy();
    void WMUser(WPARAM wParam);
    void WMQueryEndSession();
    // sender: the window the sending program names as its own (wParam).
    LRESULT WMCopyData(HWND sender, const COPYDATASTRUCT& data);
    void RunCommand(const RemoteRequest& request, const std::shared_ptr<TOutcomeReporter>& reporter);
    void RequestExit();
    int ShowMessage(const std::wstring& text, UINT flags);

    // Settings.
    void LoadConfig();
    void LoadOcrLanguages();
    void CheckLanguageItem(const std::wstring& code);
    void CheckOneOf(const std::vector<TMenuItem*>& items, TMenuItem* checked);
    // The window's texts, the title and the tray tip in the current language.
    void LanguageChanged();

    // What the capture controller asks of the main window (frm_tovasen_capture.cpp).
    int CaptureMode() const { return ChkArea->ItemIndex(); }
    int SaveTarget() const { return ChkSaveTo->ItemIndex(); }
    TCaptureOptions CaptureOptions() override;
    TGrab Grab(const TCaptureOptions& options) override;
    void PickColour() override;
    void CopyToClipboard(TBitmap& bitmap) override;
    void Print(TBitmap& bitmap) override;
    void Float(TBitmap& bitmap, const RECT& rect) override;
    void PlayCaptureSound() override;
    void Edit(TBitmap& picture, std::function<void(TEdited& edited)> done, std::function<void()> cancelled) override;
    std::function<std::wstring(std::vector<std::uint8_t> png, const UploadProgress& progress)> Uploader() override;
    bool OpenAddress(const std::wstring& address) override;
    std::wstring EncoderPath() override;
    TFuncOfRect RecordedRegion(const TCaptureOptions& options) override;
    TCapture* Grabber() override { return FCapture.get(); }
    void RecordingChanged(bool recording) override;
    void RecordingTime(const std::wstring& shown) override;
    void RecordingPaused(bool paused) override;
    std::wstring GuardProgram() override;
    bool OpenServerAddress(const std::wstring& address);

    // Windows that choose what to capture; they arrive with region selection and web capture.
    void CloseSelectionWindows();
    void ShowSelectionWindow(int mode);

    // Steps that later subsystems fill in.
    void CreateFloatList();
    // The capture history (frm_tovasen_history.cpp): made at start-up when it can be, fed by
    // every finished capture, shown through the tray menu.
    void CreateHistory();
    void RecordInHistory(const TFinishedCapture& capture);
    void RefreshHistoryItems();
    // A file opened in the editor: a saved edit reaches the history's entries of that file.
    void FollowEditInHistory(TFrmEditor& editor);
    // "history_clear": erases the whole history without asking; the script hears how many went.
    void ClearHistoryForScript(const std::shared_ptr<TOutcomeReporter>& reporter);
    // Deletes that floating window, or all of them when form is null.
    void FloatDelete(TFrmFloating* form = nullptr);
    TFloatingSaveOptions FloatingSaveOptions() const;
    bool CreateHotKeyDialog();
    void CreateSizeDialog();
    void StartUpdateCheck();
    void UpdateCheckDone(bool updateAccepted);
    void UpdateReplyArrived(const std::wstring& reply);

    std::wstring FFirstArgument;
    UniqueIcon FIcon;
    UniqueIcon FSmallIcon;
    std::array<std::vector<TControl*>, 3> FCards;
    int FCard = 0;

    std::unique_ptr<TCapture> FCapture;
    std::unique_ptr<TFloatList> FloatList;
    std::unique_ptr<THistory> History;  // null where the history could not be opened
    std::shared_ptr<TReplySender> FReplies = std::make_shared<TReplySender>();
    std::shared_ptr<TCommandBoxGate> FCommandBoxes = std::make_shared<TCommandBoxGate>();
    // Calls queued for later find out through this whether the window still exists.
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
    bool FCanClose = false;
    bool FEndingSession = false;  // no box may wait for a click then
    std::unique_ptr<TUpdateCheck> FUpdateCheck;
    TLanguageListener FLanguageListener{[this] { LanguageChanged(); }};
};

extern TFrmTovasen* FrmTovasen;

}  // namespace tovasen
