#pragma once
// Each capture mode's own key beside the main one: how a stored value, a dialog row and a
// shown text stand for a key, and which choices clash.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "base/capture_kinds.h"
#include "base/settings_schema.h"

namespace tovasen {

// A mode without a key of its own.
inline constexpr std::uint16_t kNoModeKey = 0;

// Where each mode's key is stored, in the order of the modes.
static_assert(kCaptureModeCount == 8, "one stored key per mode: hotkey_mode0 .. hotkey_mode7");
inline constexpr std::array<int TSettings::*, kCaptureModeCount> kModeKeySettings{
    &TSettings::hotkey_mode0, &TSettings::hotkey_mode1, &TSettings::hotkey_mode2, &TSettings::hotkey_mode3,
    &TSettings::hotkey_mode4, &TSettings::hotkey_mode5, &TSettings::hotkey_mode6, &TSettings::hotkey_mode7};

using TModeKeys = std::array<std::uint16_t, kCaptureModeCount>;

// The stored keys as codes; a code without a key (modifiers alone) is none.
TModeKeys ModeKeysFromSettings(const TSettings& settings);

// A mode's row in the dialog: its list holds kNoKeyText first, then the key list.
inline constexpr wchar_t kNoKeyText[] = L"없음";
struct TKeyRow {
    int entry = 0;  // 0: none; 1 and on: the key list's entry + 1; -1: a key the list does not hold
    bool shift = false, ctrl = false, alt = false;
    friend bool operator==(const TKeyRow&, const TKeyRow&) = default;
};
TKeyRow ModeKeyRow(std::uint16_t code);
// The row's code: none when it shows no key, whatever boxes are ticked.
std::uint16_t ModeKeyCode(const TKeyRow& row);

// "Ctrl+Alt+Shift+F5", the key by its list name ("0x24" for one outside the list); empty for none.
std::wstring HotKeyText(std::uint16_t code);

// A mode's key that is also the main key's (holder none) or an earlier mode's.
struct TKeyConflict {
    TCaptureMode mode;
    std::optional<TCaptureMode> holder;
    friend bool operator==(const TKeyConflict&, const TKeyConflict&) = default;
};
// The first clash in the order of the modes; none when every key is used once.
std::optional<TKeyConflict> FindKeyConflict(std::uint16_t mainKey, const TModeKeys& modeKeys);

}  // namespace tovasen
