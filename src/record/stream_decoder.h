#pragma once
#include <string>
#include <string_view>

namespace tovasen {

// Decodes UTF-8 that arrives in pieces: a character cut by a piece boundary is held back until
// its remaining bytes arrive, so it is decoded whole. Malformed bytes become U+FFFD.
class TUtf8StreamDecoder {
public:
    std::wstring Decode(std::string_view bytes);
    // The end of the input: bytes still held back are decoded (as U+FFFD, being incomplete).
    std::wstring Flush();

private:
    std::string FHeld;
};

// How many bytes at the end of text start a UTF-8 sequence that is not complete yet (0 to 3).
std::size_t IncompleteUtf8Tail(std::string_view text) noexcept;

}  // namespace tovasen
