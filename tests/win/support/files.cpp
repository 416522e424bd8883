#include "support/files.h"

#include <objidl.h>
// objidl.h first: GDI+ needs IStream.
#include <gdiplus.h>

#include <stdexcept>

namespace tovasen::test {

TempFolder::TempFolder() {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    static int counter = 0;
    path_ = std::wstring(base) + L"tovasen-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(counter++) + L"\\";
    CreateDirectoryW(path_.c_str(), nullptr);
}

void RemoveTree(std::wstring folder) {
    if (folder.empty()) return;
    if (folder.back() != L'\\') folder += L'\\';
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(folder + name + L"\\");
            else DeleteFileW((folder + name).c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

TempFolder::~TempFolder() { RemoveTree(path_); }

std::vector<std::wstring> TempFolder::Files() const { return FilesIn(path_); }

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

std::vector<std::uint8_t> ReadFileBytes(const std::wstring& path) {
    // Without a terminal, Wine's console host for a new console keeps the handles a test lent
    // its child open a little longer: reading must not need them closed.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open a file to read");
    std::vector<std::uint8_t> bytes(GetFileSize(file, nullptr));
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create a file");
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

DecodedImage DecodeWithGdiplus(const std::wstring& path) {
    using namespace Gdiplus;
    using namespace Gdiplus::DllExports;
    ULONG_PTR token = 0;
    GdiplusStartupInput input;
    GdiplusStartup(&token, &input, nullptr);
    DecodedImage out;
    GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromFile(path.c_str(), &bitmap) == Ok) {
        UINT w = 0, h = 0;
        GdipGetImageWidth(bitmap, &w);
        GdipGetImageHeight(bitmap, &h);
        out.width = static_cast<int>(w);
        out.height = static_cast<int>(h);
        out.pixels.resize(static_cast<std::size_t>(w) * h);
        const GpRect all{0, 0, out.width, out.height};
        BitmapData data{};
        if (GdipBitmapLockBits(bitmap, &all, ImageLockModeRead, PixelFormat32bppARGB, &data) == Ok) {
            for (UINT y = 0; y < h; ++y) {
                const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(data.Scan0) +
                                                                         static_cast<std::ptrdiff_t>(y) * data.Stride);
                std::copy(row, row + w, out.pixels.begin() + static_cast<std::ptrdiff_t>(y) * w);
            }
            GdipBitmapUnlockBits(bitmap, &data);
        }
        GdipDisposeImage(bitmap);
    }
    GdiplusShutdown(token);
    if (out.width == 0) throw std::runtime_error("GDI+ could not decode the file");
    return out;
}

}  // namespace tovasen::test
