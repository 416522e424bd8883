#include "app/settings_model.h"

#include <utility>

namespace tovasen {

TSettingsModel::TSettingsModel(TSettings values, TSettingsWriter writer)
    : FValues(std::move(values)), FWriter(std::move(writer)),
      FMode(CaptureModeAt(FValues.area).value_or(TCaptureMode::FullScreen)),
      FTarget(SaveTargetAt(FValues.saveto).value_or(TSaveTarget::Png)) {}

void TSettingsModel::SetOcrLanguages(TLanguages languages) {
    FOcrLanguages = std::move(languages);
    Changed();
}

void TSettingsModel::ChooseMode(TCaptureMode mode) {
    FMode = mode;
    Set(&TSettings::area, InfoOf(mode).remembered ? StoredIndex(mode) : StoredIndex(TCaptureMode::FullScreen));
}

void TSettingsModel::ChooseTarget(TSaveTarget target) {
    FTarget = target;
    Set(&TSettings::saveto, StoredIndex(target));
}

TCaptureOptions TSettingsModel::Snapshot() const {
    const auto quality = [](int index) { return index >= 0 && index < kQualityCount ? kQualityOfIndex[index] : 90; };
    TCaptureOptions options;
    options.Mode = FMode;
    options.Target = FTarget;
    options.SoundBefore = FValues.sound == 2;
    options.SoundAfter = FValues.sound == 3;
    options.AutoCopy = FValues.autocopy;
    options.EditFirst = FValues.edit_before_output;
    options.RedactSecrets = FValues.redact_secrets;
    options.ShowCursor = FValues.mouse;
    options.JpegQuality = quality(FValues.jpeg_quality);
    options.WebpQuality = quality(FValues.webp_quality);
    if (!FOcrLanguages.empty()) {
        // A stored index beyond the list reads as the first language.
        const int chosen = FValues.language_ocr;
        const bool inList = chosen >= 0 && chosen < static_cast<int>(FOcrLanguages.size());
        options.OcrLanguage = FOcrLanguages[inList ? static_cast<std::size_t>(chosen) : 0];
    }
    options.Naming = static_cast<NamingScheme>(FValues.append);
    options.Folder = FValues.path;
    options.Recording.Audio = FValues.audio;
    options.Recording.Mouse = FValues.mouse_rec;
    options.Recording.Logging = FValues.ffmpeg_log;
    options.Recording.ShowInput = FValues.show_input;
    options.Recording.LimitMinutes = FValues.record_limit;
    options.Recording.LogFolder = FValues.path;
    return options;
}

}  // namespace tovasen
