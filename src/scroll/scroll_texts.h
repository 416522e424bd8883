#pragma once
#include <string>

#include "scroll/view_match.h"

namespace tovasen {

// The Korean keys of the scrolling capture's texts in the translation table.
inline constexpr wchar_t kScrollModeText[] = L"스크롤 캡쳐";
inline constexpr wchar_t kScrollProgressText[] = L"스크롤 캡쳐 중: %s 픽셀 (Esc를 누르면 멈춥니다)";
inline constexpr wchar_t kScrollLimitText[] = L"그림이 최대 크기(%s)에 이르러 여기까지만 캡쳐했습니다.";
inline constexpr wchar_t kScrollJoinFailedText[] = L"스크롤한 화면을 확실하게 이어 붙일 수 없어 캡쳐를 멈췄습니다 (%s 픽셀 이후). %s";
inline constexpr wchar_t kScrollNoOverlapText[] = L"스크롤한 뒤의 화면이 앞의 화면과 겹치지 않습니다.";
inline constexpr wchar_t kScrollAmbiguousText[] = L"빈 화면이나 되풀이되는 내용이라 얼마나 스크롤되었는지 알 수 없습니다.";
inline constexpr wchar_t kScrollContradictsText[] = L"스크롤한 뒤의 화면이 이미 캡쳐한 부분과 맞지 않습니다.";
inline constexpr wchar_t kScrollWindowChangedText[] = L"캡쳐하는 동안 창의 크기나 위치가 바뀌었습니다.";
inline constexpr wchar_t kScrollNotRespondingText[] = L"창이 응답하지 않습니다.";
inline constexpr wchar_t kScrollTopTooLongText[] = L"창의 맨 위까지 가는 데 너무 오래 걸려 멈춘 곳부터 캡쳐했습니다.";
inline constexpr wchar_t kScrollNoWindowText[] = L"마우스 아래에 캡쳐할 창이 없습니다.";

// The translated texts, ready to show.
std::wstring ScrollProgressMessage(int height);
std::wstring ScrollLimitMessage(int width, int height);
// Why a step could not be joined; kMoved and kStill have no reason and give an empty text.
std::wstring ScrollJoinFailedMessage(MatchKind why, int takenHeight);

}  // namespace tovasen
