// Feeds arbitrary bytes to what opening a picture in the editor reads: the format check of the
// file's first bytes, the PNG chunk reader, the annotation text with its objects and the edit
// store's entry. None may crash, hang, read out of bounds or take memory beyond the limits.
//
// The first byte chooses: 'F' the rest is a whole file; otherwise the rest is an annotation text,
// a NUL, then a store entry, both put beside a fixed picture (whose checksum the seeds know, so
// that mutations reach the objects and the entry rather than stopping at the checksum).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "editor/editable_png.h"
#include "image/picture_format.h"
#include "editor/png_chunks.h"
#include "encode/png_encoder.h"

namespace {

const tovasen::TPixelBuffer& FixedPicture() {
    static const tovasen::TPixelBuffer picture = [] {
        tovasen::TPixelBuffer p(64, 48);
        for (int y = 0; y < 48; ++y) {
            for (int x = 0; x < 64; ++x) p.At(x, y) = 0xFF000000u | static_cast<std::uint32_t>(x * 4 << 16 | y * 5 << 8 | 0x30);
        }
        return p;
    }();
    return picture;
}

void Open(std::span<const std::uint8_t> file, const std::optional<std::vector<std::uint8_t>>& covered) {
    try {
        if (const auto opened = tovasen::DecodeEditablePng(file, FixedPicture(), covered)) {
            const tovasen::TDocument& doc = opened->Document;
            if (doc.Objects.size() > tovasen::kMaxObjects || opened->Base.Width() != 64 || opened->Base.Height() != 48 ||
                doc.NextId != doc.Objects.size() + 1) {
                std::abort();
            }
        }
    } catch (const tovasen::TAnnotationFormatError&) {
    } catch (const tovasen::TPngFormatError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::span<const std::uint8_t> rest(data + 1, size - 1);
    if (data[0] == 'F') {
        tovasen::PictureFormatOf(rest);
        Open(rest, std::nullopt);
        return 0;
    }
    std::size_t nul = 0;
    while (nul < rest.size() && rest[nul] != 0) ++nul;
    const std::string text(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(nul));
    std::optional<std::vector<std::uint8_t>> entry;
    if (nul < rest.size()) entry.emplace(rest.begin() + static_cast<std::ptrdiff_t>(nul) + 1, rest.end());
    static const std::vector<std::uint8_t> png = tovasen::EncodePng(FixedPicture().View());
    Open(tovasen::InsertPngChunks(png, {tovasen::MakeITxt(tovasen::kAnnotationKeyword, text)}), entry);
    return 0;
}
