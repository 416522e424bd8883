#include "history/picture_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "base/errors.h"
#include "base/module_path.h"
#include "i18n/translation.h"
#include "output/image_writers.h"
#include "support/files.h"
#include "support/picture_samples.h"
#include "support/process.h"

namespace tovasen {
namespace {

std::uint32_t PixelAt(TBitmap& picture, int x, int y) {
    return reinterpret_cast<const std::uint32_t*>(picture.ScanLine(y))[x] & 0xFFFFFF;
}

// What the history pins and copies: the first frame of an animation and a picture with
// transparency are shown as they are, which the editor refuses to write back.
TEST(HistoryPictureFile, PicturesTheEditorRefusesStillLoadAndOtherNamesDoNot) {
    test::TempFolder folder;
    const std::wstring dll = ExeFolder() + L"libwebp.dll";
    CopyFileW((test::DistFolder() + L"libwebp.dll").c_str(), dll.c_str(), FALSE);
    struct TRemove {
        std::wstring Path;
        ~TRemove() { DeleteFileW(Path.c_str()); }
    } remove{dll};
    TBitmap grey;
    grey.SetPixelFormat(TPixelFormat::pf32bit);
    grey.SetSize(3, 2);
    PatBlt(grey.Canvas().Handle(), 0, 0, 3, 2, WHITENESS);
    SaveWebP(grey, folder.Path() + L"shot.webp", 100);
    test::WriteFileBytes(folder.Path() + L"moving.gif", test::kTwoFrameGif);
    test::WriteFileBytes(folder.Path() + L"cover.png", test::kHalfCoveredPng);
    struct Loaded {
        const wchar_t* name;
        int width, height;
        std::uint32_t left, right;  // the top row's first and last pixel, without alpha
    } loaded[] = {
        {L"moving.gif", 2, 1, 0x000000, 0xFFFFFF},
        {L"cover.png", 2, 1, 0xFF0000, 0x0000FF},
        {L"shot.webp", 3, 2, 0xFFFFFF, 0xFFFFFF},
    };
    for (const Loaded& c : loaded) {
        SCOPED_TRACE(testing::Message() << "file " << static_cast<char>(c.name[0]));
        const std::unique_ptr<TBitmap> picture = LoadPictureFile(folder.Path() + c.name);
        ASSERT_EQ(c.width, picture->Width());
        ASSERT_EQ(c.height, picture->Height());
        EXPECT_EQ(32, picture->BitsPerPixel());
        EXPECT_EQ(c.left, PixelAt(*picture, 0, 0));
        EXPECT_EQ(c.right, PixelAt(*picture, c.width - 1, 0));
    }
    // A name the history does not list as a picture is refused even when the bytes are one.
    const std::wstring named = folder.Path() + L"moving.txt";
    test::WriteFileBytes(named, test::kTwoFrameGif);
    try {
        LoadPictureFile(named);
        ADD_FAILURE() << "a .txt file was read as a picture";
    } catch (const Exception& e) {
        EXPECT_EQ(Translate(L"지원하지 않는 그림 형식입니다.") + L"\r\r" + named, e.Message());
    }
}

}  // namespace
}  // namespace tovasen
