// The upload target's part of the main window: where captures are uploaded, and the address
// the service sends back, opened in the browser once the web-address gate has let it through.
#include "app/frm_tovasen.h"

#include "app/system_helpers.h"
#include "base/address_gate.h"

namespace tovasen {

std::function<std::wstring(std::vector<std::uint8_t>, const UploadProgress&)> TFrmTovasen::Uploader() {
    return [endpoint = UploadService](std::vector<std::uint8_t> png, const UploadProgress& progress) {
        return UploadPng(std::move(png), endpoint, progress);
    };
}

bool TFrmTovasen::OpenAddress(const std::wstring& address) { return OpenServerAddress(address); }

bool TFrmTovasen::OpenServerAddress(const std::wstring& address) {
    if (!IsSafeWebAddress(address)) return false;
    if (OnOpenAddress) OnOpenAddress(address);
    else ShellOpen(address);
    return true;
}

}  // namespace tovasen
