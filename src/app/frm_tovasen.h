#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "capture/capture.h"
#include "ui/form.h"
#include "ui/handles.h"
#include "ui/menu.h"
#include "ui/tray_icon.h"

namespace tovasen {

class TRecorder;  // arrives with screen recording

// The main window: owner of the tray icon, the grabber and, later, every capture window.
// Closing it only hides it; the program ends once an exit was asked for (FCanClose).
class TFrmTovasen : public TForm {
public:
    static constexpr wchar_t kClassName[] = L"TFrmTovasen";

    // firstArgument is the program's first command-line argument ("/start", "/inst", ...).
    TFrmTovasen(TComponent* owner, std::wstring firstArgument);
    ~TFrmTovasen() override;

    bool IsRecording() const noexcept { return FRecorder != nullptr; }
    std::uint8_t Status() const noexcept { return FStatus; }
    TCapture& Capture() noexcept { return *FCapture; }
    bool CanClose() const noexcept { return FCanClose; }

    // The main window's popup menu, also the tray icon's. It holds what exists so far.
    TPopupMenu* Menu = nullptr;
    TMenuItem* N11 = nullptr;  // the language submenu
    std::array<TMenuItem*, 7> ChkLangItems{};  // ChkLangKo ... ChkLangZh, in kLanguageCodes order
    TMenuItem* ChkRegStart = nullptr;
    TMenuItem* N10 = nullptr;
    TTrayIcon* TrayIcon = nullptr;

    void N10Click();
    void ChkRegStartClick();
    void ChkLang(TMenuItem& sender);

    // Writes one setting at once, as every option handler does after changing its control.
    void SaveConfig(const std::wstring& name, int value);
    void SaveConfig(const std::wstring& name, bool value);
    void SaveConfig(const std::wstring& name, const std::wstring& value);
    void SaveConfig(const std::wstring& name, const wchar_t* value) { SaveConfig(name, std::wstring(value)); }

    std::vector<std::wstring> Languages;  // OCR languages, filled with the settings
    std::wstring Language;                // interface language code
    std::wstring SavePath;                // output folder

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void CreateMenu();
    void FormCreate();
    void FormCloseQuery(bool& canClose);
    void FormDestroy();
    void WMUser(WPARAM wParam);
    void RequestExit();
    int ShowMessage(const std::wstring& text, UINT flags);

    // Steps of start-up and shut-down that the later subsystems fill in.
    void LoadConfig();
    void LoadOcrLanguages();
    void CheckLanguageItem(const std::wstring& code);
    void ShowCard(int index);
    void CreateFloatList();
    void FloatDelete();
    void CreateHotKeyDialog();
    void CreateSizeDialog();
    void ChkAreaChange();
    void ChkSaveToChange();
    void StartUpdateCheck();
    void UpdateCheckDone(bool updateAccepted);

    std::wstring FFirstArgument;
    UniqueIcon FIcon;
    UniqueIcon FSmallIcon;

    std::unique_ptr<TCapture> FCapture;
    TRecorder* FRecorder = nullptr;
    std::uint8_t FStatus = 0;
    bool FCanClose = false;
};

extern TFrmTovasen* FrmTovasen;

}  // namespace tovasen
