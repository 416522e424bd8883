#include "output/image_writers.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "base/handles.h"

#include <cmath>
#include <cstring>
#include <functional>

#include "base/module_path.h"
#include "support/files.h"
#include "support/process.h"
#include "base/errors.h"

namespace tovasen {
namespace {

std::uint32_t Expected(int x, int y) {
    const auto r = static_cast<std::uint32_t>((x * 5) % 256), g = static_cast<std::uint32_t>((y * 3) % 256),
               b = static_cast<std::uint32_t>((x + y) % 256);
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

// A bitmap of the given format holding the Expected pattern (alpha bytes left as garbage).
void Fill(TBitmap& bitmap, TPixelFormat format, int w, int h) {
    TBitmap source;
    source.SetPixelFormat(TPixelFormat::pf32bit);
    source.SetSize(w, h);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(source.ScanLine(y));
        for (int x = 0; x < w; ++x) row[x] = (Expected(x, y) & 0xFFFFFF) | (static_cast<std::uint32_t>(x * 7) << 24);
    }
    bitmap.SetPixelFormat(format);
    bitmap.SetSize(w, h);
    BitBlt(bitmap.Canvas().Handle(), 0, 0, w, h, source.Canvas().Handle(), 0, 0, SRCCOPY);
}

using Writer = std::function<void(TBitmap&, const std::wstring&)>;

struct NamedWriter {
    const wchar_t* extension;
    Writer save;
    std::vector<std::uint8_t> magic;
};

std::vector<NamedWriter> Writers() {
    return {
        {L".png", [](TBitmap& b, const std::wstring& f) { SavePNG(b, f); }, {0x89, 'P', 'N', 'G'}},
        {L".jpg", [](TBitmap& b, const std::wstring& f) { SaveJPG(b, f, 90); }, {0xFF, 0xD8, 0xFF}},
        {L".gif", [](TBitmap& b, const std::wstring& f) { SaveGIF(b, f); }, {'G', 'I', 'F', '8'}},
        {L".bmp", [](TBitmap& b, const std::wstring& f) { SaveBMP(b, f); }, {'B', 'M'}},
        {L".webp", [](TBitmap& b, const std::wstring& f) { SaveWebP(b, f, 90); }, {'R', 'I', 'F', 'F'}},
    };
}

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

// The writers look for libwebp.dll beside the running exe: put the shipped one beside the tests.
class ImageWriters : public ::testing::Test {
protected:
    void SetUp() override {
        CopyFileW((test::DistFolder() + L"libwebp.dll").c_str(), LocalDll().c_str(), FALSE);
    }
    void TearDown() override { DeleteFileW(LocalDll().c_str()); }
    static std::wstring LocalDll() { return ExeFolder() + L"libwebp.dll"; }
    test::TempFolder folder;
};

TEST_F(ImageWriters, EachReplacesAnExistingFile) {
    TBitmap bitmap;
    Fill(bitmap, TPixelFormat::pf32bit, 40, 30);
    for (const NamedWriter& w : Writers()) {
        const std::wstring path = folder.Path() + L"capture" + w.extension;
        test::WriteFileBytes(path, {'o', 'l', 'd'});
        w.save(bitmap, path);
        const std::vector<std::uint8_t> bytes = test::ReadFileBytes(path);
        ASSERT_GE(bytes.size(), w.magic.size()) << Narrow(w.extension);
        EXPECT_TRUE(std::equal(w.magic.begin(), w.magic.end(), bytes.begin())) << Narrow(w.extension);
    }
    EXPECT_EQ(Writers().size(), folder.Files().size()) << "temporary files were left behind";
}

TEST_F(ImageWriters, PngAndBmpKeepEveryPixelOfDibAndDeviceBitmaps) {
    for (TPixelFormat format : {TPixelFormat::pf32bit, TPixelFormat::pf24bit, TPixelFormat::pfDevice}) {
        TBitmap bitmap;
        Fill(bitmap, format, 61, 33);
        for (const wchar_t* ext : {L".png", L".bmp"}) {
            const std::wstring path = folder.Path() + L"exact" + ext;
            if (std::wstring(ext) == L".png") SavePNG(bitmap, path);
            else SaveBMP(bitmap, path);
            const test::DecodedImage decoded = test::DecodeWithGdiplus(path);
            ASSERT_EQ(61, decoded.width);
            ASSERT_EQ(33, decoded.height);
            int wrong = 0;
            for (int y = 0; y < 33; ++y) {
                for (int x = 0; x < 61; ++x) wrong += decoded.pixels[static_cast<std::size_t>(y) * 61 + x] != Expected(x, y);
            }
            EXPECT_EQ(0, wrong) << Narrow(ext) << " format " << static_cast<int>(format);
        }
    }
}

TEST_F(ImageWriters, AMissingFolderRaisesTheSystemsTextAndLeavesNothing) {
    TBitmap bitmap;
    Fill(bitmap, TPixelFormat::pf32bit, 8, 8);
    const std::wstring missing = folder.Path() + L"no such folder\\";
    for (const NamedWriter& w : Writers()) {
        try {
            w.save(bitmap, missing + L"capture" + w.extension);
            ADD_FAILURE() << "no error for " << Narrow(w.extension);
        } catch (const Exception& e) {
            EXPECT_NE(std::wstring::npos, e.Message().find(SystemErrorText(ERROR_PATH_NOT_FOUND)))
                << Narrow(e.Message());
        }
    }
    EXPECT_FALSE(test::FileExists(missing));
    EXPECT_TRUE(folder.Files().empty());
}

TEST_F(ImageWriters, AFailedReplaceKeepsTheOldFile) {
    TBitmap bitmap;
    Fill(bitmap, TPixelFormat::pf32bit, 8, 8);
    const std::wstring path = folder.Path() + L"locked.png";
    test::WriteFileBytes(path, {'o', 'l', 'd'});
    // Another program holds the file open without sharing: the replace must fail cleanly.
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_THROW(SavePNG(bitmap, path), Exception);
    CloseHandle(held);
    EXPECT_EQ((std::vector<std::uint8_t>{'o', 'l', 'd'}), test::ReadFileBytes(path));
    EXPECT_EQ(1u, folder.Files().size()) << "a temporary file was left behind";
}

TEST_F(ImageWriters, AnEmptyBitmapRaisesInsteadOfWritingAnInvalidFile) {
    TBitmap empty;
    empty.SetPixelFormat(TPixelFormat::pf32bit);
    for (const NamedWriter& w : Writers()) {
        EXPECT_THROW(w.save(empty, folder.Path() + L"empty" + w.extension), Exception) << Narrow(w.extension);
    }
    EXPECT_TRUE(folder.Files().empty());
}

// libwebp's own functions, loaded from the distribution folder, as the reference.
class WebPLibrary {
public:
    WebPLibrary() : module_(LoadLibraryW((test::DistFolder() + L"libwebp.dll").c_str())) {}
    template <class Fn>
    Fn Get(const char* name) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_.Get(), name)));
    }

private:
    UniqueModule module_;
};

std::string FourCC(const std::vector<std::uint8_t>& webp) {
    return webp.size() >= 16 ? std::string(webp.begin() + 12, webp.begin() + 16) : "";
}

TEST_F(ImageWriters, WebPQualityChoosesLosslessOrLossy) {
    WebPLibrary webp;
    using Decode = std::uint8_t*(__cdecl*)(const std::uint8_t*, std::size_t, int*, int*);
    using EncodeLossy = std::size_t(__cdecl*)(const std::uint8_t*, int, int, int, float, std::uint8_t**);
    using Free = void(__cdecl*)(void*);
    const auto decode = webp.Get<Decode>("WebPDecodeBGRA");
    const auto encode = webp.Get<EncodeLossy>("WebPEncodeBGRA");
    const auto webpFree = webp.Get<Free>("WebPFree");
    ASSERT_TRUE(decode && encode && webpFree);

    TBitmap bitmap;
    Fill(bitmap, TPixelFormat::pf24bit, 50, 40);
    const std::wstring path = folder.Path() + L"shot.webp";
    SaveWebP(bitmap, path, 100);
    EXPECT_EQ(TPixelFormat::pf32bit, bitmap.PixelFormat()) << "a 24-bit bitmap is 32-bit after SaveWebP";
    std::vector<std::uint8_t> file = test::ReadFileBytes(path);
    EXPECT_EQ("VP8L", FourCC(file)) << "quality 100 is lossless";
    int w = 0, h = 0;
    std::uint8_t* pixels = decode(file.data(), file.size(), &w, &h);
    ASSERT_NE(nullptr, pixels);
    int wrong = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* p = pixels + (static_cast<std::size_t>(y) * w + x) * 4;
            const std::uint32_t got = 0xFF000000u | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
            wrong += got != Expected(x, y);
        }
    }
    webpFree(pixels);
    EXPECT_EQ(0, wrong) << "lossless WebP must keep every pixel";

    SaveWebP(bitmap, path, 150);
    EXPECT_EQ("VP8L", FourCC(test::ReadFileBytes(path))) << "above 100 counts as 100";

    SaveWebP(bitmap, path, 99);
    file = test::ReadFileBytes(path);
    EXPECT_EQ("VP8 ", FourCC(file)) << "quality 99 is lossy";
    // The same pixels encoded directly at 99.0 give the very same file.
    std::vector<std::uint8_t> bgra;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 50; ++x) {
            const std::uint32_t c = Expected(x, y);
            bgra.insert(bgra.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                                     static_cast<std::uint8_t>(c >> 16), 0xFF});
        }
    }
    std::uint8_t* reference = nullptr;
    const std::size_t size = encode(bgra.data(), 50, 40, 50 * 4, 99.0f, &reference);
    EXPECT_EQ(std::vector<std::uint8_t>(reference, reference + size), file);
    webpFree(reference);
}

TEST_F(ImageWriters, WebPWithoutTheLibraryRaisesAndWritesNothing) {
    DeleteFileW(LocalDll().c_str());
    TBitmap bitmap;
    Fill(bitmap, TPixelFormat::pf32bit, 10, 10);
    const std::wstring path = folder.Path() + L"none.webp";
    try {
        SaveWebP(bitmap, path, 90);
        ADD_FAILURE() << "SaveWebP without libwebp.dll reported success";
    } catch (const Exception& e) {
        EXPECT_NE(std::wstring::npos, e.Message().find(L"libwebp.dll")) << Narrow(e.Message());
    }
    EXPECT_FALSE(test::FileExists(path));
}

TEST_F(ImageWriters, APictureTallerThanItsFormatRaisesNamingTheLimit) {
    struct Case {
        const wchar_t* extension;
        int height;
        const wchar_t* limit;  // in the message, or null when the format holds the picture
    };
    const Case cases[] = {
        {L".webp", kMaxWebPSide, nullptr}, {L".webp", kMaxWebPSide + 1, L"16383"},
        {L".jpg", 65500, nullptr},         {L".jpg", 65501, L"65500"},
        {L".png", 65501, nullptr},
    };
    for (const Case& c : cases) {
        TBitmap bitmap;
        Fill(bitmap, TPixelFormat::pf32bit, 2, c.height);
        const std::wstring path = folder.Path() + L"tall" + std::to_wstring(c.height) + c.extension;
        const Writer save = [&] {
            for (const NamedWriter& w : Writers()) {
                if (std::wstring(w.extension) == c.extension) return w.save;
            }
            return Writer{};
        }();
        const std::string label = Narrow(c.extension) + " " + std::to_string(c.height) + " rows";
        if (!c.limit) {
            EXPECT_NO_THROW(save(bitmap, path)) << label;
            EXPECT_TRUE(test::FileExists(path)) << label;
            continue;
        }
        try {
            save(bitmap, path);
            ADD_FAILURE() << label << " was written";
        } catch (const Exception& e) {
            EXPECT_NE(std::wstring::npos, e.Message().find(c.limit)) << label << ": " << Narrow(e.Message());
        }
        EXPECT_FALSE(test::FileExists(path)) << label;
    }
}

}  // namespace
}  // namespace tovasen
