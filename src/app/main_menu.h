#pragma once
#include <array>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/settings_model.h"
#include "history/history.h"
#include "ui/component.h"
#include "ui/menu.h"

namespace tovasen {

// The one popup menu, the main window's and the tray icon's. Its check marks show the settings
// model's values; choosing an option goes to the model, anything else to the actions.
class TMainMenu {
public:
    // What the menu asks of the program that is not a setting.
    struct TActions {
        std::function<void(int seconds)> CaptureAfter;
        std::function<void()> PauseOrResumeRecording;
        std::function<THistory*()> History;
        std::function<void()> ChooseFolder;
        std::function<void()> OpenFolder;
        std::function<void(const std::wstring& code)> ChooseLanguage;
        std::function<void()> OpenHotKeyDialog;
        // Asks for start at log-on (or not); answers whether it now holds.
        std::function<bool(bool wanted)> SetAutoStart;
        std::function<void()> OpenAbout;
        std::function<void()> AskExit;
    };
    TMainMenu(TComponent& owner, TSettingsModel& settings, TActions actions);

    void ShowSettings(const TSettings& values);
    void ShowAutoStart(bool on) { ChkRegStart->Checked = on; }
    // The recording's items: shown while recording, "resume" while paused.
    void RecordingChanged(bool recording);
    void RecordingPaused(bool paused);

    TPopupMenu* Menu = nullptr;
    TMenuItem *PopRecPause = nullptr, *PopRecPauseLine = nullptr;
    TMenuItem *PopHistory = nullptr, *PopRecent = nullptr, *ChkKeepHistory = nullptr, *PopClearHistory = nullptr;
    TMenuItem *PopOpenFolder = nullptr, *PopExit = nullptr;
    TMenuItem *ChkSound1 = nullptr, *ChkSound3 = nullptr, *ChkMouse = nullptr, *ChkAutoCopy = nullptr, *ChkLog = nullptr;
    TMenuItem* ChkShowInput = nullptr;
    TMenuItem *ChkNameContinue = nullptr, *ChkNameDateTime = nullptr, *ChkNameFirstFree = nullptr;
    TMenuItem* ChkRegStart = nullptr;
    std::array<TMenuItem*, 5> ChkRecLimits{};  // in kRecordLimits order
    std::array<TMenuItem*, 7> ChkLangItems{};  // in kInterfaceLanguages order

private:
    // An item whose check mark shows a setting; clicking it runs choose.
    TMenuItem* AddChoice(TMenuItem* parent, const std::wstring& name, const wchar_t* caption,
                         std::function<bool(const TSettings&)> checked, std::function<void()> choose);
    TMenuItem* AddToggle(TMenuItem* parent, const wchar_t* name, const wchar_t* caption, bool TSettings::*field);
    void AddHistoryItems(TMenuItem& root);
    void AddCaptureOptions(TMenuItem& root);
    void AddRecordingOptions(TMenuItem& root);
    void AddLanguagesAndNaming(TMenuItem& root);
    void RefreshHistoryItems();

    TSettingsModel& FSettings;
    TActions FActions;
    std::vector<std::pair<TMenuItem*, std::function<bool(const TSettings&)>>> FChecks;
};

}  // namespace tovasen
