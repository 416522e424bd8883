#include "app/settings.h"

#include <initializer_list>

#include "base/config.h"
#include "i18n/translation.h"

namespace tovasen {
namespace {

int IndexOr(int value, int count, int defaultValue) { return value >= 0 && value < count ? value : defaultValue; }

int OneOf(int value, std::initializer_list<int> choices, int defaultValue) {
    for (int choice : choices) {
        if (value == choice) return value;
    }
    return defaultValue;
}

}  // namespace

TSettings ReadSettings(const TConfig& config, int screenWidth, int screenHeight, const std::wstring& userLanguage,
                       const std::wstring& desktopFolder) {
    TSettings s;
    s.path = config.ReadOptionalString(L"path").value_or(desktopFolder);
    s.language = ResolveLanguage(config.ReadOptionalString(L"language"), userLanguage);
    s.language_ocr = config.ReadInteger(L"language_ocr", s.language_ocr);
    s.audio = config.ReadBoolean(L"audio", s.audio);
    s.mouse = config.ReadBoolean(L"mouse", s.mouse);
    s.mouse_rec = config.ReadBoolean(L"mouse_rec", s.mouse_rec);
    s.autocopy = config.ReadBoolean(L"autocopy", s.autocopy);
    s.ffmpeg_log = config.ReadBoolean(L"ffmpeg_log", s.ffmpeg_log);
    s.area = IndexOr(config.ReadInteger(L"area", s.area), kCaptureModeCount, s.area);
    s.saveto = IndexOr(config.ReadInteger(L"saveto", s.saveto), kSaveTargetCount, s.saveto);
    s.jpeg_quality = IndexOr(config.ReadInteger(L"jpeg_quality", s.jpeg_quality), kQualityCount, s.jpeg_quality);
    s.webp_quality = IndexOr(config.ReadInteger(L"webp_quality", s.webp_quality), kQualityCount, s.webp_quality);
    s.append = OneOf(config.ReadInteger(L"append", s.append), {1, 2, 3}, s.append);
    s.sound = OneOf(config.ReadInteger(L"sound", s.sound), {1, 2, 3}, s.sound);
    s.record_limit = OneOf(config.ReadInteger(L"record_limit", s.record_limit), {0, 30, 60, 120, 240}, s.record_limit);
    s.hotkey = config.ReadInteger(L"hotkey", s.hotkey);
    s.width = config.ReadInteger(L"width", s.width);
    s.height = config.ReadInteger(L"height", s.height);
    s.left = config.ReadInteger(L"left", (screenWidth - 480) / 2);
    s.top = config.ReadInteger(L"top", (screenHeight - 360) / 2);
    s.width_1 = config.ReadInteger(L"width_1", s.width_1);
    s.height_1 = config.ReadInteger(L"height_1", s.height_1);
    s.width_2 = config.ReadInteger(L"width_2", s.width_2);
    s.height_2 = config.ReadInteger(L"height_2", s.height_2);
    s.width_3 = config.ReadInteger(L"width_3", s.width_3);
    s.height_3 = config.ReadInteger(L"height_3", s.height_3);
    return s;
}

}  // namespace tovasen
