#pragma once
#include <cstddef>
#include <string_view>

namespace tovasen {

// Whether an address that a server sent may be handed to the shell. Only plain web addresses
// pass: "http://" or "https://", a host without a user part, printable ASCII without quotes,
// angle brackets, backslashes, carets, backquotes, braces or bars, at most 2048 characters. Everything else
// (file:, UNC paths, other protocol handlers, CR/LF, command-line quoting) would let the
// server start something on this machine instead of showing a page.
bool IsSafeWebAddress(std::wstring_view address);

inline constexpr std::size_t kMaxWebAddressLength = 2048;

}  // namespace tovasen
