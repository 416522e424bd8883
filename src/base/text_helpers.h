#pragma once
#include <string>

#include "base/errors.h"

namespace tovasen {

// A JSON escape that does not decode (a \u without four hexadecimal digits).
class EJsonEscape : public Exception {
public:
    using Exception::Exception;
};

// The text of source between the first startMarker (searched ignoring the case of a-z) and
// the next endMarker after it; empty when either is missing. An empty startMarker starts at
// the beginning, an empty endMarker runs to the end. When the end marker is a quote (" or ',
// or "' ) a quote behind an odd number of backslashes is escaped and does not end the text.
std::wstring ExtractBetween(const std::wstring& source, const std::wstring& startMarker,
                            const std::wstring& endMarker);

// Whether c is a Unicode format character (general category Cf, as of Unicode 15): invisible
// marks such as the bidirectional overrides and isolates, zero-width joiners, the byte order
// mark and tag characters. Shown, they change how the text around them reads.
bool IsFormatCharacter(char32_t c) noexcept;

// Undoes JSON string escapes: \" \' \/ \\ \b \f \n \r \t and \uXXXX (one UTF-16 code unit,
// so a surrogate pair arrives as two escapes). Any other escaped character is dropped with its
// backslash, as is a backslash at the very end. A \u without four hexadecimal digits raises
// EJsonEscape.
std::wstring JsonUnescape(const std::wstring& value);

}  // namespace tovasen
