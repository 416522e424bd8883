#include "editor/picture_file.h"

#include <windows.h>

#include <shlobj.h>

#include "base/errors.h"
#include "base/log_event.h"
#include "editor/editor_settings.h"
#include "editor/picture_bitmap.h"
#include "i18n/translation.h"
#include "image/picture_reader.h"
#include "output/file_replace.h"
#include "output/image_writers.h"

namespace tovasen {
namespace {

// Larger pictures would need gigabytes for the editor's three copies.
constexpr std::uint64_t kMaxPixels = 100'000'000;

[[noreturn]] void Refuse(const wchar_t* korean, const std::wstring& path) {
    throw Exception(Translate(korean) + L"\r\r" + path);
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

}  // namespace

TPictureFile ReadPictureFile(const std::wstring& path) {
    TPictureFile file;
    file.Bytes = ReadPicture(path, [&](const TPictureShape& shape) {
        // Writing back the first frame alone would throw the others away.
        if (shape.Frames > 1) Refuse(L"여러 장면으로 된 그림은 편집할 수 없습니다.", path);
        if (static_cast<std::uint64_t>(shape.Width) * static_cast<std::uint64_t>(shape.Height) > kMaxPixels) {
            Refuse(L"그림이 너무 큽니다.", path);
        }
        file.Format = shape.Format;
        file.Pixels = TPixelBuffer(shape.Width, shape.Height, 0);
        return TPixelDestination{reinterpret_cast<std::uint8_t*>(file.Pixels.Data()),
                                 static_cast<std::size_t>(file.Pixels.Stride())};
    });
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
