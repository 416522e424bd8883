#pragma once
// Windows Runtime interfaces of text recognition, declared by hand: MinGW ships no headers for
// them. Slot order follows the platform's metadata; a test checks every slot. Each interface
// knows its identifier; those of parameterised interfaces are derived from their signatures.
#include <windows.h>

#include <inspectable.h>

#include <cstdint>
#include <string>

#include "ocr/winrt_iid.h"
#include "ocr/winrt_runtime.h"

// COM objects free themselves in Release; nothing deletes through an interface pointer.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

namespace tovasen::winrt {

inline GUID Iid(const char* text) { return ToWinGuid(ParseGuid(text)); }

inline constexpr const char* kVectorViewGeneric = "bbe1fa4c-b0e3-4583-baef-1f1b2e483e56";
inline constexpr const char* kAsyncOperationGeneric = "9fc2b0bb-e446-44e2-aa61-9cab8f636af2";
inline constexpr const char* kCompletedHandlerGeneric = "fcdcf02c-e5d8-4478-915a-4d90b74b83a5";
inline constexpr const char* kReferenceGeneric = "61c17706-2d65-11e0-9ae8-d48564015472";

inline GUID ParameterizedIid(const char* generic, const std::string& argument) {
    return ToWinGuid(tovasen::ParameterizedIid(InterfaceSignature(ParseGuid(generic), {argument})));
}

// A runtime class as a type argument: "rc(Name;{default interface})".
#define TOVASEN_WINRT_RUNTIME_CLASS(className, iid)                                                       \
    static GUID Iid() { return ::tovasen::winrt::Iid(iid); }                                        \
    static std::string Signature() { return RuntimeClassSignature(className, ParseGuid(iid)); }

enum class AsyncStatus : std::int32_t { Started = 0, Completed = 1, Canceled = 2, Error = 3 };

struct Rect {
    float X, Y, Width, Height;
};

struct BitmapPlaneDescription {
    std::int32_t StartIndex, Width, Height, Stride;
};

struct EventRegistrationToken {
    std::int64_t Value;
};

template <class T>
struct IVectorView : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE GetAt(UINT32 index, T** item) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Size(UINT32* size) = 0;
    virtual HRESULT STDMETHODCALLTYPE IndexOf(T* value, UINT32* index, boolean* found) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMany(UINT32 start, UINT32 capacity, T** items, UINT32* actual) = 0;
    static GUID Iid() { return ParameterizedIid(kVectorViewGeneric, T::Signature()); }
};

// IVectorView<String>: its items are runtime strings, not interfaces.
struct IVectorViewOfString : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE GetAt(UINT32 index, HSTRING* item) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Size(UINT32* size) = 0;
    virtual HRESULT STDMETHODCALLTYPE IndexOf(HSTRING value, UINT32* index, boolean* found) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMany(UINT32 start, UINT32 capacity, HSTRING* items, UINT32* actual) = 0;
    static GUID Iid() { return ParameterizedIid(kVectorViewGeneric, std::string(kStringSignature)); }
};

struct IReferenceOfDouble : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Value(double* value) = 0;
    static GUID Iid() { return ParameterizedIid(kReferenceGeneric, std::string(kDoubleSignature)); }
};

template <class T>
struct IAsyncOperation;

template <class T>
struct IAsyncOperationCompletedHandler : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(IAsyncOperation<T>* asyncInfo, AsyncStatus status) = 0;
    static GUID Iid() { return ParameterizedIid(kCompletedHandlerGeneric, T::Signature()); }
};

template <class T>
struct IAsyncOperation : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE put_Completed(IAsyncOperationCompletedHandler<T>* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Completed(IAsyncOperationCompletedHandler<T>** handler) = 0;
    // The result is an interface: one pointer level for the out parameter, no more.
    virtual HRESULT STDMETHODCALLTYPE GetResults(T** results) = 0;
    static GUID Iid() { return ParameterizedIid(kAsyncOperationGeneric, T::Signature()); }
};

struct IAsyncInfo : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Id(UINT32* id) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Status(AsyncStatus* status) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* errorCode) = 0;
    virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
    static GUID Iid() { return winrt::Iid("00000036-0000-0000-c000-000000000046"); }
};

struct IClosable : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
    static GUID Iid() { return winrt::Iid("30d5a829-7fa4-4026-83bb-d75bae4ea99e"); }
};

struct IActivationFactory : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) = 0;
    static GUID Iid() { return winrt::Iid("00000035-0000-0000-c000-000000000046"); }
};

struct IAgileObjectDecl : IUnknown {
    static GUID Iid() { return winrt::Iid("94ea2b94-e9cc-49e0-c0ff-ee64ca8f5b90"); }
};

struct ILanguage : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_LanguageTag(HSTRING* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DisplayName(HSTRING* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_NativeName(HSTRING* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Script(HSTRING* value) = 0;
    TOVASEN_WINRT_RUNTIME_CLASS("Windows.Globalization.Language", "ea79a752-f7c2-4265-b1bd-c4dec4e4f080")
};

struct IMemoryBufferReference : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Capacity(UINT32* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_Closed(IUnknown* handler, EventRegistrationToken* cookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_Closed(EventRegistrationToken cookie) = 0;
    static GUID Iid() { return winrt::Iid("fbc4dd29-245b-11e4-af98-689423260cf8"); }
};

struct IMemoryBuffer : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE CreateReference(IMemoryBufferReference** reference) = 0;
    static GUID Iid() { return winrt::Iid("fbc4dd2a-245b-11e4-af98-689423260cf8"); }
};

// A classic COM interface on the buffer reference that hands out the bytes.
struct IMemoryBufferByteAccess : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetBuffer(BYTE** value, UINT32* capacity) = 0;
    static GUID Iid() { return winrt::Iid("5b0d3235-4dba-4d44-865e-8f1d0e4fd04d"); }
};

struct IBitmapBuffer : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE GetPlaneCount(INT32* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPlaneDescription(INT32 index, BitmapPlaneDescription* value) = 0;
    static GUID Iid() { return winrt::Iid("a53e04c4-399c-438c-b28f-a63a6b83d1a1"); }
};

enum class BitmapPixelFormat : std::int32_t { Bgra8 = 87 };
enum class BitmapBufferAccessMode : std::int32_t { Read = 0, ReadWrite = 1, Write = 2 };

struct ISoftwareBitmap : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_BitmapPixelFormat(BitmapPixelFormat* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BitmapAlphaMode(std::int32_t* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_PixelWidth(INT32* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_PixelHeight(INT32* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsReadOnly(boolean* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_DpiX(double value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DpiX(double* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_DpiY(double value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DpiY(double* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE LockBuffer(BitmapBufferAccessMode mode, IBitmapBuffer** value) = 0;
    virtual HRESULT STDMETHODCALLTYPE CopyTo(ISoftwareBitmap* bitmap) = 0;
    virtual HRESULT STDMETHODCALLTYPE CopyFromBuffer(IInspectable* buffer) = 0;
    virtual HRESULT STDMETHODCALLTYPE CopyToBuffer(IInspectable* buffer) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetReadOnlyView(ISoftwareBitmap** value) = 0;
    static GUID Iid() { return winrt::Iid("689e0708-7eef-483f-963f-da938818e073"); }
};

struct ISoftwareBitmapFactory : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE Create(BitmapPixelFormat format, INT32 width, INT32 height,
                                             ISoftwareBitmap** value) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateWithAlpha(BitmapPixelFormat format, INT32 width, INT32 height,
                                                      std::int32_t alpha, ISoftwareBitmap** value) = 0;
    static GUID Iid() { return winrt::Iid("c99feb69-2d62-4d47-a6b3-4fdb6a07fdf8"); }
};

struct IOcrWord : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_BoundingRect(Rect* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Text(HSTRING* value) = 0;
    TOVASEN_WINRT_RUNTIME_CLASS("Windows.Media.Ocr.OcrWord", "3c2a477a-5cd9-3525-ba2a-23d1e0a68a1d")
};

struct IOcrLine : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Words(IVectorView<IOcrWord>** value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Text(HSTRING* value) = 0;
    TOVASEN_WINRT_RUNTIME_CLASS("Windows.Media.Ocr.OcrLine", "0043a16f-e31f-3a24-899c-d444bd088124")
};

struct IOcrResult : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Lines(IVectorView<IOcrLine>** value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_TextAngle(IReferenceOfDouble** value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Text(HSTRING* value) = 0;
    TOVASEN_WINRT_RUNTIME_CLASS("Windows.Media.Ocr.OcrResult", "9bd235b2-175b-3d6a-92e2-388c206e2f63")
};

struct IOcrEngine : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE RecognizeAsync(ISoftwareBitmap* bitmap, IAsyncOperation<IOcrResult>** result) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_RecognizerLanguage(ILanguage** value) = 0;
    static GUID Iid() { return winrt::Iid("5a14bc41-5b76-3140-b680-8825562683ac"); }
};

struct IOcrEngineStatics : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_MaxImageDimension(UINT32* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_AvailableRecognizerLanguages(IVectorView<ILanguage>** value) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsLanguageSupported(ILanguage* language, boolean* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE TryCreateFromLanguage(ILanguage* language, IOcrEngine** result) = 0;
    virtual HRESULT STDMETHODCALLTYPE TryCreateFromUserProfileLanguages(IOcrEngine** result) = 0;
    static GUID Iid() { return winrt::Iid("5bffa85a-3384-3540-9940-699120d428a8"); }
};

}  // namespace tovasen::winrt

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
