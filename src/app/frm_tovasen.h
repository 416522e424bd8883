#pragma once
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/capture_services.h"
#include "app/colour_card.h"
#include "app/command_server.h"
#include "app/history_link.h"
#include "app/main_menu.h"
#include "app/selection_windows.h"
#include "app/settings_model.h"
#include "base/handles.h"
#include "base/lifetime.h"
#include "hotkey/frm_hotkey.h"
#include "i18n/translate_component.h"
#include "service_addresses.h"
#include "ui/form.h"
#include "ui/menu.h"
#include "ui/std_controls.h"
#include "ui/timer.h"
#include "ui/tray_icon.h"
#include "update/update_check.h"

namespace tovasen {

// The main window: a view over the program. It shows the capture mode, the save target and
// their options, the colour-pick card and the recording card, and the one popup menu the tray
// icon shares; what the user chooses goes to the settings model, what the user asks for to the
// capture controller. It owns the program's parts, the tray icon and every capture window.
// Closing it only hides it; the program ends once an exit was asked for.
class TFrmTovasen : public TForm, private TCaptureView {
public:
    static constexpr wchar_t kClassName[] = L"TFrmTovasen";

    // firstArgument is the program's first command-line argument ("/start", "/inst", ...).
    TFrmTovasen(TComponent* owner, std::wstring firstArgument);
    ~TFrmTovasen() override;

    // The start-up sequence: settings, tray icon, hotkey, the chosen mode's window, history,
    // update check. Runs once after construction; it may show dialogs, which a constructor must not.
    void FormCreate();
    // Called by the start-up sequence once every window is in place, before the parts nobody
    // sees are made: where the program shows the main window, painted, without waiting for them.
    std::function<void()> OnViewReady;

    // A request from the hotkey or the tray: failures are told in message boxes.
    void Start();
    bool IsRecording() const noexcept { return FController->IsRecording(); }

    // The program's parts, which tests and scripts speak to.
    TSettingsModel& Settings() noexcept { return *FSettings; }
    TCaptureController& Controller() noexcept { return *FController; }
    TCaptureServices& Services() noexcept { return *FServices; }
    TSelectionWindows& Selection() noexcept { return *FSelection; }
    THistory* History() const noexcept { return FHistory ? FHistory->History() : nullptr; }
    TMainMenu& MainMenu() noexcept { return *FMenu; }
    TColourCard& ColourCard() noexcept { return *FColourCard; }

    // The update service asked at start-up; tests set it before FormCreate.
    UpdateService UpdateCheckService{kUpdateUrl};
    // At log-off, how long a running recording gets to finish its file: the encoder's grace
    // after "q", and time to join the parts of a paused recording.
    static constexpr DWORD kEndSessionRecordWaitMs = 20000;

    // --- Controls (96-DPI layout) ---
    TLabel *LblArea = nullptr, *LblSaveTo = nullptr, *LblCopyright = nullptr;
    TComboBox *ChkArea = nullptr, *ChkSaveTo = nullptr;
    // The save target's side lists: made by the start-up, the current target's first.
    TComboBox *ChkJPEG_qual = nullptr, *ChkWebP_qual = nullptr, *ChkOCR_lang = nullptr;
    TButton* BtnOpenDir = nullptr;
    TShape* ShpRec = nullptr;
    TLabel *LblRecording = nullptr, *LblRecTime = nullptr;
    TFrmHotKey* FrmHotKey = nullptr;
    TTrayIcon* TrayIcon = nullptr;

    // What a user's choice does, as the menu and the lists do it.
    void ChooseMode(TCaptureMode mode);
    // Refused, with a message, when the target cannot work on this system.
    void ChooseTarget(TSaveTarget target);
    void ChooseLanguage(const std::wstring& code);
    void PauseOrResumeRecording();
    void AskExit();
    void OpenAbout();

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    // Layout and menus (frm_tovasen_layout.cpp).
    void CreateControls();
    void CreateMenu();
    void MakeSideLists(bool all);
    void ShowCard(int index);

    // The view of the settings (frm_tovasen_view.cpp).
    void ShowSettings();
    void ApplyMode(TCaptureMode mode);
    void ApplySaveTargetLayout();
    int OcrListIndex() const;
    void Translated();
    void PopupMenuAtMouse();
    std::wstring PickColour() override { return FColourCard->PickColour(); }
    void RecordingChanged(bool recording) override;
    void RecordingTime(const std::wstring& shown) override;
    void RecordingPaused(bool paused) override;

    // Start-up and shut-down (frm_tovasen.cpp).
    // The recognition languages into the settings and the list, once.
    void LoadOcrLanguages();
    void StartUpdateCheck();
    void UpdateReplyArrived(const std::wstring& reply);
    void CloseQuery(bool& canClose);
    void QueryEndSession();
    void RequestExit();
    int ShowMessage(const std::wstring& text, UINT flags);
    static constexpr UINT kErrorFlags = MB_TOPMOST | MB_SETFOREGROUND | MB_ICONERROR;
    static constexpr UINT kNoticeFlags = MB_TOPMOST | MB_SETFOREGROUND | MB_ICONINFORMATION;

    std::wstring FFirstArgument;
    UniqueIcon FIcon;
    UniqueIcon FSmallIcon;
    std::array<std::vector<TControl*>, 3> FCards;
    int FCard = 0;
    std::optional<TCaptureMode> FShownMode;
    bool FCanClose = false;
    bool FEndingSession = false;  // no box may wait for a click then
    bool FOcrLanguagesAsked = false;

    std::unique_ptr<TSettingsModel> FSettings;
    std::unique_ptr<TFloatList> FFloats;
    std::unique_ptr<TSelectionWindows> FSelection;
    std::unique_ptr<TMainMenu> FMenu;
    std::unique_ptr<TColourCard> FColourCard;
    std::unique_ptr<TCaptureServices> FServices;
    std::unique_ptr<TCaptureController> FController;  // goes before the services it uses
    std::unique_ptr<THistoryLink> FHistory;
    std::unique_ptr<TCommandServer> FServer;
    std::unique_ptr<TUpdateCheck> FUpdateCheck;
    TLanguageListener FLanguageListener{[this] { Translated(); }};
    TLifetime FLifetime;
};

}  // namespace tovasen
