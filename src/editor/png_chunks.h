#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace tovasen {

// A PNG file whose chunk structure cannot be read.
class TPngFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TPngChunk {
    std::string Type;  // four letters
    std::vector<std::uint8_t> Data;
};

// The chunks of a PNG file up to IEND, each checked against its CRC. A bad signature, a chunk
// running past the end or a wrong CRC raises TPngFormatError.
std::vector<TPngChunk> ReadPngChunks(std::span<const std::uint8_t> file);
// The file with chunks written just before its IEND.
std::vector<std::uint8_t> InsertPngChunks(std::span<const std::uint8_t> file, const std::vector<TPngChunk>& chunks);

// An international text chunk (iTXt) holding UTF-8 text under keyword, zlib-compressed.
TPngChunk MakeITxt(const std::string& keyword, const std::string& utf8);
// The text of an iTXt chunk with that keyword, or nothing for another keyword. Text longer
// than maxBytes once inflated raises TPngFormatError.
std::optional<std::string> ITxtText(const TPngChunk& chunk, const std::string& keyword, std::size_t maxBytes);

std::vector<std::uint8_t> ZlibCompress(std::span<const std::uint8_t> data);
// Raises TPngFormatError for a broken stream or one that inflates past maxBytes.
std::vector<std::uint8_t> ZlibInflate(std::span<const std::uint8_t> data, std::size_t maxBytes);

}  // namespace tovasen
