#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace tovasen {

enum class RemoteCommand { None, About, Capture };

// The "command" member of a JSON object: "about" or "capture", compared exactly. Anything else
// (other names, no member, valid JSON that is not an object, broken JSON) is None.
RemoteCommand ParseRemoteCommand(std::wstring_view json);

// The text a WM_COPYDATA sender passed: UTF-16 units bounded by the byte count it gave, up to
// the first NUL. Never reads past count bytes, so a missing terminator cannot overrun.
std::wstring CopyDataText(const void* data, std::size_t byteCount);

// The message a sender puts in WM_COPYDATA for a command name.
std::wstring RemoteCommandJson(std::wstring_view command);

}  // namespace tovasen
