#include "hotkey/mode_keys.h"

#include "hotkey/hotkey_code.h"

namespace tovasen {
namespace {

std::uint16_t WithoutEmptyKey(std::uint16_t code) { return HotKeyVirtualKey(code) == 0 ? kNoModeKey : code; }

}  // namespace

TModeKeys ModeKeysFromSettings(const TSettings& settings) {
    TModeKeys keys{};
    for (std::size_t i = 0; i < keys.size(); ++i) {
        keys[i] = WithoutEmptyKey(HotKeyFromSetting(settings.*kModeKeySettings[i]));
    }
    return keys;
}

TKeyRow ModeKeyRow(std::uint16_t code) {
    code = WithoutEmptyKey(code);
    if (code == kNoModeKey) return {};
    const std::optional<int> entry = HotKeyEntryIndex(HotKeyVirtualKey(code));
    return {entry ? *entry + 1 : -1, (code & kHotKeyShift) != 0, (code & kHotKeyCtrl) != 0, (code & kHotKeyAlt) != 0};
}

std::uint16_t ModeKeyCode(const TKeyRow& row) {
    if (row.entry < 1) return kNoModeKey;
    return WithoutEmptyKey(MakeHotKey(row.entry - 1, row.shift, row.ctrl, row.alt));
}

std::wstring HotKeyText(std::uint16_t code) {
    if (HotKeyVirtualKey(code) == 0) return {};
    std::wstring text;
    if (code & kHotKeyCtrl) text += L"Ctrl+";
    if (code & kHotKeyAlt) text += L"Alt+";
    if (code & kHotKeyShift) text += L"Shift+";
    if (const std::optional<int> entry = HotKeyEntryIndex(HotKeyVirtualKey(code))) {
        return text + HotKeyEntries()[static_cast<std::size_t>(*entry)].text;
    }
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    const unsigned key = HotKeyVirtualKey(code);
    return text + L"0x" + kDigits[key >> 4] + kDigits[key & 15];
}

std::optional<TKeyConflict> FindKeyConflict(std::uint16_t mainKey, const TModeKeys& modeKeys) {
    for (std::size_t i = 0; i < modeKeys.size(); ++i) {
        const std::uint16_t key = WithoutEmptyKey(modeKeys[i]);
        if (key == kNoModeKey) continue;
        const TCaptureMode mode = kCaptureModes[i].mode;
        if (key == mainKey) return TKeyConflict{mode, std::nullopt};
        for (std::size_t j = 0; j < i; ++j) {
            if (key == modeKeys[j]) return TKeyConflict{mode, kCaptureModes[j].mode};
        }
    }
    return std::nullopt;
}

}  // namespace tovasen
