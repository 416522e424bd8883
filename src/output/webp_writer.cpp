// SaveWebP: libwebp is optional, so it is loaded for each file from the program's own folder
// (never through the DLL search path) and the bitmap's pixels are handed to it through a GDI+
// lock, without copying the image.
#include <windows.h>

#include <objidl.h>
// objidl.h first: GDI+ needs IStream.
#include <gdiplus.h>

#include <cstdint>
#include <vector>

#include "base/module_path.h"
#include "output/file_replace.h"
#include "output/image_writers.h"
#include "base/errors.h"
#include "base/gdiplus_session.h"
#include "base/handles.h"

namespace tovasen {
namespace {

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

using EncodeLosslessFn = std::size_t(__cdecl*)(const std::uint8_t*, int, int, int, std::uint8_t**);
using EncodeLossyFn = std::size_t(__cdecl*)(const std::uint8_t*, int, int, int, float, std::uint8_t**);
using FreeFn = void(__cdecl*)(void*);

constexpr wchar_t kLibraryName[] = L"libwebp.dll";

template <class Fn>
Fn Export(HMODULE library, const char* name) {
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    if (!fn) {
        throw Exception(L"\"" + std::wstring(kLibraryName) + L"\" has no export " +
                        std::wstring(name, name + strlen(name)) + L".");
    }
    return fn;
}

// A GDI+ bitmap over an HBITMAP with its pixels locked for reading as 32-bit BGRA.
class LockedPixels {
public:
    explicit LockedPixels(HBITMAP bitmap, int width, int height) {
        if (GdipCreateBitmapFromHBITMAP(bitmap, nullptr, &bitmap_) != Ok) {
            throw Exception(L"GDI+ could not read the bitmap.");
        }
        const GpRect all{0, 0, width, height};
        if (GdipBitmapLockBits(bitmap_, &all, ImageLockModeRead, PixelFormat32bppARGB, &data_) != Ok) {
            GdipDisposeImage(bitmap_);
            throw Exception(L"GDI+ could not lock the bitmap's pixels.");
        }
    }
    LockedPixels(const LockedPixels&) = delete;
    LockedPixels& operator=(const LockedPixels&) = delete;
    ~LockedPixels() {
        GdipBitmapUnlockBits(bitmap_, &data_);
        GdipDisposeImage(bitmap_);
    }
    const BitmapData& Data() const { return data_; }

private:
    GpBitmap* bitmap_ = nullptr;
    BitmapData data_{};
};

}  // namespace

void SaveWebP(TBitmap& bitmap, const std::wstring& fileName, int quality) {
    const std::wstring libraryPath = ExeFolder() + kLibraryName;
    if (GetFileAttributesW(libraryPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
        throw Exception(L"\"" + libraryPath + L"\" file not found.");
    }
    UniqueModule library(LoadLibraryW(libraryPath.c_str()));
    if (!library) {
        throw Exception(L"\"" + libraryPath + L"\" could not be loaded: " + SystemErrorText(GetLastError()));
    }
    if (bitmap.Empty()) {
        throw Exception(L"Cannot save an empty image (" + std::to_wstring(bitmap.Width()) + L" x " +
                        std::to_wstring(bitmap.Height()) + L" pixels).");
    }
    // libwebp would only return no data: say what the format cannot hold.
    if (bitmap.Width() > kMaxWebPSide || bitmap.Height() > kMaxWebPSide) {
        throw Exception(L"A WebP picture can be at most " + std::to_wstring(kMaxWebPSide) +
                        L" pixels wide and high; this one is " + std::to_wstring(bitmap.Width()) + L" x " +
                        std::to_wstring(bitmap.Height()) + L".");
    }
    bitmap.SetPixelFormat(TPixelFormat::pf32bit);
    const auto encodeLossless = Export<EncodeLosslessFn>(library.Get(), "WebPEncodeLosslessBGRA");
    const auto encodeLossy = Export<EncodeLossyFn>(library.Get(), "WebPEncodeBGRA");
    const auto webpFree = Export<FreeFn>(library.Get(), "WebPFree");

    std::vector<std::uint8_t> encoded;
    {
        TGdiplusSession gdiplus;
        LockedPixels pixels(bitmap.Handle(), bitmap.Width(), bitmap.Height());
        const BitmapData& data = pixels.Data();
        std::uint8_t* output = nullptr;
        const auto* first = static_cast<const std::uint8_t*>(data.Scan0);
        const int width = static_cast<int>(data.Width), height = static_cast<int>(data.Height);
        const std::size_t size = quality >= 100
                                     ? encodeLossless(first, width, height, data.Stride, &output)
                                     : encodeLossy(first, width, height, data.Stride, static_cast<float>(quality), &output);
        if (output) encoded.assign(output, output + size);
        webpFree(output);
    }
    if (encoded.empty()) throw Exception(L"The WebP encoder returned no data.");
    ReplaceFileWith(fileName, encoded);
}

}  // namespace tovasen
