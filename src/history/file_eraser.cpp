#include "history/file_eraser.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "history/file_path.h"

namespace tovasen {
namespace {

namespace fs = std::filesystem;

std::FILE* Open(const std::wstring& path, bool create) {
#ifdef _WIN32
    return _wfopen(path.c_str(), create ? L"wb" : L"r+b");
#else
    return std::fopen(Utf8Path(path).c_str(), create ? "wb" : "r+b");
#endif
}

// Written through: a write still in the cache when the file goes may never reach the disk.
bool Flush(std::FILE* file) {
    if (std::fflush(file) != 0) return false;
#ifdef _WIN32
    return _commit(_fileno(file)) == 0;
#else
    return fsync(fileno(file)) == 0;
#endif
}

void Overwrite(const std::wstring& path) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(FsPath(path), error);
    if (error || size == 0) return;
    std::FILE* file = Open(path, false);
    if (!file) return;
    const std::vector<char> zeros(64 * 1024, 0);
    for (std::uintmax_t left = size; left > 0;) {
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::uintmax_t>(left, zeros.size()));
        if (std::fwrite(zeros.data(), 1, chunk, file) != chunk) break;
        left -= chunk;
    }
    Flush(file);
    std::fclose(file);
}

}  // namespace

bool WriteFlushedFile(const std::wstring& path, std::span<const std::uint8_t> bytes) {
    std::FILE* file = Open(path, true);
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && Flush(file);
    if (std::fclose(file) != 0 || !written) {
        std::error_code ignored;
        fs::remove(FsPath(path), ignored);
        return false;
    }
    return true;
}

bool EraseFile(const std::wstring& path) {
    std::error_code error;
    const fs::path file = FsPath(path);
    const fs::file_status status = fs::symlink_status(file, error);
    if (!fs::exists(status)) return true;
    if (fs::is_regular_file(status)) Overwrite(path);  // a link goes by itself; what it names is not ours
    fs::remove(file, error);
    return !error;
}

std::size_t EraseFilesIn(const std::wstring& folder) {
    std::size_t failed = 0;
    std::error_code error;
    std::vector<fs::path> files, folders;
    for (fs::recursive_directory_iterator it(FsPath(folder), error), end; !error && it != end; it.increment(error)) {
        std::error_code kind;
        if (it->is_directory(kind) && !it->is_symlink(kind)) folders.push_back(it->path());
        else files.push_back(it->path());
    }
    for (const fs::path& file : files) {
        if (!EraseFile(WidePath(file))) ++failed;
    }
    // Deepest first, so each is empty by the time it is removed.
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
        std::error_code ignored;
        fs::remove(*it, ignored);
    }
    return failed;
}

}  // namespace tovasen
