#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tovasen {

// A hotkey code: the low byte is the virtual key, the high bits the modifiers.
inline constexpr std::uint16_t kHotKeyShift = 0x2000;
inline constexpr std::uint16_t kHotKeyCtrl = 0x4000;
inline constexpr std::uint16_t kHotKeyAlt = 0x8000;
inline constexpr std::uint16_t kDefaultHotKey = 0x2C;  // Print Screen

struct HotKeyEntry {
    const wchar_t* text;
    std::uint8_t virtualKey;
};

// The 50 keys of the hotkey list, in list order: PrintScreen, A-Z, 1-9 and 0, F1-F12, DEL.
const std::vector<HotKeyEntry>& HotKeyEntries();

// The list entry of a virtual key (entry names compare without regard to case, so the
// platform's "Del" finds "DEL"); nothing for a key the list does not hold.
std::optional<int> HotKeyEntryIndex(std::uint8_t virtualKey);

// The code of a list entry with the ticked modifiers; entry -1 (no selection) gives no key.
std::uint16_t MakeHotKey(int entry, bool shift, bool ctrl, bool alt);

// RegisterHotKey's modifier flags (MOD_ALT 1, MOD_CONTROL 2, MOD_SHIFT 4) and key for a code.
unsigned HotKeyModifierFlags(std::uint16_t code);
std::uint8_t HotKeyVirtualKey(std::uint16_t code);

// The stored setting as a code: only its low 16 bits count.
std::uint16_t HotKeyFromSetting(int stored);

}  // namespace tovasen
