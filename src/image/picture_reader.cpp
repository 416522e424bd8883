#include "image/picture_reader.h"

#include <windows.h>

#include <wincodec.h>

#include <algorithm>
#include <cstring>

#include "base/com.h"
#include "base/errors.h"
#include "base/handles.h"
#include "base/module_path.h"
#include "i18n/translation.h"
#include "image/picture_limits.h"

namespace tovasen {
namespace {

constexpr std::uint64_t kMaxFileBytes = 1ull << 30;
constexpr std::uint64_t kMaxSide = 65535;

[[noreturn]] void Refuse(const wchar_t* korean, const std::wstring& path) {
    throw Exception(Translate(korean) + L"\r\r" + path);
}

void Check(HRESULT hr, const wchar_t* call, const std::wstring& path) {
    if (FAILED(hr)) {
        throw Exception(Translate(L"그림 파일을 열 수 없습니다.") + L"\r\r" + path + L"\r\r" + call + L": " +
                        SystemErrorText(static_cast<unsigned long>(hr)));
    }
}

std::vector<std::uint8_t> ReadWholeFile(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) RaiseLastOSError(L"CreateFileW(" + path + L")");
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size)) RaiseLastOSError(L"GetFileSizeEx(" + path + L")");
    if (static_cast<std::uint64_t>(size.QuadPart) > kMaxFileBytes) Refuse(L"그림이 너무 큽니다.", path);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 24));
        if (!ReadFile(file.Get(), bytes.data() + done, want, &got, nullptr)) RaiseLastOSError(L"ReadFile(" + path + L")");
        if (got == 0) break;
        done += got;
    }
    bytes.resize(done);
    return bytes;
}

// The shape once the size is known, or a refusal: every picture the program writes fits.
TPictureShape CheckedShape(TPictureFormat format, std::uint64_t width, std::uint64_t height, unsigned frames,
                           const std::wstring& path) {
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide ||
        width * height > static_cast<std::uint64_t>(kPictureLimits.maxPixels)) {
        Refuse(L"그림이 너무 큽니다.", path);
    }
    return TPictureShape{format, static_cast<int>(width), static_cast<int>(height), frames};
}

void DecodeWithWic(const std::vector<std::uint8_t>& bytes, TPictureFormat format, const TPixelsFor& pixelsFor,
                   const std::wstring& path) {
    const TComApartment com;
    TComPtr<IWICImagingFactory> factory;
    Check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                           factory.PutVoid()),
          L"CoCreateInstance(WICImagingFactory)", path);
    TComPtr<IWICStream> stream;
    Check(factory->CreateStream(stream.Put()), L"CreateStream", path);
    Check(stream->InitializeFromMemory(const_cast<BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size())),
          L"InitializeFromMemory", path);
    TComPtr<IWICBitmapDecoder> decoder;
    Check(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.Put()),
          L"CreateDecoderFromStream", path);
    UINT frames = 0;
    Check(decoder->GetFrameCount(&frames), L"GetFrameCount", path);
    TComPtr<IWICBitmapFrameDecode> frame;
    Check(decoder->GetFrame(0, frame.Put()), L"GetFrame", path);
    UINT width = 0, height = 0;
    Check(frame->GetSize(&width, &height), L"GetSize", path);
    const TPictureShape shape = CheckedShape(format, width, height, frames, path);
    const TPixelDestination to = pixelsFor(shape);
    TComPtr<IWICBitmapSource> converted;
    Check(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.Get(), converted.Put()), L"WICConvertBitmapSource", path);
    const std::uint64_t size = static_cast<std::uint64_t>(to.Stride) * static_cast<std::uint64_t>(shape.Height);
    Check(converted->CopyPixels(nullptr, static_cast<UINT>(to.Stride), static_cast<UINT>(size), to.Data), L"CopyPixels",
          path);
}

void DecodeWebP(const std::vector<std::uint8_t>& bytes, const TPixelsFor& pixelsFor, const std::wstring& path) {
    using GetInfoFn = int(__cdecl*)(const std::uint8_t*, std::size_t, int*, int*);
    using DecodeIntoFn = std::uint8_t*(__cdecl*)(const std::uint8_t*, std::size_t, std::uint8_t*, std::size_t, int);
    const std::wstring libraryPath = ExeFolder() + L"libwebp.dll";
    const UniqueModule library(LoadLibraryExW(libraryPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!library) throw Exception(FileMissingText(libraryPath));
    const auto getInfo = reinterpret_cast<GetInfoFn>(reinterpret_cast<void*>(GetProcAddress(library.Get(), "WebPGetInfo")));
    const auto decodeInto =
        reinterpret_cast<DecodeIntoFn>(reinterpret_cast<void*>(GetProcAddress(library.Get(), "WebPDecodeBGRAInto")));
    if (!getInfo || !decodeInto) throw Exception(L"\"" + libraryPath + L"\" lacks the WebP decoder.");
    int width = 0, height = 0;
    if (!getInfo(bytes.data(), bytes.size(), &width, &height)) Refuse(L"그림 파일을 열 수 없습니다.", path);
    const TPictureShape shape = CheckedShape(TPictureFormat::WebP, static_cast<std::uint64_t>(width),
                                             static_cast<std::uint64_t>(height), 1, path);
    const TPixelDestination to = pixelsFor(shape);
    const std::size_t size = to.Stride * static_cast<std::size_t>(shape.Height);
    // Animated files do not decode as one picture.
    if (!decodeInto(bytes.data(), bytes.size(), to.Data, size, static_cast<int>(to.Stride))) {
        Refuse(L"그림 파일을 열 수 없습니다.", path);
    }
}

}  // namespace

std::vector<std::uint8_t> ReadPicture(const std::wstring& path, const TPixelsFor& pixelsFor) {
    std::vector<std::uint8_t> bytes = ReadWholeFile(path);
    const std::optional<TPictureFormat> format = PictureFormatOf(bytes);
    if (!format) Refuse(L"지원하지 않는 그림 형식입니다.", path);
    if (*format == TPictureFormat::WebP) {
        DecodeWebP(bytes, pixelsFor, path);
    } else {
        DecodeWithWic(bytes, *format, pixelsFor, path);
    }
    return bytes;
}

}  // namespace tovasen
