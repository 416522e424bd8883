#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tovasen {

// Recognised text as bytes for a .txt file: in codePage, without a byte-order mark, when that
// code page holds every character; otherwise UTF-8 with its byte-order mark, so that nothing
// turns into "?".
std::vector<std::uint8_t> EncodeRecognizedText(const std::wstring& text, UINT codePage = CP_ACP);

// Writes text (encoded as above) as the file path; raises with the system's text on failure and
// leaves no partial file.
void WriteRecognizedText(const std::wstring& path, const std::wstring& text);

}  // namespace tovasen
