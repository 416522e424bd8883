#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tovasen {

// Writes bytes as the file path: first to a new temporary file in the same folder, flushed to
// the disk, then moved over path in one step. A failure (or a crash, or a power cut) leaves any
// earlier file of that name as it was and no partial file behind; the error (with the system's
// text) is raised as an Exception. Paths of MAX_PATH characters and more are fine.
void ReplaceFileWith(const std::wstring& path, const std::vector<std::uint8_t>& bytes);

// Moves a finished file that another program wrote (the encoder's joined recording) over path,
// its bytes flushed to the disk first, the same way. False with the system's error when it
// could not be moved.
bool MoveFlushedFileOver(const std::wstring& from, const std::wstring& path);

}  // namespace tovasen
