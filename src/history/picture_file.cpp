#include "history/picture_file.h"

#include <cwctype>

#include "base/errors.h"
#include "history/history_entry.h"
#include "i18n/translation.h"
#include "image/picture_reader.h"

namespace tovasen {
namespace {

std::wstring Extension(const std::wstring& path) {
    const std::wstring name = FileNameOf(path);
    const std::size_t dot = name.rfind(L'.');
    std::wstring extension = dot == std::wstring::npos ? L"" : name.substr(dot + 1);
    for (wchar_t& c : extension) c = static_cast<wchar_t>(std::towlower(c));
    return extension;
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
    if (!IsPictureFile(path)) throw Exception(Translate(L"지원하지 않는 그림 형식입니다.") + L"\r\r" + path);
    auto picture = std::make_unique<TBitmap>();
    ReadPicture(path, [&](const TPictureShape& shape) {
        picture->SetPixelFormat(TPixelFormat::pf32bit);
        picture->SetSize(shape.Width, shape.Height);
        return TPixelDestination{picture->ScanLine(0), static_cast<std::size_t>(picture->Stride())};
    });
    return picture;
}

}  // namespace tovasen
