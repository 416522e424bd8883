#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "editor/document.h"
#include "editor/pixel_buffer.h"

namespace tovasen {

// Where an editable PNG keeps its objects (JSON in an iTXt chunk under this keyword) and the
// picture's own pixels under them (a private chunk, unsafe to copy: it is only valid with
// these very pixels).
inline constexpr char kAnnotationKeyword[] = "Tovasen annotations";
inline constexpr char kRestoreChunkType[] = "tvBA";

// Paints the drawn objects of doc (never the redactions) over a picture of doc's size.
using TObjectPainter = std::function<void(TPixelBuffer& picture, const TDocument& doc)>;

// What a save writes: the crop applied, the redactions burned into the picture and gone from
// the objects, which are moved to the cropped picture's coordinates.
struct TFlattened {
    TPixelBuffer Burned;  // the picture with its redactions, without the drawn objects
    TPixelBuffer Flat;    // with them: what the user sees, what every viewer shows
    TDocument Document;
};
TFlattened Flatten(const TPixelBuffer& base, const TDocument& doc, const TObjectPainter& paint);

// A PNG of the flat picture that also carries the objects and the pixels of Burned under
// them. Nothing in it holds what a redaction covered.
std::vector<std::uint8_t> EncodeEditablePng(const TFlattened& picture);

struct TEditablePicture {
    TPixelBuffer Base;
    TDocument Document;
};
// Reads back what EncodeEditablePng wrote, given the file and its picture as decoded. Nothing
// when the file carries no objects of ours; TAnnotationFormatError or TPngFormatError when it
// does but they cannot be used (damaged, or the picture was changed by another program since).
std::optional<TEditablePicture> DecodeEditablePng(std::span<const std::uint8_t> file, const TPixelBuffer& flat);

// CRC-32 of the picture's R, G, B bytes, row by row: ties stored objects to their pixels.
std::uint32_t PictureCrc(const TPixelBuffer& picture);

}  // namespace tovasen
