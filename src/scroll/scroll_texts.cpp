#include "scroll/scroll_texts.h"

#include "i18n/translation.h"

namespace tovasen {

std::wstring ScrollProgressMessage(int height) {
    return FillIn(Translate(kScrollProgressText), {std::to_wstring(height)});
}

std::wstring ScrollLimitMessage(int width, int height) {
    return FillIn(Translate(kScrollLimitText), {std::to_wstring(width) + L" x " + std::to_wstring(height)});
}

std::wstring ScrollJoinFailedMessage(MatchKind why, int takenHeight) {
    const wchar_t* reason = nullptr;
    switch (why) {
    case MatchKind::kNoOverlap: reason = kScrollNoOverlapText; break;
    case MatchKind::kAmbiguous: reason = kScrollAmbiguousText; break;
    case MatchKind::kContradicts: reason = kScrollContradictsText; break;
    case MatchKind::kMoved:
    case MatchKind::kStill: return {};
    }
    return FillIn(Translate(kScrollJoinFailedText), {std::to_wstring(takenHeight), Translate(reason)});
}

}  // namespace tovasen
