#include "base/com.h"

#include <ole2.h>

#include "base/errors.h"

namespace tovasen {

TComApartment::TComApartment(TKind kind) noexcept : FKind(kind) {
    // S_FALSE (already in this apartment) counts too: every success must be balanced.
    const HRESULT hr = kind == TKind::Ole ? OleInitialize(nullptr)
                                          : CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    FEntered = SUCCEEDED(hr);
}

TComApartment::~TComApartment() {
    if (!FEntered) return;
    if (FKind == TKind::Ole) OleUninitialize();
    else CoUninitialize();
}

void EnsureComApartment() {
    thread_local bool entered = false;
    if (entered) return;
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // Already in an apartment of either kind is as good: the callers work in both.
    if (FAILED(hr) && hr != RPC_E_CHANGED_MODE) throw EOSError(L"CoInitializeEx", static_cast<unsigned long>(hr));
    entered = true;  // left in place for the thread's life, as the program's other COM users expect
}

TBstr::TBstr(const std::wstring& text) : FText(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
    if (!FText) throw Exception(L"Out of memory for a COM string.");
}

}  // namespace tovasen
