#pragma once
#include <windows.h>

#include <cstdint>

namespace tovasen {

// The mandatory integrity level (see command_trust.h) of this process, and of the process that
// owns window; kUntrustedIntegrity when the window is null or gone, or its process or token
// cannot be queried.
std::uint32_t OwnIntegrityLevel();
std::uint32_t WindowIntegrityLevel(HWND window);

}  // namespace tovasen
