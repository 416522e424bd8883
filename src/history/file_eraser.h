#pragma once
// Forgetting a picture means its bytes are gone, not only its name: a file the history lets go
// of is overwritten with zeros, written through to the disk, and only then removed, so that
// what the user had taken away cannot be read back from the free space of the disk.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tovasen {

// Overwrites path's bytes and removes it. True once nothing is left under the name (also when
// there was nothing); false when it could not be removed (its bytes zeroed where they could be).
bool EraseFile(const std::wstring& path);
// Writes bytes as a new file at path, flushed to the disk before it is closed (so that a rename
// of it afterwards never puts an empty file in place after a power cut). False when it could
// not be written whole; nothing is left at path then.
bool WriteFlushedFile(const std::wstring& path, std::span<const std::uint8_t> bytes);

// Erases every file below folder, in sub-folders too, and the sub-folders; folder stays.
// Returns how many files could not be erased.
std::size_t EraseFilesIn(const std::wstring& folder);

}  // namespace tovasen
