#pragma once
#include <array>
#include <string>
#include <string_view>

namespace tovasen {

// Fills the "%d" placeholders of format with major, minor, release and build in that order;
// placeholders beyond the fourth become "0", "%%" is a percent sign, anything else is copied.
// The format never reaches a printf, so a stray "%s" cannot read past the arguments.
std::wstring FormatVersion(std::wstring_view format, const std::array<unsigned, 4>& parts);

}  // namespace tovasen
