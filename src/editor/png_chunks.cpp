#include "editor/png_chunks.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace tovasen {
namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// A chunk's length field never exceeds 2^31 - 1.
constexpr std::uint32_t kMaxChunk = 0x7FFFFFFFu;

std::uint32_t BE32(const std::uint8_t* p) noexcept {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

void PutBE32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

std::uint32_t Crc(const std::uint8_t* data, std::size_t size) noexcept {
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib takes at most uInt bytes at a time.
    while (size > 0) {
        const uInt piece = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
        crc = crc32(crc, data, piece);
        data += piece;
        size -= piece;
    }
    return static_cast<std::uint32_t>(crc);
}

void PutChunk(std::vector<std::uint8_t>& out, const TPngChunk& chunk) {
    if (chunk.Type.size() != 4 || chunk.Data.size() > kMaxChunk) throw TPngFormatError("png: bad chunk to write");
    PutBE32(out, static_cast<std::uint32_t>(chunk.Data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), chunk.Type.begin(), chunk.Type.end());
    out.insert(out.end(), chunk.Data.begin(), chunk.Data.end());
    PutBE32(out, Crc(out.data() + start, out.size() - start));
}

}  // namespace

std::vector<TPngChunk> ReadPngChunks(std::span<const std::uint8_t> file) {
    if (file.size() < 8 || std::memcmp(file.data(), kSignature, 8) != 0) throw TPngFormatError("png: not a PNG file");
    std::vector<TPngChunk> chunks;
    std::size_t at = 8;
    while (true) {
        if (file.size() - at < 12) throw TPngFormatError("png: the file ends inside a chunk");
        const std::uint32_t length = BE32(file.data() + at);
        if (length > kMaxChunk || length > file.size() - at - 12) throw TPngFormatError("png: a chunk runs past the end");
        const std::uint8_t* type = file.data() + at + 4;
        for (int i = 0; i < 4; ++i) {
            const bool letter = (type[i] >= 'A' && type[i] <= 'Z') || (type[i] >= 'a' && type[i] <= 'z');
            if (!letter) throw TPngFormatError("png: a chunk type is not four letters");
        }
        if (Crc(type, 4 + std::size_t{length}) != BE32(type + 4 + length)) throw TPngFormatError("png: a chunk's CRC is wrong");
        TPngChunk chunk{std::string(type, type + 4), std::vector<std::uint8_t>(type + 4, type + 4 + length)};
        at += 12 + std::size_t{length};
        const bool end = chunk.Type == "IEND";
        chunks.push_back(std::move(chunk));
        if (end) return chunks;
    }
}

std::vector<std::uint8_t> InsertPngChunks(std::span<const std::uint8_t> file, const std::vector<TPngChunk>& chunks) {
    const std::vector<TPngChunk> existing = ReadPngChunks(file);
    std::vector<std::uint8_t> out(kSignature, kSignature + 8);
    for (const TPngChunk& chunk : existing) {
        if (chunk.Type == "IEND") {
            for (const TPngChunk& added : chunks) PutChunk(out, added);
        }
        PutChunk(out, chunk);
    }
    return out;
}

std::vector<std::uint8_t> ZlibCompress(std::span<const std::uint8_t> data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::vector<std::uint8_t> out(size);
    if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), Z_BEST_COMPRESSION) != Z_OK) {
        throw TPngFormatError("zlib: compress2 failed");
    }
    out.resize(size);
    return out;
}

std::vector<std::uint8_t> ZlibInflate(std::span<const std::uint8_t> data, std::size_t maxBytes) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) throw TPngFormatError("zlib: inflateInit failed");
    std::vector<std::uint8_t> out;
    std::uint8_t buffer[65536];
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    int status = Z_OK;
    while (status == Z_OK) {
        z.next_out = buffer;
        z.avail_out = sizeof(buffer);
        status = inflate(&z, Z_NO_FLUSH);
        const std::size_t produced = sizeof(buffer) - z.avail_out;
        if (out.size() + produced > maxBytes) {
            inflateEnd(&z);
            throw TPngFormatError("zlib: the data inflates past its limit");
        }
        out.insert(out.end(), buffer, buffer + produced);
    }
    inflateEnd(&z);
    if (status != Z_STREAM_END) throw TPngFormatError("zlib: broken compressed data");
    return out;
}

TPngChunk MakeITxt(const std::string& keyword, const std::string& utf8) {
    TPngChunk chunk{"iTXt", {}};
    chunk.Data.assign(keyword.begin(), keyword.end());
    // Keyword, NUL, compressed, method 0, no language tag, no translated keyword.
    chunk.Data.insert(chunk.Data.end(), {0, 1, 0, 0, 0});
    const std::vector<std::uint8_t> compressed =
        ZlibCompress({reinterpret_cast<const std::uint8_t*>(utf8.data()), utf8.size()});
    chunk.Data.insert(chunk.Data.end(), compressed.begin(), compressed.end());
    return chunk;
}

std::optional<std::string> ITxtText(const TPngChunk& chunk, const std::string& keyword, std::size_t maxBytes) {
    if (chunk.Type != "iTXt") return std::nullopt;
    const std::vector<std::uint8_t>& d = chunk.Data;
    const auto keywordEnd = std::find(d.begin(), d.end(), 0);
    if (keywordEnd == d.end() || std::string(d.begin(), keywordEnd) != keyword) return std::nullopt;
    std::size_t at = static_cast<std::size_t>(keywordEnd - d.begin()) + 1;
    if (d.size() - at < 2) throw TPngFormatError("png: iTXt chunk too short");
    const bool compressed = d[at] != 0;
    if (compressed && d[at + 1] != 0) throw TPngFormatError("png: iTXt with an unknown compression");
    at += 2;
    for (int skip = 0; skip < 2; ++skip) {  // language tag, translated keyword
        const auto end = std::find(d.begin() + static_cast<std::ptrdiff_t>(at), d.end(), 0);
        if (end == d.end()) throw TPngFormatError("png: iTXt chunk too short");
        at = static_cast<std::size_t>(end - d.begin()) + 1;
    }
    const std::span<const std::uint8_t> rest(d.data() + at, d.size() - at);
    if (!compressed) {
        if (rest.size() > maxBytes) throw TPngFormatError("png: iTXt text too long");
        return std::string(rest.begin(), rest.end());
    }
    const std::vector<std::uint8_t> text = ZlibInflate(rest, maxBytes);
    return std::string(text.begin(), text.end());
}

}  // namespace tovasen
