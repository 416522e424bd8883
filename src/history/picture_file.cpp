#include "history/picture_file.h"

#include <windows.h>

#include <objidl.h>
// objidl.h first: GDI+ needs IStream.
#include <gdiplus.h>

#include <cstdint>
#include <cstring>
#include <cwctype>
#include <vector>

#include "base/errors.h"
#include "base/gdiplus_session.h"
#include "base/handles.h"
#include "base/module_path.h"
#include "history/history_entry.h"

namespace tovasen {
namespace {

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

std::wstring Extension(const std::wstring& path) {
    const std::wstring name = FileNameOf(path);
    const std::size_t dot = name.rfind(L'.');
    std::wstring extension = dot == std::wstring::npos ? L"" : name.substr(dot + 1);
    for (wchar_t& c : extension) c = static_cast<wchar_t>(std::towlower(c));
    return extension;
}

Exception Unreadable(const std::wstring& path) { return Exception(L"The picture cannot be read: " + path); }

std::unique_ptr<TBitmap> NewPicture(int width, int height) {
    auto picture = std::make_unique<TBitmap>();
    picture->SetPixelFormat(TPixelFormat::pf32bit);
    picture->SetSize(width, height);
    return picture;
}

std::unique_ptr<TBitmap> LoadWithGdiplus(const std::wstring& path) {
    TGdiplusSession session;
    GpBitmap* image = nullptr;
    if (GdipCreateBitmapFromFile(path.c_str(), &image) != Ok || !image) throw Unreadable(path);
    struct TDispose {
        GpBitmap* Image;
        ~TDispose() { GdipDisposeImage(Image); }
    } dispose{image};
    UINT width = 0, height = 0;
    GdipGetImageWidth(image, &width);
    GdipGetImageHeight(image, &height);
    if (width == 0 || height == 0) throw Unreadable(path);
    auto picture = NewPicture(static_cast<int>(width), static_cast<int>(height));
    // GDI+ writes the rows straight into the bitmap's own memory.
    BitmapData data{};
    data.Width = width;
    data.Height = height;
    data.Stride = picture->Stride();
    data.PixelFormat = PixelFormat32bppRGB;
    data.Scan0 = picture->ScanLine(0);
    GpRect rect(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    if (GdipBitmapLockBits(image, &rect, ImageLockModeRead | ImageLockModeUserInputBuf, PixelFormat32bppRGB, &data) !=
        Ok) {
        throw Unreadable(path);
    }
    GdipBitmapUnlockBits(image, &data);
    return picture;
}

std::unique_ptr<TBitmap> LoadWebP(const std::wstring& path) {
    using DecodeFn = std::uint8_t*(__cdecl*)(const std::uint8_t*, std::size_t, int*, int*);
    using FreeFn = void(__cdecl*)(void*);
    UniqueModule library(LoadLibraryExW((ExeFolder() + L"libwebp.dll").c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!library) throw Exception(L"\"libwebp.dll\" is needed to read " + path);
    auto decode = reinterpret_cast<DecodeFn>(reinterpret_cast<void*>(GetProcAddress(library.Get(), "WebPDecodeBGRA")));
    auto release = reinterpret_cast<FreeFn>(reinterpret_cast<void*>(GetProcAddress(library.Get(), "WebPFree")));
    if (!decode || !release) throw Exception(L"\"libwebp.dll\" cannot decode pictures.");

    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 || size.QuadPart > (1LL << 30)) {
        throw Unreadable(path);
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    if (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size()) {
        throw Unreadable(path);
    }
    int width = 0, height = 0;
    std::uint8_t* pixels = decode(bytes.data(), bytes.size(), &width, &height);
    if (!pixels) throw Unreadable(path);
    struct TRelease {
        FreeFn Free;
        std::uint8_t* Pixels;
        ~TRelease() { Free(Pixels); }
    } releasePixels{release, pixels};
    auto picture = NewPicture(width, height);
    for (int y = 0; y < height; ++y) {
        std::memcpy(picture->ScanLine(y), pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 4,
                    static_cast<std::size_t>(width) * 4);
    }
    return picture;
}

}  // namespace

bool IsPictureFile(const std::wstring& path) {
    const std::wstring extension = Extension(path);
    for (const wchar_t* known : {L"png", L"jpg", L"jpeg", L"gif", L"bmp", L"webp"}) {
        if (extension == known) return true;
    }
    return false;
}

std::unique_ptr<TBitmap> LoadPictureFile(const std::wstring& path) {
    if (!IsPictureFile(path)) throw Unreadable(path);
    return Extension(path) == L"webp" ? LoadWebP(path) : LoadWithGdiplus(path);
}

}  // namespace tovasen
