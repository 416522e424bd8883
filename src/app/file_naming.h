#pragma once
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tovasen {

// The naming schemes, by their stored number ("append"); any other number names by date.
enum class NamingScheme { Continue = 1, DateTime = 2, FirstFree = 3 };

struct DirEntry {
    std::wstring name;
    std::uint32_t attributes = 0;  // FILE_ATTRIBUTE_* bits
};

struct LocalTime {
    int year, month, day, hour, minute, second, millisecond;
};

class EInvalidPath : public std::runtime_error {
public:
    EInvalidPath() : std::runtime_error("Invalid characters in path") {}
};

// folder + name with one backslash between (none when folder is empty or already ends in a
// separator), as it stands: for search patterns such as "*.*".
std::wstring AppendToFolder(const std::wstring& folder, const std::wstring& name);

// folder + name with one backslash between (none when folder is empty or already ends in a
// separator). Raises EInvalidPath when either holds characters a path cannot.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);

// The largest number n among entries named "T-n.<anything>"; 0 when there is none. Folders
// that carry nothing but the directory attribute do not count.
int HighestSequenceNumber(const std::vector<DirEntry>& entries);

// "T-001.png" for 1 and "png"; at least three digits.
std::wstring SequenceName(int number, const std::wstring& ext);
// "T-20250102-030405006.png".
std::wstring DateTimeName(const LocalTime& time, const std::wstring& ext);

// What NewFilename needs from the file system and the clock.
struct NamingContext {
    std::function<std::vector<DirEntry>()> listFolder;
    std::function<bool(const std::wstring& path)> exists;
    std::function<LocalTime()> now;
};

// The full path of the next output file in folder under the given scheme. Sequential names
// take the first free number (after the highest present, or from 1); a date-and-time name that
// is taken already (two captures in one millisecond) gets "-1", "-2", ... before the extension.
std::wstring NewFilename(NamingScheme scheme, const std::wstring& folder, const std::wstring& ext,
                         const NamingContext& context);

}  // namespace tovasen
