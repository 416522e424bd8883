#pragma once
#include <cstdint>
#include <functional>

#include "base/settings_schema.h"
#include "i18n/translate_component.h"
#include "ui/form.h"
#include "ui/std_controls.h"

namespace tovasen {

// The capture hotkey's dialog. Its hidden window owns the global hotkey registration and
// receives WM_HOTKEY; shown, it lets the user choose the key. Made once with the main window.
class TFrmHotKey : public TForm {
public:
    static constexpr wchar_t kClassName[] = L"TFrmHotKey";

    // onHotKey runs on the user-interface thread each time the hotkey is pressed. The stored
    // key comes from settings; a confirmed key is stored through writer.
    TFrmHotKey(TComponent* owner, std::function<void()> onHotKey, const TSettings& settings, TSettingsWriter writer);
    // The same with the settings as the registry holds them, written back there.
    TFrmHotKey(TComponent* owner, std::function<void()> onHotKey);
    ~TFrmHotKey() override;

    TGroupBox* GrpConfig = nullptr;
    TButton* BtnYes = nullptr;
    TButton* BtnNo = nullptr;
    TCheckBox* ChkShift = nullptr;
    TCheckBox* ChkCtrl = nullptr;
    TCheckBox* ChkAlt = nullptr;
    TComboBox* ChkHotKey = nullptr;
    std::uint16_t HotKeyID = 0;

    // Registers the stored key; false when another program holds it.
    bool RegisterStoredHotKey();
    // Tells the user that the key is taken and opens the dialog to choose another.
    void AskForAnotherKey();
    // Puts the stored key into the list and the boxes and returns it.
    std::uint16_t LoadHotKey();
    std::uint16_t GetDialogHotKey() const;
    void SaveHotKey();
    bool RegisterCaptureHotKey(std::uint16_t code);
    void BtnYesClick();
    void BtnNoClick();
    // Opens the dialog, or brings it to the front when it shows already.
    void Open();

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void CreateControls();
    int KeyListWidth96();
    void FormCreate();
    void FormDestroy();
    void CloseDialog(TModalResult result);
    int ShowMessage(const std::wstring& text, UINT flags);

    std::function<void()> FOnHotKey;
    TSettingsWriter FWriter;
    std::uint16_t FStoredHotKey;
    // Translates itself when the language changes.
    TLanguageListener FLanguageListener{[this] { TranslateComponent(this); }};
};

}  // namespace tovasen
