#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace tovasen {

// One argument quoted so that the C runtime and CommandLineToArgvW read it back unchanged:
// blanks, tabs and quotes force double quotes, quotes are escaped and backslashes doubled where
// they precede a quote. A plain argument stays as it is.
std::wstring QuoteArgument(std::wstring_view argument);

// A program path as the first word of a command line: always in double quotes (a path never
// holds a quote, and the first word does not take backslash escapes).
std::wstring QuoteProgram(std::wstring_view path);

// An environment block for a child: the current block (entries each ended by NUL, the block by
// one more NUL, as the system hands it out), then the added "name=value" entries, each ended by
// NUL, then the final NUL. An added entry whose name is already set replaces it, so the child
// sees one value per name.
std::wstring BuildEnvironmentBlock(std::wstring_view current, const std::vector<std::wstring>& added);

// An input entry queued for a child: the text to write, with CR LF when a line end was asked for.
std::wstring InputText(std::wstring_view text, bool lineEnd);

}  // namespace tovasen
