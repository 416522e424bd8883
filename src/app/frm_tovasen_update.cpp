// The answer of the update service: the update dialog, the update-available strip, then the
// tray tip, in every case.
#include "app/frm_tovasen.h"

#include "base/version_text.h"
#include "update/update_ui.h"

namespace tovasen {

void TFrmTovasen::UpdateReplyArrived(const std::wstring& reply) {
    UpdateUi ui;
    ui.mainWindow = this;
    ui.smallIcon = FSmallIcon.Get();
    ui.open = [this](const std::wstring& address) { return OpenServerAddress(address); };
    ui.hold = [url = UpdateCheckService.url, timeout = UpdateCheckService.timeoutMs] {
        SendHoldRequest(url, GetVersionText(L"%d.%d.%d.%d"), timeout);
    };
    bool accepted = false;
    try {
        accepted = HandleUpdateReply(reply, ui);
    } catch (const std::exception&) {
        // An optional comfort: whatever went wrong, the check still ends below.
    }
    UpdateCheckDone(accepted);
}

}  // namespace tovasen
