#include "hotkey/mode_key_rows.h"

#include <string>

#include "hotkey/hotkey_code.h"
#include "i18n/translation.h"

namespace tovasen {

TModeKeyRows CreateModeKeyRows(TForm* form, int top, int keyListWidth96) {
    TModeKeyRows rows;
    for (int i = 0; i < kCaptureModeCount; ++i) {
        const std::wstring n = std::to_wstring(i);
        const int y = top + i * kModeKeyRowHeight96;
        TModeKeyRow& row = rows[static_cast<std::size_t>(i)];
        row.LblMode = new TLabel(form, L"LblMode" + n, std::wstring(kCaptureModes[static_cast<std::size_t>(i)].caption));
        row.LblMode->SetBounds96(16, y + 4, 130, 17);
        row.ChkShift = new TCheckBox(form, L"ChkModeShift" + n, L"Shift");
        row.ChkShift->SetBounds96(150, y + 2, 50, 17);
        row.ChkCtrl = new TCheckBox(form, L"ChkModeCtrl" + n, L"Ctrl");
        row.ChkCtrl->SetBounds96(205, y + 2, 50, 17);
        row.ChkAlt = new TCheckBox(form, L"ChkModeAlt" + n, L"Alt");
        row.ChkAlt->SetBounds96(260, y + 2, 45, 17);
        row.ChkKey = new TComboBox(form, L"ChkModeKey" + n);
        row.ChkKey->SetBounds96(310, y, keyListWidth96, 300);
        row.ChkKey->SetHeight96(22);
        row.ChkKey->AddItem(Translate(kNoKeyText));  // in the language already: not filled twice
        for (const HotKeyEntry& entry : HotKeyEntries()) row.ChkKey->AddItem(entry.text);
        row.LblInUse = new TLabel(form, L"LblModeInUse" + n, L"");
        row.LblInUse->SetBounds96(316 + keyListWidth96, y + 4, 160, 17);
        row.LblInUse->SetFontColor(RGB(192, 0, 0));
    }
    return rows;
}

void ShowModeKey(const TModeKeyRow& row, std::uint16_t code) {
    const TKeyRow shown = ModeKeyRow(code);
    row.ChkKey->SetItemIndex(shown.entry);
    row.ChkShift->SetChecked(shown.shift);
    row.ChkCtrl->SetChecked(shown.ctrl);
    row.ChkAlt->SetChecked(shown.alt);
}

std::uint16_t ModeKeyOf(const TModeKeyRow& row) {
    return ModeKeyCode({row.ChkKey->ItemIndex(), row.ChkShift->Checked(), row.ChkCtrl->Checked(), row.ChkAlt->Checked()});
}

void ShowKeyInUse(const TModeKeyRow& row, bool inUse) {
    row.LblInUse->SetCaption(inUse ? Translate(kKeyInUseText) : std::wstring());
}

}  // namespace tovasen
