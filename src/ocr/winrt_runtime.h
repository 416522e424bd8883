#pragma once
// The few Windows Runtime functions the recogniser needs, bound on first use so that the program
// starts on systems without the runtime, plus an owner for runtime strings.
#include <windows.h>

#include <inspectable.h>

#include <string>
#include <utility>

#include "base/com.h"
#include "ocr/ocr_types.h"
#include "ocr/winrt_iid.h"

namespace tovasen {

// "Error $80040154: Class not registered": the failing code and the system's text for it.
[[noreturn]] void RaiseWinRtError(HRESULT hr);
// Raises EWinRtError with the system's text alone, for calls the program does not single out.
void OleCheck(HRESULT hr);
inline void WinRtCheck(HRESULT hr) {
    if (FAILED(hr)) RaiseWinRtError(hr);
}

GUID ToWinGuid(const TGuid& guid) noexcept;

// The runtime's functions. Raises EWinRtError at the first use on a system that lacks them.
struct TWinRtApi {
    HRESULT(WINAPI* RoGetActivationFactory)(HSTRING, REFIID, void**) = nullptr;
    HRESULT(WINAPI* WindowsCreateString)(LPCWSTR, UINT32, HSTRING*) = nullptr;
    HRESULT(WINAPI* WindowsDeleteString)(HSTRING) = nullptr;
    PCWSTR(WINAPI* WindowsGetStringRawBuffer)(HSTRING, UINT32*) = nullptr;
    static const TWinRtApi& Get();
};

// An owned runtime string.
class THString {
public:
    THString() = default;
    explicit THString(const std::wstring& text);
    THString(THString&& o) noexcept : FHandle(std::exchange(o.FHandle, nullptr)) {}
    THString& operator=(THString&&) = delete;
    THString(const THString&) = delete;
    THString& operator=(const THString&) = delete;
    ~THString();
    HSTRING Get() const noexcept { return FHandle; }
    HSTRING* Put() noexcept { return &FHandle; }  // for out parameters; the string must be empty
    std::wstring Text() const;

private:
    HSTRING FHandle = nullptr;
};

// The same object as interface U; raises EWinRtError when it is not one.
template <class U, class T>
TComPtr<U> QueryOrRaise(const TComPtr<T>& object) {
    TComPtr<U> other;
    OleCheck(object.QueryTo(other));
    return other;
}

// The activation factory of a runtime class as the interface T.
template <class T>
TComPtr<T> GetActivationFactory(const wchar_t* className) {
    const THString name{std::wstring(className)};
    TComPtr<T> factory;
    const GUID iid = T::Iid();
    WinRtCheck(TWinRtApi::Get().RoGetActivationFactory(name.Get(), iid, factory.PutVoid()));
    return factory;
}

}  // namespace tovasen
