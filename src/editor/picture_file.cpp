#include "editor/picture_file.h"

#include <windows.h>

#include <shlobj.h>
#include <wincodec.h>

#include <cstring>

#include "base/com.h"
#include "base/errors.h"
#include "base/handles.h"
#include "base/log_event.h"
#include "base/module_path.h"
#include "editor/editor_settings.h"
#include "editor/picture_bitmap.h"
#include "i18n/translation.h"
#include "output/file_replace.h"
#include "output/image_writers.h"

namespace tovasen {
namespace {

// Larger pictures would need gigabytes for the editor's three copies.
constexpr std::uint64_t kMaxPixels = 100'000'000;
constexpr std::uint64_t kMaxFileBytes = 1ull << 30;

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

// Opaque pictures only: the editor and the PNG it writes have no transparency to keep.
void RefuseTransparency(const TPixelBuffer& pixels, const std::wstring& path) {
    for (int y = 0; y < pixels.Height(); ++y) {
        const std::uint32_t* row = pixels.Row(y);
        for (int x = 0; x < pixels.Width(); ++x) {
            if ((row[x] >> 24) != 0xFF) Refuse(L"투명한 부분이 있는 그림은 편집할 수 없습니다.", path);
        }
    }
}

TPixelBuffer CheckedBuffer(std::uint64_t width, std::uint64_t height, const std::wstring& path) {
    if (width == 0 || height == 0 || width > 65535 || height > 65535 || width * height > kMaxPixels) {
        Refuse(L"그림이 너무 큽니다.", path);
    }
    return TPixelBuffer(static_cast<int>(width), static_cast<int>(height), 0);
}

TPixelBuffer DecodeWithWic(const std::vector<std::uint8_t>& bytes, const std::wstring& path) {
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
    // Writing back the first frame alone would throw the others away.
    if (frames > 1) Refuse(L"여러 장면으로 된 그림은 편집할 수 없습니다.", path);
    TComPtr<IWICBitmapFrameDecode> frame;
    Check(decoder->GetFrame(0, frame.Put()), L"GetFrame", path);
    UINT width = 0, height = 0;
    Check(frame->GetSize(&width, &height), L"GetSize", path);
    TPixelBuffer pixels = CheckedBuffer(width, height, path);
    TComPtr<IWICBitmapSource> converted;
    Check(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.Get(), converted.Put()), L"WICConvertBitmapSource", path);
    const std::uint64_t size = static_cast<std::uint64_t>(pixels.Stride()) * static_cast<std::uint64_t>(pixels.Height());
    Check(converted->CopyPixels(nullptr, static_cast<UINT>(pixels.Stride()), static_cast<UINT>(size),
                                reinterpret_cast<BYTE*>(pixels.Data())),
          L"CopyPixels", path);
    return pixels;
}

TPixelBuffer DecodeWebP(const std::vector<std::uint8_t>& bytes, const std::wstring& path) {
    using GetInfoFn = int(__cdecl*)(const std::uint8_t*, std::size_t, int*, int*);
    using DecodeFn = std::uint8_t*(__cdecl*)(const std::uint8_t*, std::size_t, int*, int*);
    using FreeFn = void(__cdecl*)(void*);
    const std::wstring libraryPath = ExeFolder() + L"libwebp.dll";
    const UniqueModule library(LoadLibraryW(libraryPath.c_str()));
    if (!library) {
        std::wstring message = Translate(L"\"%s\" 파일이 없습니다.");
        const std::size_t at = message.find(L"%s");
        throw Exception(at == std::wstring::npos ? message + L" " + libraryPath : message.replace(at, 2, libraryPath));
    }
    const auto getInfo = reinterpret_cast<GetInfoFn>(reinterpret_cast<void*>(GetProcAddress(library.Get(), "WebPGetInfo")));
    const auto decode = reinterpret_cast<DecodeFn>(reinterpret_cast<void*>(GetProcAddress(library.Get(), "WebPDecodeBGRA")));
    const auto release = reinterpret_cast<FreeFn>(reinterpret_cast<void*>(GetProcAddress(library.Get(), "WebPFree")));
    if (!getInfo || !decode || !release) throw Exception(L"\"" + libraryPath + L"\" lacks the WebP decoder.");
    int width = 0, height = 0;
    if (!getInfo(bytes.data(), bytes.size(), &width, &height)) Refuse(L"그림 파일을 열 수 없습니다.", path);
    TPixelBuffer pixels = CheckedBuffer(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height), path);
    std::uint8_t* decoded = decode(bytes.data(), bytes.size(), &width, &height);
    // Animated files do not decode as one picture.
    if (!decoded) Refuse(L"그림 파일을 열 수 없습니다.", path);
    std::memcpy(pixels.Data(), decoded, static_cast<std::size_t>(pixels.Stride()) * static_cast<std::size_t>(pixels.Height()));
    release(decoded);
    return pixels;
}

}  // namespace

TPictureFile ReadPictureFile(const std::wstring& path) {
    TPictureFile file;
    file.Bytes = ReadWholeFile(path);
    const std::optional<TPictureFormat> format = PictureFormatOf(file.Bytes);
    if (!format) Refuse(L"지원하지 않는 그림 형식입니다.", path);
    file.Format = *format;
    file.Pixels = file.Format == TPictureFormat::WebP ? DecodeWebP(file.Bytes, path) : DecodeWithWic(file.Bytes, path);
    RefuseTransparency(file.Pixels, path);
    return file;
}

TEditStore LocalEditStore() {
    PWSTR local = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &local))) folder = local;
    CoTaskMemFree(local);
    if (folder.empty()) throw Exception(L"The local application data folder cannot be found.");
    return TEditStore(folder + L"\\Tovasen\\" + kEditStoreFolderName);
}

void WriteEditablePng(const std::wstring& path, const TFlattened& picture) {
    const TEditableFile file = EncodeEditablePng(picture);
    ReplaceFileWith(path, file.Png);
    if (file.Covered.empty()) return;
    try {
        LocalEditStore().Put(EditStoreKey(file.Png), file.Covered);
    } catch (const Exception&) {
        // The picture the user asked for is written; only taking its marks away later is lost,
        // and opening it says so.
        LogCaught(L"edit-store", std::current_exception());
    }
}

void WritePictureFile(const std::wstring& path, TPictureFormat format, const TFlattened& picture) {
    if (format == TPictureFormat::Png) {
        WriteEditablePng(path, picture);
        return;
    }
    const std::unique_ptr<TBitmap> flat = BitmapOfPixels(picture.Flat);
    switch (format) {
    case TPictureFormat::Jpeg:
        SaveJPG(*flat, path, static_cast<std::uint8_t>(SavedJpegQuality()));
        break;
    case TPictureFormat::Bmp:
        SaveBMP(*flat, path);
        break;
    case TPictureFormat::Gif:
        SaveGIF(*flat, path);
        break;
    case TPictureFormat::WebP:
        SaveWebP(*flat, path, SavedWebPQuality());
        break;
    case TPictureFormat::Png:
        break;
    }
}

}  // namespace tovasen
