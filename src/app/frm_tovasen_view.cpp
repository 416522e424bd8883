// What the main window shows: the settings model's values in the lists and the menu, the
// chosen mode's card and window, the colour card and the recording card; and what the user's
// choices there do.
#include "app/frm_tovasen.h"
#include "app/system_helpers.h"
#include "base/module_path.h"
#include "base/version_text.h"
#include "i18n/translation.h"
#include "ui/application.h"

namespace tovasen {
namespace {

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

// --- The settings ------------------------------------------------------------------------------

void TFrmTovasen::ShowSettings() {
    const TSettings& values = FSettings->Values();
    if (FShownMode != FSettings->Mode()) ApplyMode(FSettings->Mode());
    ChkSaveTo->SetItemIndex(StoredIndex(FSettings->Target()));
    if (ChkJPEG_qual) ChkJPEG_qual->SetItemIndex(values.jpeg_quality);
    if (ChkWebP_qual) ChkWebP_qual->SetItemIndex(values.webp_quality);
    if (ChkOCR_lang) ChkOCR_lang->SetItemIndex(OcrListIndex());
    FMenu->ShowSettings(values);
    ApplySaveTargetLayout();
}

// The stored language's place in the list; none while there are no languages.
int TFrmTovasen::OcrListIndex() const {
    const int count = static_cast<int>(FSettings->OcrLanguages().size());
    const int stored = FSettings->Values().language_ocr;
    return count == 0 ? -1 : stored >= 0 && stored < count ? stored : 0;
}

void TFrmTovasen::ApplyMode(TCaptureMode mode) {
    FShownMode = mode;
    ChkArea->SetEnabled(false);
    ChkArea->SetItemIndex(StoredIndex(mode));
    ShowCard(mode == TCaptureMode::Color ? 1 : 0);
    FSelection->ShowFor(mode);
    FColourCard->SetShown(FCard == 1);
    ChkArea->SetEnabled(!IsRecording());
}

void TFrmTovasen::ChooseMode(TCaptureMode mode) { FSettings->ChooseMode(mode); }

void TFrmTovasen::ChooseTarget(TSaveTarget target) {
    const std::wstring folder = ExeFolder();
    const auto missing = [this](const wchar_t* file, const wchar_t* code) {
        ShowMessage(FileMissingText(file), kNoticeFlags);
        ShellOpen(std::wstring(kWebSite) + kErrorPath + L"?app=tovasen&msg=" + code);
    };
    if (target == TSaveTarget::Txt) LoadOcrLanguages();
    // Refused choices fall back to PNG, shown before the message says why.
    if (target == TSaveTarget::WebP && !FileExists(folder + L"libwebp.dll")) {
        FSettings->ChooseTarget(TSaveTarget::Png);
        missing(L"libwebp.dll", L"webpnotfound");
    } else if (InfoOf(target).records && !FileExists(folder + L"ffmpeg.exe")) {
        FSettings->ChooseTarget(TSaveTarget::Png);
        missing(L"ffmpeg.exe", L"ffmpegnotfound");
    } else if (target == TSaveTarget::Txt && FSettings->OcrLanguages().empty()) {
        FSettings->ChooseTarget(TSaveTarget::Png);
        // Shown as written: this one text is not translated.
        ShowMessage(L"OCR 을 지원하지 않는 윈도우 환경입니다.", kNoticeFlags);
    } else {
        FSettings->ChooseTarget(target);
    }
}

void TFrmTovasen::ChooseLanguage(const std::wstring& code) {
    FSettings->ChooseLanguage(code);
    // Every open window translates itself, this one included (Translated).
    ChangeLanguage(code);
}

void TFrmTovasen::ShowCard(int index) {
    for (std::size_t i = 0; i < FCards.size(); ++i) {
        for (TControl* c : FCards[i]) c->SetVisible(static_cast<int>(i) == index);
    }
    FCard = index;
    ApplySaveTargetLayout();  // the side boxes belong to card 0
}

// The target list's width and the one side box the target has, on card 0 only.
void TFrmTovasen::ApplySaveTargetLayout() {
    const TSaveTarget target = FSettings->Target();
    const bool quality = target == TSaveTarget::Jpg || target == TSaveTarget::WebP;
    ChkSaveTo->SetWidth96(quality ? 82 : target == TSaveTarget::Txt ? 72 : 145);
    MakeSideLists(false);
    const std::pair<TComboBox*, TSaveTarget> sides[] = {
        {ChkJPEG_qual, TSaveTarget::Jpg}, {ChkWebP_qual, TSaveTarget::WebP}, {ChkOCR_lang, TSaveTarget::Txt}};
    for (const auto& [list, owner] : sides) {
        if (list) list->SetVisible(FCard == 0 && target == owner);
    }
}

void TFrmTovasen::Translated() {
    TranslateComponent(this);
    const std::wstring caption = Translate(Caption());
    Application->SetTitle(caption);
    if (TrayIcon) TrayIcon->SetHint(caption + L" " + GetVersionText(L"%d.%d.%d.%d"));
    // The update strip reads its text in the current language when it paints.
    if (auto* strip = dynamic_cast<TControl*>(FindComponent(L"StatusBar"))) InvalidateRect(strip->Handle(), nullptr, TRUE);
    SetCaption(caption);
}

// --- The menu ----------------------------------------------------------------------------------

void TFrmTovasen::PopupMenuAtMouse() {
    POINT at{};
    GetCursorPos(&at);
    FMenu->Menu->Popup(at.x, at.y, Handle());
}

// --- The recording card ------------------------------------------------------------------------

void TFrmTovasen::RecordingChanged(bool recording) {
    ChkArea->SetEnabled(!recording);
    ShowCard(recording ? 2 : 0);
    if (!recording) LblRecTime->SetCaption(L"00:00:00");
    FMenu->RecordingChanged(recording);
    if (!recording) RecordingPaused(false);
}

void TFrmTovasen::RecordingTime(const std::wstring& shown) { LblRecTime->SetCaption(shown); }

void TFrmTovasen::RecordingPaused(bool paused) {
    FMenu->RecordingPaused(paused);
    LblRecording->SetCaption(Translate(paused ? L"일시정지" : L"녹화중"));
}

void TFrmTovasen::PauseOrResumeRecording() {
    const auto reporter = std::make_shared<TUserReporter>();
    const TRecorder* recorder = FController->Recorder();
    if (recorder && recorder->Paused()) FController->ResumeRecording(reporter);
    else FController->PauseRecording(reporter);
}

}  // namespace tovasen
