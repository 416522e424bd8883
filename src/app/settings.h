#pragma once
#include <string>

namespace tovasen {

class TConfig;

// Every stored setting with the default that applies when it is absent.
struct TSettings {
    std::wstring path;      // output folder
    std::wstring language;  // interface language, already validated
    int language_ocr = 0;
    bool audio = false;
    bool mouse = true;
    bool mouse_rec = true;
    bool autocopy = false;
    bool ffmpeg_log = false;
    int area = 0;
    int saveto = 0;
    int jpeg_quality = 1;  // index into 100, 90, 80, 70, 60
    int webp_quality = 1;
    int append = 1;
    int sound = 2;
    int record_limit = 0;
    int hotkey = 44;  // Print Screen
    int left = 0, top = 0, width = 480, height = 360;
    int width_1 = 320, height_1 = 240;
    int width_2 = 640, height_2 = 480;
    int width_3 = 720, height_3 = 480;
};

// The number of entries of each stored list index (modes, targets, the quality lists).
inline constexpr int kCaptureModeCount = 8;
inline constexpr int kSaveTargetCount = 11;
inline constexpr int kQualityCount = 5;

// Reads all settings. An index outside its list, or a choice that none of its menu's items
// makes, reads as its default, as a value of the wrong type does. The region frame's default
// position centres it on a screen of the given size; the language falls back to the user's own.
TSettings ReadSettings(const TConfig& config, int screenWidth, int screenHeight, const std::wstring& userLanguage,
                       const std::wstring& desktopFolder);

}  // namespace tovasen
