// The recording control's face in the main window: the recording card and the time it shows,
// the region frame's label, and the length-limit menu. The recording itself belongs to the
// capture controller.
#include <string>

#include "app/frm_tovasen.h"
#include "select/frm_area.h"

namespace tovasen {

void TFrmTovasen::RecordingChanged(bool recording) {
    ChkArea->SetEnabled(!recording);
    ShowCard(recording ? 2 : 0);
    if (!recording) LvlRecTime->SetCaption(L"00:00:00");
    if (FrmArea) FrmArea->SetRecording(recording);
}

void TFrmTovasen::RecordingTime(const std::wstring& shown) {
    LvlRecTime->SetCaption(shown);
    if (FrmArea) FrmArea->SetRecTime(shown);
}

}  // namespace tovasen
