#include "history/history_entry.h"

#include <array>

namespace tovasen {
namespace {

constexpr std::array<const wchar_t*, 8> kModes = {L"fullscreen", L"region", L"drag", L"window",
                                                  L"control",    L"webpage", L"color", L"scrolling"};
constexpr std::array<const wchar_t*, 11> kTargets = {L"png", L"jpg",       L"gif",    L"bmp",     L"webp",    L"mp4",
                                                     L"txt", L"clipboard", L"upload", L"printer", L"floating"};

template <std::size_t N>
std::wstring NameAt(const std::array<const wchar_t*, N>& names, int index) {
    return index >= 0 && static_cast<std::size_t>(index) < N ? names[static_cast<std::size_t>(index)] : L"unknown";
}

}  // namespace

std::wstring ModeName(int mode) { return NameAt(kModes, mode); }
std::wstring TargetName(int target) { return NameAt(kTargets, target); }

std::wstring FileNameOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace tovasen
