#pragma once
#include <cstdint>
#include <array>
#include <functional>
#include <vector>

#include "base/settings_schema.h"
#include "hotkey/mode_key_rows.h"
#include "i18n/translate_component.h"
#include "ui/form.h"
#include "ui/std_controls.h"

namespace tovasen {

// The capture hotkey's dialog. Its hidden window owns the global hotkey registrations (the main
// key and each mode's own) and receives WM_HOTKEY; shown, it lets the user choose the keys.
// Made once with the main window; its controls only when it first shows, since most starts never
// open it and making them was most of the start's time. Until then the keys live in members.
class TFrmHotKey : public TForm {
public:
    static constexpr wchar_t kClassName[] = L"TFrmHotKey";

    // onHotKey runs on the user-interface thread each time the main key is pressed, onModeKey
    // with its mode when a mode's own key is. The stored keys come from settings; confirmed keys
    // are stored through writer.
    TFrmHotKey(TComponent* owner, std::function<void()> onHotKey, std::function<void(TCaptureMode)> onModeKey,
               const TSettings& settings, TSettingsWriter writer);
    // The same with the settings as the registry holds them, written back there.
    TFrmHotKey(TComponent* owner, std::function<void()> onHotKey, std::function<void(TCaptureMode)> onModeKey = {});
    ~TFrmHotKey() override;

    // Null until the dialog first shows.
    TGroupBox* GrpConfig = nullptr;
    TButton* BtnYes = nullptr;
    TButton* BtnNo = nullptr;
    TCheckBox* ChkShift = nullptr;
    TCheckBox* ChkCtrl = nullptr;
    TCheckBox* ChkAlt = nullptr;
    TComboBox* ChkHotKey = nullptr;
    std::uint16_t HotKeyID = 0;
    TGroupBox* GrpModeKeys = nullptr;
    TModeKeyRows ModeKeyRows;
    // The WM_HOTKEY identifier of the first mode's key; the others follow in mode order (the main
    // key's, an atom, lies above 0xC000).
    static constexpr int kModeKeyIdBase = 1;

    // Registers the stored keys; false when another program holds the main key.
    bool RegisterStoredHotKey();
    // Tells the user that the key is taken and opens the dialog to choose another.
    void AskForAnotherKey();
    // Names in one notice every mode key that another program holds; nothing when there is none.
    void TellUnregisteredModeKeys();
    // The modes whose key another program held when the keys were last registered.
    std::vector<TCaptureMode> UnregisteredModeKeys() const;
    // Puts the stored key into the list and the boxes (when they are made) and returns it.
    std::uint16_t LoadHotKey();
    // The keys the controls show; the stored ones while the controls are not made.
    std::uint16_t GetDialogHotKey() const;
    TModeKeys GetDialogModeKeys() const;
    bool ControlsMade() const noexcept { return FControlsMade; }
    void SaveHotKey();
    bool RegisterCaptureHotKey(std::uint16_t code);
    void BtnYesClick();
    void BtnNoClick();
    // Opens the dialog showing the stored keys, or brings it to the front when it shows already.
    void Open();

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    // Makes the controls once, translated and showing the keys.
    void MakeControls();
    void CreateControls();
    int KeyListWidth96();
    // The stored keys into the controls, and a mark beside each mode whose key another program held.
    void ShowKeys();
    void FormCreate();
    void FormDestroy();
    void CloseDialog(TModalResult result);
    void LoadModeKeys();
    // Registers each mode's key (none for a mode without one) and marks those another program holds.
    void RegisterModeKeys(const TModeKeys& keys);
    void UnregisterModeKeys();
    // One line per mode: its name and the key it tried to register.
    std::wstring ModeKeyList(const std::vector<TCaptureMode>& modes) const;
    int ShowMessage(const std::wstring& text, UINT flags);

    std::function<void()> FOnHotKey;
    std::function<void(TCaptureMode)> FOnModeKey;
    TSettingsWriter FWriter;
    std::uint16_t FStoredHotKey;
    TModeKeys FStoredModeKeys{};
    bool FControlsMade = false;
    TModeKeys FRegisteredModeKeys{};  // as last registered, or tried
    std::array<bool, kCaptureModeCount> FModeKeyRefused{};  // another program held the key
    // Translates itself when the language changes.
    TLanguageListener FLanguageListener{[this] { TranslateComponent(this); }};
};

}  // namespace tovasen
