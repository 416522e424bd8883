#pragma once
// The user's choices as the program holds them: read once from the store, changed only through
// the intent methods below, each of which stores its value at once through the schema. The main
// window shows them and forwards the user's choices here; scripts and tests change them the
// same way.
#include <functional>
#include <string>

#include "app/capture_request.h"
#include "base/settings_schema.h"
#include "ocr/ocr_types.h"

namespace tovasen {

// The quality lists' entries, by index: 100, 90, ... 60.
inline constexpr int kQualityOfIndex[kQualityCount] = {100, 90, 80, 70, 60};
// The length-limit menu's choices, in minutes (0: none).
inline constexpr int kRecordLimits[] = {0, 30, 60, 120, 240};

class TSettingsModel {
public:
    TSettingsModel(TSettings values, TSettingsWriter writer);

    const TSettings& Values() const noexcept { return FValues; }
    TCaptureMode Mode() const noexcept { return FMode; }
    TSaveTarget Target() const noexcept { return FTarget; }
    // The recogniser's languages, when the system has any; the TXT target needs one.
    const TLanguages& OcrLanguages() const noexcept { return FOcrLanguages; }
    void SetOcrLanguages(TLanguages languages);

    // The choices a request made now is carried out with.
    TCaptureOptions Snapshot() const;

    // Only some modes are kept for the next start: the others open windows or act at once.
    void ChooseMode(TCaptureMode mode);
    void ChooseTarget(TSaveTarget target);
    void ChooseNaming(NamingScheme scheme) { Set(&TSettings::append, static_cast<int>(scheme)); }
    // 1 none, 2 before the capture, 3 after it.
    void ChooseSound(int sound) { Set(&TSettings::sound, sound); }
    void ChooseRecordLimit(int minutes) { Set(&TSettings::record_limit, minutes); }
    void ChooseFolder(const std::wstring& folder) { Set(&TSettings::path, folder); }
    void ChooseLanguage(const std::wstring& code) { Set(&TSettings::language, code); }

    // Any other single value: a toggle, a quality index, the recogniser's language index.
    template <class T, class V>
    void Set(T TSettings::*field, const V& value) {
        FValues.*field = value;
        FWriter.Write(field, FValues.*field);
        Changed();
    }
    void Toggle(bool TSettings::*field) { Set(field, !(FValues.*field)); }

    // Called after every change, for whoever shows the values.
    std::function<void()> OnChanged;

private:
    void Changed() const {
        if (OnChanged) OnChanged();
    }

    TSettings FValues;
    TSettingsWriter FWriter;
    TCaptureMode FMode = TCaptureMode::FullScreen;
    TSaveTarget FTarget = TSaveTarget::Png;
    TLanguages FOcrLanguages;
};

}  // namespace tovasen
