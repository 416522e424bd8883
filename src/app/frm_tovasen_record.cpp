// The recording control's face in the main window: the recording card and the time it shows,
// the region frame's label, the tray's pause item, and the length-limit menu. The recording
// itself belongs to the capture controller.
#include <string>

#include "app/frm_tovasen.h"
#include "base/module_path.h"
#include "i18n/translation.h"
#include "select/frm_area.h"

namespace tovasen {

namespace {

constexpr wchar_t kPause[] = L"녹화 일시정지";
constexpr wchar_t kResume[] = L"녹화 재개";
constexpr wchar_t kRecording[] = L"녹화중";
constexpr wchar_t kPausedCard[] = L"일시정지";

}  // namespace

void TFrmTovasen::RecordingChanged(bool recording) {
    ChkArea->SetEnabled(!recording);
    ShowCard(recording ? 2 : 0);
    if (!recording) LvlRecTime->SetCaption(L"00:00:00");
    PopRecPause->Visible = N16->Visible = recording;
    if (FrmArea) FrmArea->SetRecording(recording);
    if (!recording) RecordingPaused(false);
}

void TFrmTovasen::RecordingTime(const std::wstring& shown) {
    LvlRecTime->SetCaption(shown);
    if (FrmArea) FrmArea->SetRecTime(shown);
}

void TFrmTovasen::RecordingPaused(bool paused) {
    PopRecPause->Caption = Translate(paused ? kResume : kPause);
    Label1->SetCaption(Translate(paused ? kPausedCard : kRecording));
    if (FrmArea) FrmArea->SetPaused(paused);
}

void TFrmTovasen::PopRecPauseClick() {
    const auto reporter = std::make_shared<TUserReporter>();
    const TRecorder* recorder = Controller->Recorder();
    if (recorder && recorder->Paused()) Controller->ResumeRecording(reporter);
    else Controller->PauseRecording(reporter);
}

std::wstring TFrmTovasen::GuardProgram() {
    // The program beside us; a test program that hosts this window has none and records
    // without a guard.
    const std::wstring self = ExeFolder() + L"Tovasen.exe";
    return GetFileAttributesW(self.c_str()) == INVALID_FILE_ATTRIBUTES ? std::wstring() : self;
}

}  // namespace tovasen
