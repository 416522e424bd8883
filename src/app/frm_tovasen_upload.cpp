// The upload target: the capture goes to the image-hosting service while a strip shows the
// progress, and the address it is published under opens in the browser.
#include "app/frm_tovasen.h"

#include "app/system_helpers.h"
#include "base/address_gate.h"
#include "i18n/translation.h"
#include "output/progress_form.h"

namespace tovasen {

void TFrmTovasen::CaptureUpload(TBitmap& bitmap) {
    // The worker never sees the bitmap: its pixels are encoded here, on the thread that owns it.
    std::vector<std::uint8_t> png = EncodeUploadPng(bitmap);
    std::wstring address;
    {
        TProgressForm strip(Translate(L"업로드 중입니다."));
        std::shared_ptr<TProgressValues> values = strip.Values();
        const UploadEndpoint endpoint = UploadService;
        // Meanwhile this thread keeps handling messages; FStatus keeps new captures out.
        Wait([&png, &address, endpoint, values] {
            address = UploadPng(std::move(png), endpoint,
                                [values](std::uint32_t position, std::uint32_t size) { values->Set(position, size); });
        });
    }
    if (address.empty() || !OpenServerAddress(address)) {
        ShowMessage(Translate(L"이미지 업로드를 실패하였습니다."), kErrorFlags);
    }
}

bool TFrmTovasen::OpenServerAddress(const std::wstring& address) {
    if (!IsSafeWebAddress(address)) return false;
    if (OnOpenAddress) OnOpenAddress(address);
    else ShellOpen(address);
    return true;
}

}  // namespace tovasen
