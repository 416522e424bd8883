#include "ocr/winrt_runtime.h"

#include <cstdio>
#include <mutex>

#include "base/errors.h"
#include "base/handles.h"

namespace tovasen {
namespace {

std::wstring HexCode(HRESULT hr) {
    wchar_t text[16];
    std::swprintf(text, 16, L"%08X", static_cast<unsigned>(hr));
    return text;
}

template <class F>
void Bind(HMODULE module, const char* name, F& target) {
    FARPROC proc = module ? GetProcAddress(module, name) : nullptr;
    target = reinterpret_cast<F>(reinterpret_cast<void*>(proc));
}

}  // namespace

void RaiseWinRtError(HRESULT hr) {
    throw EWinRtError(L"Error $" + HexCode(hr) + L": " + SystemErrorText(static_cast<unsigned long>(hr)),
                      static_cast<std::int32_t>(hr));
}

void OleCheck(HRESULT hr) {
    if (FAILED(hr)) throw EWinRtError(SystemErrorText(static_cast<unsigned long>(hr)), static_cast<std::int32_t>(hr));
}

GUID ToWinGuid(const TGuid& g) noexcept {
    GUID guid{};
    guid.Data1 = g.Data1;
    guid.Data2 = g.Data2;
    guid.Data3 = g.Data3;
    for (std::size_t i = 0; i < 8; ++i) guid.Data4[i] = g.Data4[i];
    return guid;
}

const TWinRtApi& TWinRtApi::Get() {
    static TWinRtApi api;
    static HRESULT failure = S_OK;
    static std::once_flag once;
    std::call_once(once, [] {
        // Kept loaded for the life of the process: runtime objects refer into these modules.
        HMODULE core = LoadLibraryW(L"api-ms-win-core-winrt-l1-1-0.dll");
        HMODULE strings = core ? LoadLibraryW(L"api-ms-win-core-winrt-string-l1-1-0.dll") : nullptr;
        if (!core || !strings) {
            failure = HRESULT_FROM_WIN32(GetLastError());
            return;
        }
        Bind(core, "RoGetActivationFactory", api.RoGetActivationFactory);
        Bind(strings, "WindowsCreateString", api.WindowsCreateString);
        Bind(strings, "WindowsDeleteString", api.WindowsDeleteString);
        Bind(strings, "WindowsGetStringRawBuffer", api.WindowsGetStringRawBuffer);
        if (!api.RoGetActivationFactory || !api.WindowsCreateString || !api.WindowsDeleteString ||
            !api.WindowsGetStringRawBuffer) {
            failure = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
        }
    });
    if (FAILED(failure)) RaiseWinRtError(failure);
    return api;
}

THString::THString(const std::wstring& text) {
    WinRtCheck(TWinRtApi::Get().WindowsCreateString(text.c_str(), static_cast<UINT32>(text.size()), &FHandle));
}

THString::~THString() {
    if (FHandle) TWinRtApi::Get().WindowsDeleteString(FHandle);
}

std::wstring THString::Text() const {
    if (!FHandle) return {};
    UINT32 length = 0;
    const wchar_t* raw = TWinRtApi::Get().WindowsGetStringRawBuffer(FHandle, &length);
    return raw ? std::wstring(raw, length) : std::wstring();
}

}  // namespace tovasen
