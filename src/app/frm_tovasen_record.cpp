// The recording control: one screen recording at a time through TRecorder, its card in the main
// window, the time shown while it runs, and the return to idle when the encoder has finished.
#include <memory>
#include <string>

#include "app/frm_tovasen.h"
#include "base/errors.h"
#include "base/module_path.h"
#include "i18n/translation.h"
#include "record/ffmpeg_command.h"
#include "record/recorder.h"
#include "select/frm_area.h"
#include "ui/application.h"

namespace tovasen {
namespace {

constexpr wchar_t kFileMissing[] = L"\"%s\" 파일이 없습니다.";

int CheckedLimitMinutes(const std::array<TMenuItem*, 5>& items) {
    for (TMenuItem* item : items) {
        // The minutes are the item's name after "ChkRecLimit".
        if (item && item->Checked) return std::stoi(item->Name().substr(11));
    }
    return 0;
}

}  // namespace

void TFrmTovasen::RecordStart() {
    const std::wstring encoder = ExeFolder() + L"ffmpeg.exe";
    if (GetFileAttributesW(encoder.c_str()) == INVALID_FILE_ATTRIBUTES) {
        // Gone since the target was chosen: say so rather than ignore the key.
        std::wstring text = Translate(kFileMissing);
        text.replace(text.find(L"%s"), 2, L"ffmpeg.exe");
        throw Exception(text);
    }
    FStatus = 1;
    ChkArea->SetEnabled(false);
    ShowCard(2);
    try {
        FRecorder = new TRecorder(this);
        FRecorder->Audio = ChkAudio->Checked;
        FRecorder->Mouse = ChkMouse_Rec->Checked;
        FRecorder->Logging = ChkLog->Checked;
        FRecorder->FFMpeg = encoder;
        FRecorder->LogFolder = SavePath;
        FRecorder->LimitSeconds = LimitSecondsForMinutes(CheckedLimitMinutes(ChkRecLimits));
        FRecorder->Output = NewFilename(L"mp4");
        if (CaptureMode() == cmRegion) {
            if (!FrmArea) throw Exception(L"The region frame does not exist.");
            // Asked for every frame: the recording follows the frame when it is dragged.
            FRecorder->Start(FCapture.get(), [this] { return FrmArea->GetRect(); });
        } else {
            FRecorder->Start();
        }
        if (FrmArea) FrmArea->SetRecording(true);
        TmrRec->SetEnabled(true);
        // A script that started the recording hears of the file it is being written to.
        if (FOutcome) FOutcome->Taken = true;
    } catch (...) {
        // Back to idle before the failure is told.
        delete FRecorder;
        FRecorder = nullptr;
        ChkArea->SetEnabled(true);
        ShowCard(0);
        FStatus = 0;
        throw;
    }
}

void TFrmTovasen::RecordStop() {
    if (!FRecorder) return;
    FRecorder->Stop();
    if (FOutcome) {
        FOutcome->Taken = true;
        FOutcome->File = FRecorder->Output;
    }
}

void TFrmTovasen::TmrRecTimer() {
    if (!FRecorder) {
        TmrRec->SetEnabled(false);
        return;
    }
    if (FRecorder->IsRunning()) {
        const std::wstring shown = ShownRecTime(FRecorder->RecTime());
        LvlRecTime->SetCaption(shown);
        if (FrmArea) FrmArea->SetRecTime(shown);
        return;
    }
    TmrRec->SetEnabled(false);
    const std::wstring failure = FRecorder->Failure();
    delete FRecorder;
    FRecorder = nullptr;
    ChkArea->SetEnabled(true);
    ShowCard(0);
    LvlRecTime->SetCaption(L"00:00:00");
    if (FrmArea) FrmArea->SetRecording(false);
    FStatus = 0;
    if (!failure.empty()) ReportFailure(failure);
}

void TFrmTovasen::StopRecordingForEndSession() {
    if (!FRecorder) return;
    FRecorder->Stop();
    // The session is ending: give the encoder a few seconds to finish its file.
    const DWORD until = GetTickCount() + kEndSessionRecordWaitMs;
    while (FRecorder && FRecorder->IsRunning() && static_cast<int>(until - GetTickCount()) > 0) {
        MSG msg;
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop that owns it
                break;
            }
            Application->DispatchOne(msg);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
    }
    if (FRecorder && !FRecorder->IsRunning()) TmrRecTimer();  // finished: back to idle now
}

}  // namespace tovasen
