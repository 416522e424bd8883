#pragma once
#include <array>
#include <cstdint>

#include "hotkey/mode_keys.h"
#include "ui/form.h"
#include "ui/std_controls.h"

namespace tovasen {

// One row of the hotkey dialog per capture mode: the mode's name, the modifier boxes, the key
// list (none first) and, when another program holds the key, a word saying so.
struct TModeKeyRow {
    TLabel* LblMode = nullptr;
    TCheckBox* ChkShift = nullptr;
    TCheckBox* ChkCtrl = nullptr;
    TCheckBox* ChkAlt = nullptr;
    TComboBox* ChkKey = nullptr;
    TLabel* LblInUse = nullptr;
};
using TModeKeyRows = std::array<TModeKeyRow, kCaptureModeCount>;

inline constexpr wchar_t kKeyInUseText[] = L"다른 프로그램이 사용중";
// Rows of this height (96 DPI), the first one's top at top.
inline constexpr int kModeKeyRowHeight96 = 26;
TModeKeyRows CreateModeKeyRows(TForm* form, int top, int keyListWidth96);

void ShowModeKey(const TModeKeyRow& row, std::uint16_t code);
std::uint16_t ModeKeyOf(const TModeKeyRow& row);
void ShowKeyInUse(const TModeKeyRow& row, bool inUse);

}  // namespace tovasen
