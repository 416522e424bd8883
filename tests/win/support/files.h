#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tovasen::test {

// A new empty folder under the temporary folder, removed with everything in it (folders too)
// at the end.
class TempFolder {
public:
    TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();
    const std::wstring& Path() const { return path_; }  // with a trailing backslash
    std::vector<std::wstring> Files() const;            // names of the files in it

private:
    std::wstring path_;
};

// Deletes a folder with everything below it; nothing happens when there is none.
void RemoveTree(std::wstring folder);

// Names of the files (not folders) in folder, given with a trailing backslash.
std::vector<std::wstring> FilesIn(const std::wstring& folder);

std::vector<std::uint8_t> ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes);
bool FileExists(const std::wstring& path);

// Decodes an image file with GDI+ (an independent decoder) into 32-bit BGRA rows.
struct DecodedImage {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;  // 0xAARRGGBB, rows top first
};
DecodedImage DecodeWithGdiplus(const std::wstring& path);

}  // namespace tovasen::test
