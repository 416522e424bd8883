#pragma once
#include <functional>
#include <string>

namespace tovasen {

// Creates the first free file among name(0), name(1), ... and returns its path: from then on
// the name is ours, so an encoder told to write over it writes over nothing it did not make.
// Raises when none of the first hundred could be created.
std::wstring ReserveFreeFile(const std::function<std::wstring(int attempt)>& name);

// A file the encoder wrote something into: one it never wrote to is still empty, or missing.
bool HasContent(const std::wstring& path);

}  // namespace tovasen
