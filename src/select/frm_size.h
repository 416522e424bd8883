#pragma once
#include <array>
#include <functional>

#include "base/settings_schema.h"
#include "i18n/translate_component.h"
#include "ui/control.h"
#include "ui/form.h"
#include "ui/std_controls.h"

namespace tovasen {

// A number field with an up-down control, limited to 64..9999. Reading never raises: text
// that is not a number reads as the minimum, a number beyond a bound as that bound.
class TSpinEdit : public TEdit {
public:
    TSpinEdit(TForm* parent, std::wstring name);
    int Value() const;
    void SetValue(long long value);
    void SetBounds96(int left, int top, int width, int height);
    void ApplyDpi() override;
    HWND UpDown() const noexcept { return FUpDown.Get(); }

private:
    UniqueWindow FUpDown;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
};

// The region size dialog: the frame's current size and three presets that the frame's size
// menu offers. Made once by the main window and kept; shown without being modal.
class TFrmSize : public TForm {
public:
    static constexpr wchar_t kClassName[] = L"TFrmSize";

    // The presets start from settings; an apply stores them through writer.
    TFrmSize(TComponent* owner, const TSettings& settings, TSettingsWriter writer);
    // The same with the settings as the registry holds them, written back there.
    explicit TFrmSize(TComponent* owner);
    ~TFrmSize() override;

    TSpinEdit *EditWidth = nullptr, *EditHeight = nullptr;
    TSpinEdit *EditWidth_1 = nullptr, *EditHeight_1 = nullptr;
    TSpinEdit *EditWidth_2 = nullptr, *EditHeight_2 = nullptr;
    TSpinEdit *EditWidth_3 = nullptr, *EditHeight_3 = nullptr;
    TButton *BtnApply = nullptr, *BtnApply_1 = nullptr, *BtnApply_2 = nullptr, *BtnApply_3 = nullptr;

    // The frame's SetSize: width, height and the preset number (0 for the current size).
    std::function<void(int width, int height, int sizeNo)> OnApply;

    // The preset sizeNo (1..3) as its fields hold it now.
    int PresetWidth(int sizeNo) const;
    int PresetHeight(int sizeNo) const;
    // The frame's size after each resize (stored in the fields within their limits).
    void SetCurrentSize(int width, int height);
    // Apply button sizeNo (0 for the current size): resize the frame, then store the presets.
    void Apply(int sizeNo);
    void SavePresets();
    // Opens the dialog, or brings it to the front when it shows already.
    void Open();

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void CreateControls();
    void LoadPresets(const TSettings& settings);
    int GroupOf(HWND focus) const;

    TSettingsWriter FWriter;
    std::array<TSpinEdit*, 4> FWidths{};
    std::array<TSpinEdit*, 4> FHeights{};
    TLanguageListener FLanguageListener{[this] { TranslateComponent(this); }};
};

}  // namespace tovasen
