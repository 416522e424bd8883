#pragma once
// Who may ask Tovasen for what. WM_COPYDATA is let in from programs at a lower integrity level
// (a sandboxed browser, a low-integrity script) so that they can take a capture; what reads
// stored data or opens a file stays with programs at Tovasen's own level or above.
#include <cstdint>
#include <string_view>

#include "app/copydata_command.h"

namespace tovasen {

// Mandatory integrity levels, as the last sub-authority of their SIDs. A level that cannot be
// read counts as untrusted.
inline constexpr std::uint32_t kUntrustedIntegrity = 0x0000;
inline constexpr std::uint32_t kLowIntegrity = 0x1000;
inline constexpr std::uint32_t kMediumIntegrity = 0x2000;
inline constexpr std::uint32_t kHighIntegrity = 0x3000;

// Whether a command from a sender at senderLevel may run in a Tovasen at ownLevel. Below our
// level only what reads nothing and opens nothing: "about", "capture" and pausing or resuming
// the recording that a capture starts and stops; every other command, and any added later,
// needs our level.
bool SenderMayRun(RemoteCommand command, std::uint32_t senderLevel, std::uint32_t ownLevel);

// Whether a reply that carries data (a path, a message, the history) may go to a window whose
// process runs at windowLevel.
bool WindowMayReadReplies(std::uint32_t windowLevel, std::uint32_t ownLevel);

// Whether a script may name path for Tovasen to open: a full path on a drive letter, also in
// its \\?\ long form. Never a UNC path (opening one hands the user's network credential to that
// host), a device path (\\.\, \\?\GLOBALROOT, \??\), a relative path or a reserved device name
// (CON, NUL, COM1 ...) as the file's name.
bool IsLocalFilePath(std::wstring_view path);

}  // namespace tovasen
