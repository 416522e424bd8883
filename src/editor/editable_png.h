#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "editor/annotation_json.h"
#include "editor/document.h"
#include "editor/edit_store.h"
#include "editor/pixel_buffer.h"

namespace tovasen {

// Where an editable PNG keeps its objects: JSON in an iTXt chunk under this keyword. Files of
// the first version also kept the pixels under the objects in a private chunk; they are still
// read, and the next save drops that chunk.
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

// A PNG of the flat picture that also carries the objects (their kinds, colours, positions and
// texts), and apart from it the pixels of Burned under them, for this machine's edit store
// under EditStoreKey(Png). No pixel that any mark covers is in the file.
struct TEditableFile {
    std::vector<std::uint8_t> Png;
    std::vector<std::uint8_t> Covered;  // empty when there are no objects
};
TEditableFile EncodeEditablePng(const TFlattened& picture);

// The objects of a picture whose covered pixels are not on this machine: it can be opened only
// as the flat picture it shows.
class TMarksNotHereError : public TAnnotationFormatError {
public:
    using TAnnotationFormatError::TAnnotationFormatError;
};

struct TEditablePicture {
    TPixelBuffer Base;
    TDocument Document;
};
// Reads back what EncodeEditablePng wrote, given the file, its picture as decoded and the store
// that may hold its covered pixels. Nothing when the file carries no objects of ours;
// TMarksNotHereError when the store has no entry for it; TAnnotationFormatError or
// TPngFormatError when the objects cannot be used (damaged, over the document limits, or the
// picture was changed by another program since). Ids are handed out anew, from 1.
std::optional<TEditablePicture> DecodeEditablePng(std::span<const std::uint8_t> file, const TPixelBuffer& flat,
                                                  const TEditStore* store);
// The same with the store's entry for the file already looked up (nothing: no entry).
std::optional<TEditablePicture> DecodeEditablePng(std::span<const std::uint8_t> file, const TPixelBuffer& flat,
                                                  const std::optional<std::vector<std::uint8_t>>& covered);

// CRC-32 of the picture's R, G, B bytes, row by row: ties stored objects to their pixels.
std::uint32_t PictureCrc(const TPixelBuffer& picture);

}  // namespace tovasen
