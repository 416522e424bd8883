#include "hotkey/hotkey_code.h"

namespace tovasen {

const std::vector<HotKeyEntry>& HotKeyEntries() {
    static const std::vector<HotKeyEntry> entries = [] {
        static const wchar_t* const kLetters[] = {L"A", L"B", L"C", L"D", L"E", L"F", L"G", L"H", L"I",
                                                  L"J", L"K", L"L", L"M", L"N", L"O", L"P", L"Q", L"R",
                                                  L"S", L"T", L"U", L"V", L"W", L"X", L"Y", L"Z"};
        static const wchar_t* const kDigits[] = {L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9", L"0"};
        static const wchar_t* const kFunctionKeys[] = {L"F1", L"F2", L"F3", L"F4",  L"F5",  L"F6",
                                                       L"F7", L"F8", L"F9", L"F10", L"F11", L"F12"};
        std::vector<HotKeyEntry> list{{L"PrintScreen", 0x2C}};
        for (int i = 0; i < 26; ++i) list.push_back({kLetters[i], static_cast<std::uint8_t>(0x41 + i)});
        for (int i = 0; i < 10; ++i) list.push_back({kDigits[i], static_cast<std::uint8_t>(i < 9 ? 0x31 + i : 0x30)});
        for (int i = 0; i < 12; ++i) list.push_back({kFunctionKeys[i], static_cast<std::uint8_t>(0x70 + i)});
        list.push_back({L"DEL", 0x2E});
        return list;
    }();
    return entries;
}

std::optional<int> HotKeyEntryIndex(std::uint8_t virtualKey) {
    const auto& entries = HotKeyEntries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].virtualKey == virtualKey) return static_cast<int>(i);
    }
    return std::nullopt;
}

std::uint16_t MakeHotKey(int entry, bool shift, bool ctrl, bool alt) {
    const auto& entries = HotKeyEntries();
    std::uint16_t code = entry >= 0 && entry < static_cast<int>(entries.size())
                             ? entries[static_cast<std::size_t>(entry)].virtualKey
                             : 0;
    if (alt) code |= kHotKeyAlt;
    if (ctrl) code |= kHotKeyCtrl;
    if (shift) code |= kHotKeyShift;
    return code;
}

unsigned HotKeyModifierFlags(std::uint16_t code) {
    return ((code & kHotKeyAlt) ? 1u : 0u) | ((code & kHotKeyCtrl) ? 2u : 0u) | ((code & kHotKeyShift) ? 4u : 0u);
}

std::uint8_t HotKeyVirtualKey(std::uint16_t code) { return static_cast<std::uint8_t>(code & 0xFF); }

std::uint16_t HotKeyFromSetting(int stored) { return static_cast<std::uint16_t>(static_cast<unsigned>(stored) & 0xFFFF); }

}  // namespace tovasen
