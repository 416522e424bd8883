#pragma once
// The capture modes and the save targets: one table each, the only place their order is
// written. The main window's lists, the stored settings, the history's records and the capture
// controller all read them from here.
#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace tovasen {

enum class TCaptureMode : int { FullScreen, Region, Drag, ActiveWindow, WindowControl, WebPage, Color, Scrolling };
enum class TSaveTarget : int { Png, Jpg, Gif, Bmp, WebP, Mp4, Txt, Clipboard, Upload, Printer, Floating, GifAnimated };

struct TModeInfo {
    TCaptureMode mode;
    std::wstring_view caption;      // the list's text, also the key of its translations
    std::wstring_view historyName;  // as the history stores it
    std::wstring_view scriptName;   // as a script names it
    bool needsSelectionWindow;      // shows its own window while chosen
    bool remembered;                // chosen again at the next start (the others start as full screen)
    bool canRecord;                 // the recording targets record in this mode
};

struct TTargetInfo {
    TSaveTarget target;
    std::wstring_view caption;
    std::wstring_view historyName;
    std::wstring_view extension;  // of the file it writes; empty: it writes none of its own
    bool records;                 // starts and stops a recording instead of taking a picture
};

// A row's position is its mode's or target's value, its stored index and its place in the list.
inline constexpr std::array kCaptureModes{
    TModeInfo{TCaptureMode::FullScreen, L"전체화면 캡쳐", L"fullscreen", L"full-screen", false, true, true},
    TModeInfo{TCaptureMode::Region, L"영역화면 캡쳐", L"region", L"region", true, true, true},
    TModeInfo{TCaptureMode::Drag, L"드래그영역 캡쳐", L"drag", L"drag", false, true, false},
    TModeInfo{TCaptureMode::ActiveWindow, L"활성중인 화면 캡쳐", L"window", L"active-window", false, true, false},
    TModeInfo{TCaptureMode::WindowControl, L"윈도우 컨트롤 캡쳐", L"control", L"window-control", true, false, false},
    TModeInfo{TCaptureMode::WebPage, L"웹페이지 캡쳐", L"webpage", L"web", true, false, false},
    TModeInfo{TCaptureMode::Color, L"색상 추출", L"color", L"color", false, false, false},
    TModeInfo{TCaptureMode::Scrolling, L"스크롤 캡쳐", L"scrolling", L"scrolling", false, false, false},
};

inline constexpr std::array kSaveTargets{
    TTargetInfo{TSaveTarget::Png, L"PNG", L"png", L"png", false},
    TTargetInfo{TSaveTarget::Jpg, L"JPG", L"jpg", L"jpg", false},
    TTargetInfo{TSaveTarget::Gif, L"GIF", L"gif", L"gif", false},
    TTargetInfo{TSaveTarget::Bmp, L"BMP", L"bmp", L"bmp", false},
    TTargetInfo{TSaveTarget::WebP, L"WebP", L"webp", L"webp", false},
    TTargetInfo{TSaveTarget::Mp4, L"MP4(동영상)", L"mp4", L"mp4", true},
    TTargetInfo{TSaveTarget::Txt, L"TXT", L"txt", L"txt", false},
    TTargetInfo{TSaveTarget::Clipboard, L"클립보드", L"clipboard", L"", false},
    TTargetInfo{TSaveTarget::Upload, L"이미지창고", L"upload", L"", false},
    TTargetInfo{TSaveTarget::Printer, L"프린터", L"printer", L"", false},
    TTargetInfo{TSaveTarget::Floating, L"플러팅", L"floating", L"", false},
    // Records as MP4 does; the recording becomes an animated GIF at its end.
    TTargetInfo{TSaveTarget::GifAnimated, L"GIF(움짤)", L"gif-animated", L"gif", true},
};

inline constexpr int kCaptureModeCount = static_cast<int>(kCaptureModes.size());
inline constexpr int kSaveTargetCount = static_cast<int>(kSaveTargets.size());

constexpr bool RowsInValueOrder() {
    for (std::size_t i = 0; i < kCaptureModes.size(); ++i) {
        if (static_cast<std::size_t>(kCaptureModes[i].mode) != i) return false;
    }
    for (std::size_t i = 0; i < kSaveTargets.size(); ++i) {
        if (static_cast<std::size_t>(kSaveTargets[i].target) != i) return false;
    }
    return true;
}
static_assert(RowsInValueOrder(), "a row's position is its value");

constexpr const TModeInfo& InfoOf(TCaptureMode mode) { return kCaptureModes[static_cast<std::size_t>(mode)]; }
constexpr const TTargetInfo& InfoOf(TSaveTarget target) { return kSaveTargets[static_cast<std::size_t>(target)]; }
constexpr int StoredIndex(TCaptureMode mode) { return static_cast<int>(mode); }
constexpr int StoredIndex(TSaveTarget target) { return static_cast<int>(target); }

// A stored or listed index; none when it is outside the table.
constexpr std::optional<TCaptureMode> CaptureModeAt(int index) {
    if (index < 0 || index >= kCaptureModeCount) return std::nullopt;
    return kCaptureModes[static_cast<std::size_t>(index)].mode;
}
constexpr std::optional<TSaveTarget> SaveTargetAt(int index) {
    if (index < 0 || index >= kSaveTargetCount) return std::nullopt;
    return kSaveTargets[static_cast<std::size_t>(index)].target;
}
std::optional<TCaptureMode> CaptureModeNamed(std::wstring_view scriptName);

}  // namespace tovasen
