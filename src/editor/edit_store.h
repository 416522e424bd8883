#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tovasen {

// The pixels that the marks of saved pictures cover, kept on this machine only and never in the
// picture file: with them a picture saved with marks opens with its marks still movable and
// removable; without them (another machine, or the entry dropped) it opens flat. One file per
// saved picture in one folder, the oldest dropped first once the folder outgrows its size.
class TEditStore {
public:
    static constexpr std::uint64_t kDefaultMaxBytes = 256u << 20;

    explicit TEditStore(std::wstring folder, std::uint64_t maxBytes = kDefaultMaxBytes);

    // Keeps data under key (made by EditStoreKey), then drops the oldest other entries until the
    // store is within its size. Raises Exception when the entry cannot be written or is larger
    // than the whole store.
    void Put(const std::string& key, std::span<const std::uint8_t> data) const;
    // The entry, or nothing when there is none or it cannot be read (never more than the
    // store's size is read).
    std::optional<std::vector<std::uint8_t>> Get(const std::string& key) const;

    const std::wstring& Folder() const noexcept { return FFolder; }

private:
    std::wstring FFolder;
    std::uint64_t FMaxBytes;
};

// The key of a saved file's entry: a hash of every byte of the file, so that a file changed by
// any program afterwards finds no entry and opens flat.
std::string EditStoreKey(std::span<const std::uint8_t> file);

// The name of the folder inside the program's local data folder.
inline constexpr wchar_t kEditStoreFolderName[] = L"edit-store";

}  // namespace tovasen
