#include "select/frm_size.h"

#include <commctrl.h>

#include "base/errors.h"
#include "base/settings_registry.h"
#include "i18n/translate_component.h"
#include "select/area_geometry.h"
#include "ui/application.h"

namespace tovasen {

// --- TSpinEdit ---------------------------------------------------------------------------------

TSpinEdit::TSpinEdit(TForm* parent, std::wstring name) : TEdit(parent, std::move(name), L"64") {
    static const bool registered = [] {
        INITCOMMONCONTROLSEX init{sizeof(init), ICC_UPDOWN_CLASS};
        return InitCommonControlsEx(&init) != FALSE;
    }();
    (void)registered;
    // No thousands separator: "1,024" would not read back as a number.
    HWND upDown = CreateWindowExW(0, UPDOWN_CLASSW, L"",
                                  WS_CHILD | WS_VISIBLE | UDS_SETBUDDYINT | UDS_NOTHOUSANDS | UDS_ARROWKEYS, 0, 0, 0,
                                  0, parent->Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!upDown) RaiseLastOSError(L"CreateWindowExW(" UPDOWN_CLASSW L")");
    FUpDown.Reset(upDown);
    SendMessageW(upDown, UDM_SETBUDDY, reinterpret_cast<WPARAM>(Handle()), 0);
    SendMessageW(upDown, UDM_SETRANGE32, kSpinMin, kSpinMax);
    SendMessageW(upDown, UDM_SETPOS32, 0, kSpinMin);
}

int TSpinEdit::Value() const { return ParseSpinText(Text()); }

void TSpinEdit::SetValue(long long value) {
    const int clamped = ClampSpin(value);
    const std::wstring text = std::to_wstring(clamped);
    // The frame writes its size here on every step of a resize: do nothing when nothing changes.
    if (Text() == text) return;
    SetText(text);
    SendMessageW(FUpDown.Get(), UDM_SETPOS32, 0, clamped);
}

void TSpinEdit::SetBounds96(int left, int top, int width, int height) {
    FLeft = left;
    FTop = top;
    FWidth = width;
    FHeight = height;
    constexpr int kArrows = 17;
    TControl::SetBounds96(left, top, width - kArrows, height);
    TForm* form = Parent();
    SetWindowPos(FUpDown.Get(), nullptr, form->ScaleValue(left + width - kArrows), form->ScaleValue(top),
                 form->ScaleValue(kArrows), form->ScaleValue(height), SWP_NOZORDER | SWP_NOACTIVATE);
}

void TSpinEdit::ApplyDpi() {
    TEdit::ApplyDpi();
    SetBounds96(FLeft, FTop, FWidth, FHeight);
}

// --- TFrmSize ----------------------------------------------------------------------------------

namespace {

constexpr int kGroupHeight = 53;
constexpr int kGroupStep = 59;

}  // namespace

TFrmSize::TFrmSize(TComponent* owner)
    : TFrmSize(owner, ReadRegistrySettings(TSettingsEnvironment()), RegistrySettingsWriter()) {}

TFrmSize::TFrmSize(TComponent* owner, const TSettings& settings, TSettingsWriter writer)
    : TForm(owner, L"FrmSize"), FWriter(std::move(writer)) {
    TCreateParams params;
    params.ClassName = kClassName;
    params.Caption = L"영역크기 설정";
    params.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    params.ExStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_CONTROLPARENT;
    params.Parent = Application ? Application->Handle() : nullptr;  // owner: no taskbar button
    params.Background = GetSysColorBrush(COLOR_BTNFACE);
    CreateHandle(params);
    SetCaption(L"영역크기 설정");
    SetClientSize96(296, 8 + 4 * kGroupStep);
    CenterOnScreen();
    CreateControls();
    // Tab moves between the fields and Enter applies the group being edited, though the
    // dialog is not modal.
    SetDialogKeys(true);
    TranslateComponent(this);
    LoadPresets(settings);
}

TFrmSize::~TFrmSize() = default;

void TFrmSize::CreateControls() {
    static const wchar_t* const kGroups[4][2] = {{L"GrpArea", L"현재크기"},
                                                 {L"GrpConfig_1", L"사용자 정의 #1"},
                                                 {L"GrpConfig_2", L"사용자 정의 #2"},
                                                 {L"GrpConfig_3", L"사용자 정의 #3"}};
    std::array<TGroupBox*, 4> groups{};
    for (int i = 0; i < 4; ++i) {
        const std::wstring suffix = i == 0 ? L"" : L"_" + std::to_wstring(i);
        const int top = 8 + i * kGroupStep;
        groups[static_cast<std::size_t>(i)] = new TGroupBox(this, kGroups[i][0], kGroups[i][1]);
        groups[static_cast<std::size_t>(i)]->SetBounds96(8, top, 280, kGroupHeight);
        auto* widthLabel = new TLabel(this, L"LblWidth" + suffix, L"넓이 :", SS_RIGHT);
        widthLabel->SetBounds96(14, top + 23, 40, 17);
        auto* width = new TSpinEdit(this, L"EditWidth" + suffix);
        width->SetBounds96(58, top + 20, 64, 23);
        auto* heightLabel = new TLabel(this, L"LblHeight" + suffix, L"높이 :", SS_RIGHT);
        heightLabel->SetBounds96(126, top + 23, 40, 17);
        auto* height = new TSpinEdit(this, L"EditHeight" + suffix);
        height->SetBounds96(170, top + 20, 64, 23);
        auto* apply = new TButton(this, L"BtnApply" + suffix, L"적용");
        apply->SetBounds96(240, top + 19, 42, 25);
        apply->OnClick = [this, i] { Apply(i); };
        FWidths[static_cast<std::size_t>(i)] = width;
        FHeights[static_cast<std::size_t>(i)] = height;
        (i == 0 ? BtnApply : i == 1 ? BtnApply_1 : i == 2 ? BtnApply_2 : BtnApply_3) = apply;
    }
    EditWidth = FWidths[0];
    EditHeight = FHeights[0];
    EditWidth_1 = FWidths[1];
    EditHeight_1 = FHeights[1];
    EditWidth_2 = FWidths[2];
    EditHeight_2 = FHeights[2];
    EditWidth_3 = FWidths[3];
    EditHeight_3 = FHeights[3];
    // The group boxes are drawn over by the controls inside them, so they go to the back.
    for (TGroupBox* group : groups) {
        SetWindowPos(group->Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

void TFrmSize::LoadPresets(const TSettings& settings) {
    const int presets[3][2] = {{settings.width_1, settings.height_1},
                               {settings.width_2, settings.height_2},
                               {settings.width_3, settings.height_3}};
    for (std::size_t i = 1; i <= 3; ++i) {
        FWidths[i]->SetValue(presets[i - 1][0]);
        FHeights[i]->SetValue(presets[i - 1][1]);
    }
}

int TFrmSize::PresetWidth(int sizeNo) const { return FWidths.at(static_cast<std::size_t>(sizeNo))->Value(); }

int TFrmSize::PresetHeight(int sizeNo) const { return FHeights.at(static_cast<std::size_t>(sizeNo))->Value(); }

void TFrmSize::SetCurrentSize(int width, int height) {
    EditWidth->SetValue(width);
    EditHeight->SetValue(height);
}

void TFrmSize::Apply(int sizeNo) {
    // Show what is applied: a field that held "50" or "abc" now says 64.
    const int width = FWidths.at(static_cast<std::size_t>(sizeNo))->Value();
    const int height = FHeights.at(static_cast<std::size_t>(sizeNo))->Value();
    FWidths[static_cast<std::size_t>(sizeNo)]->SetValue(width);
    FHeights[static_cast<std::size_t>(sizeNo)]->SetValue(height);
    if (OnApply) OnApply(width, height, sizeNo);
    SavePresets();
}

void TFrmSize::SavePresets() {
    FWriter.Write(&TSettings::width_1, PresetWidth(1));
    FWriter.Write(&TSettings::width_2, PresetWidth(2));
    FWriter.Write(&TSettings::width_3, PresetWidth(3));
    FWriter.Write(&TSettings::height_1, PresetHeight(1));
    FWriter.Write(&TSettings::height_2, PresetHeight(2));
    FWriter.Write(&TSettings::height_3, PresetHeight(3));
}

void TFrmSize::Open() {
    Show();
}

int TFrmSize::GroupOf(HWND focus) const {
    for (std::size_t i = 0; i < FWidths.size(); ++i) {
        if (focus == FWidths[i]->Handle() || focus == FHeights[i]->Handle()) return static_cast<int>(i);
    }
    return -1;
}

LRESULT TFrmSize::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND && lParam == 0) {
        // Enter and Esc, as the dialog manager sends them.
        if (LOWORD(wParam) == IDOK) {
            const int group = GroupOf(GetFocus());
            if (group >= 0) Apply(group);
            return 0;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            Hide();
            return 0;
        }
    }
    return TForm::WndProc(msg, wParam, lParam);
}

}  // namespace tovasen
