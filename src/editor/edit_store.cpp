#include "editor/edit_store.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "base/errors.h"
#include "history/file_eraser.h"
#include "history/file_path.h"

namespace tovasen {
namespace {

namespace fs = std::filesystem;

constexpr char kExtension[] = ".tves";

fs::path EntryPath(const std::wstring& folder, const std::string& key) {
    return FsPath(PathIn(folder, std::wstring(key.begin(), key.end()) + L".tves"));
}

void DropOldest(const fs::path& folder, const fs::path& kept, std::uint64_t maxBytes) {
    struct TEntry {
        fs::path Path;
        fs::file_time_type Written;
        std::uint64_t Size;
    };
    std::vector<TEntry> entries;
    std::uint64_t total = 0;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (it->path().extension() != kExtension) continue;
        std::error_code ignored;
        const std::uint64_t size = it->file_size(ignored);
        total += size;
        if (it->path() != kept) entries.push_back({it->path(), it->last_write_time(ignored), size});
    }
    std::sort(entries.begin(), entries.end(), [](const TEntry& a, const TEntry& b) { return a.Written < b.Written; });
    // The entries hold what the user covered: dropped ones are overwritten, not only unlinked.
    for (const TEntry& entry : entries) {
        if (total <= maxBytes) break;
        if (EraseFile(WidePath(entry.Path))) total -= entry.Size;
    }
}

}  // namespace

TEditStore::TEditStore(std::wstring folder, std::uint64_t maxBytes) : FFolder(std::move(folder)), FMaxBytes(maxBytes) {}

void TEditStore::Put(const std::string& key, std::span<const std::uint8_t> data) const {
    if (data.size() > FMaxBytes) throw Exception(L"The pixels under the marks are more than the edit store keeps.");
    const fs::path folder = FsPath(FFolder), path = EntryPath(FFolder, key);
    std::error_code error;
    fs::create_directories(folder, error);
    fs::path temporary = path;
    temporary += ".tmp";
    if (!WriteFlushedFile(WidePath(temporary), data)) {
        throw Exception(L"The pixels under the marks could not be kept in " + FFolder);
    }
    fs::rename(temporary, path, error);
    if (error) {
        fs::remove(temporary, error);
        throw Exception(L"The pixels under the marks could not be kept in " + FFolder);
    }
    DropOldest(folder, path, FMaxBytes);
}

std::optional<std::vector<std::uint8_t>> TEditStore::Get(const std::string& key) const {
    const fs::path path = EntryPath(FFolder, key);
    std::error_code error;
    const std::uint64_t size = fs::file_size(path, error);
    if (error || size > FMaxBytes) return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
    file.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (!file) return std::nullopt;
    return data;
}

std::string EditStoreKey(std::span<const std::uint8_t> file) {
    uLong crc = crc32(0L, Z_NULL, 0), adler = adler32(0L, Z_NULL, 0);
    // zlib takes at most 4 GB a call.
    for (std::size_t at = 0; at < file.size();) {
        const auto piece = static_cast<uInt>(std::min<std::size_t>(file.size() - at, 1u << 30));
        crc = crc32(crc, file.data() + at, piece);
        adler = adler32(adler, file.data() + at, piece);
        at += piece;
    }
    char key[48];
    std::snprintf(key, sizeof key, "%08lx%08lx%016llx", static_cast<unsigned long>(crc), static_cast<unsigned long>(adler),
                  static_cast<unsigned long long>(file.size()));
    return key;
}

}  // namespace tovasen
