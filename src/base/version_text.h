#pragma once
#include <string>
#include <string_view>

namespace tovasen {

// The file version of the given module's file (the running exe when empty) in format;
// "0.0.0.0" when the file carries no version resource.
std::wstring GetVersionText(std::wstring_view format, const std::wstring& path = {});

}  // namespace tovasen
