#include "record/input_caption.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cwctype>

namespace tovasen {
namespace {

// The keys whose names differ between languages, in the columns of kNames.
enum TNamed { nCtrl, nShift, nAlt, nWin, nEsc, nEnter, nTab, nBack, nDelete, nLeft, nRight, nUp, nDown, nSpace, nCount };

struct TLanguageNames {
    std::wstring_view language;
    std::array<const wchar_t*, nCount> names;
};

// As the keyboard shortcut pages of each language write them, kept short enough for a caption.
constexpr TLanguageNames kNames[] = {
    {L"en", {L"Ctrl", L"Shift", L"Alt", L"Win", L"Esc", L"Enter", L"Tab", L"Backspace", L"Delete", L"Left", L"Right",
             L"Up", L"Down", L"Space"}},
    {L"ko", {L"Ctrl", L"Shift", L"Alt", L"Windows 키", L"Esc", L"Enter", L"Tab", L"Backspace", L"Delete",
             L"왼쪽 화살표", L"오른쪽 화살표", L"위쪽 화살표", L"아래쪽 화살표", L"스페이스바"}},
    {L"ja", {L"Ctrl", L"Shift", L"Alt", L"Windows キー", L"Esc", L"Enter", L"Tab", L"Backspace", L"Delete",
             L"左方向キー", L"右方向キー", L"上方向キー", L"下方向キー", L"スペース"}},
    {L"ru", {L"Ctrl", L"Shift", L"Alt", L"Win", L"Esc", L"Enter", L"Tab", L"Backspace", L"Delete", L"Влево",
             L"Вправо", L"Вверх", L"Вниз", L"Пробел"}},
    {L"it", {L"Ctrl", L"Maiusc", L"Alt", L"Win", L"Esc", L"Invio", L"Tab", L"Backspace", L"Canc", L"Sinistra",
             L"Destra", L"Su", L"Giù", L"Spazio"}},
    {L"fr", {L"Ctrl", L"Maj", L"Alt", L"Win", L"Échap", L"Entrée", L"Tab", L"Retour arrière", L"Suppr", L"Gauche",
             L"Droite", L"Haut", L"Bas", L"Espace"}},
    {L"zh", {L"Ctrl", L"Shift", L"Alt", L"Win", L"Esc", L"Enter", L"Tab", L"Backspace", L"Delete", L"向左键",
             L"向右键", L"向上键", L"向下键", L"空格"}},
};

const TLanguageNames& NamesOf(std::wstring_view language) {
    for (const TLanguageNames& names : kNames) {
        if (names.language == language) return names;
    }
    return kNames[0];
}

int NamedIndex(int key) {
    switch (key) {
    case vk::Escape: return nEsc;
    case vk::Return: return nEnter;
    case vk::Tab: return nTab;
    case vk::Back: return nBack;
    case vk::Delete: return nDelete;
    case vk::Left: return nLeft;
    case vk::Right: return nRight;
    case vk::Up: return nUp;
    case vk::Down: return nDown;
    case vk::Space: return nSpace;
    default: return -1;
    }
}

// Names that read the same in every language.
const wchar_t* FixedName(int key) {
    switch (key) {
    case vk::Home: return L"Home";
    case vk::End: return L"End";
    case vk::PageUp: return L"PgUp";
    case vk::PageDown: return L"PgDn";
    case vk::Insert: return L"Ins";
    default: return nullptr;
    }
}

bool ActsAlone(int key) {
    switch (key) {
    case vk::Escape:
    case vk::Return:
    case vk::Tab:
    case vk::Back:
    case vk::Delete:
    case vk::Left:
    case vk::Right:
    case vk::Up:
    case vk::Down:
        return true;
    default:
        return key >= vk::F1 && key <= vk::F24;
    }
}

double Clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

}  // namespace

unsigned ModifierOf(int key) {
    switch (key) {
    case vk::Control:
    case vk::LControl:
    case vk::RControl:
        return kModCtrl;
    case vk::Shift:
    case vk::LShift:
    case vk::RShift:
        return kModShift;
    case vk::Menu:
    case vk::LMenu:
    case vk::RMenu:
        return kModAlt;
    case vk::LWin:
    case vk::RWin:
        return kModWin;
    default:
        return 0;
    }
}

bool IsShortcut(int key, unsigned modifiers) {
    if (ModifierOf(key) != 0) return false;
    return ActsAlone(key) || (modifiers & (kModCtrl | kModAlt | kModWin)) != 0;
}

std::wstring KeyName(int key, std::wstring_view language, wchar_t layoutChar) {
    const TLanguageNames& names = NamesOf(language);
    const int named = NamedIndex(key);
    if (named >= 0) return names.names[static_cast<std::size_t>(named)];
    if (key >= vk::F1 && key <= vk::F24) return L"F" + std::to_wstring(key - vk::F1 + 1);
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return std::wstring(1, static_cast<wchar_t>(key));
    if (key >= vk::Numpad0 && key <= vk::Numpad9) return L"Num " + std::to_wstring(key - vk::Numpad0);
    if (const wchar_t* fixed = FixedName(key)) return fixed;
    // Punctuation keys differ between layouts: the character this one puts on the key. A dead
    // key's mark comes with the high bit set.
    const wchar_t shown = static_cast<wchar_t>(layoutChar & 0x7FFF);
    if (shown > L' ') return std::wstring(1, static_cast<wchar_t>(std::towupper(shown)));
    return {};
}

std::wstring ShortcutText(int key, unsigned modifiers, std::wstring_view language, wchar_t layoutChar) {
    const std::wstring name = KeyName(key, language, layoutChar);
    if (name.empty()) return {};
    const TLanguageNames& names = NamesOf(language);
    std::wstring text;
    const std::pair<unsigned, TNamed> order[] = {{kModCtrl, nCtrl}, {kModShift, nShift}, {kModAlt, nAlt}, {kModWin, nWin}};
    for (const auto& [bit, named] : order) {
        if (modifiers & bit) text += std::wstring(names.names[named]) + L" + ";
    }
    return text + name;
}

int CaptionTextHeight(int dpi) { return (20 * dpi + 48) / 96; }

TBoxI CaptionBox(int areaWidth, int areaHeight, int textWidth, int textHeight, int dpi) {
    const int padX = (14 * dpi + 48) / 96, padY = (8 * dpi + 48) / 96, margin = (16 * dpi + 48) / 96;
    const int width = std::min(textWidth + 2 * padX, std::max(0, areaWidth - 2 * margin));
    const int height = textHeight + 2 * padY;
    TBoxI box;
    box.left = (areaWidth - width) / 2;
    box.right = box.left + width;
    // Low in the area, where it hides the least of what is being shown; a small area keeps it
    // inside.
    box.bottom = std::max(height, areaHeight - margin);
    box.top = box.bottom - height;
    return box;
}

void TInputMarks::Press(TMouseButton button, int x, int y, std::int64_t now) {
    // Only what still shows is kept, so a long recording holds a handful at most.
    std::erase_if(FPresses, [now](const TPress& p) { return now - p.at >= kRingMs; });
    FPresses.push_back({button, x, y, now});
}

unsigned TInputMarks::Modifiers() const {
    unsigned held = 0;
    for (int key : FHeld) held |= ModifierOf(key);
    return held;
}

void TInputMarks::KeyDown(int key, std::int64_t now, wchar_t layoutChar) {
    if (std::find(FHeld.begin(), FHeld.end(), key) != FHeld.end()) return;  // the keyboard repeating it
    FHeld.push_back(key);
    if (!IsShortcut(key, Modifiers())) return;
    const std::wstring text = ShortcutText(key, Modifiers(), FLanguage, layoutChar);
    if (text.empty()) return;
    if (text == FShortcut && now - FCaptionAt < kCaptionMs) {
        ++FCount;
    } else {
        FShortcut = text;
        FCount = 1;
    }
    FCaptionAt = now;
}

void TInputMarks::KeyUp(int key) { std::erase(FHeld, key); }

void TInputMarks::Clear() {
    FPresses.clear();
    FHeld.clear();
    FShortcut.clear();
    FCount = 0;
}

std::vector<TRingMark> TInputMarks::Rings(std::int64_t now, int dpi) const {
    std::vector<TRingMark> rings;
    const double scale = dpi / 96.0;
    for (const TPress& p : FPresses) {
        const std::int64_t age = now - p.at;
        if (age < 0 || age >= kRingMs) continue;
        const double t = static_cast<double>(age) / kRingMs;
        const double grown = 1 - (1 - t) * (1 - t);  // fast at first, settling
        TRingMark ring;
        ring.x = p.x;
        ring.y = p.y;
        ring.button = p.button;
        ring.diameter = (24 + 36 * grown) * scale;
        ring.width = 4 * scale;
        ring.opacity = Clamp01(1 - t * t);
        rings.push_back(ring);
    }
    return rings;
}

std::optional<TCaptionMark> TInputMarks::Caption(std::int64_t now) const {
    const std::int64_t age = now - FCaptionAt;
    if (FShortcut.empty() || age < 0 || age >= kCaptionMs) return std::nullopt;
    TCaptionMark caption;
    caption.text = FCount > 1 ? FShortcut + L" \u00D7" + std::to_wstring(FCount) : FShortcut;
    const std::int64_t fadeFrom = kCaptionMs - kCaptionFadeMs;
    caption.opacity = age < fadeFrom ? 1.0 : Clamp01(static_cast<double>(kCaptionMs - age) / kCaptionFadeMs);
    return caption;
}

bool TInputMarks::Showing(std::int64_t now) const { return !Rings(now, 96).empty() || Caption(now).has_value(); }

}  // namespace tovasen
