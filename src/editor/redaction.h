#pragma once
#include <cstdint>

#include "editor/document.h"
#include "editor/pixel_buffer.h"

namespace tovasen {

// Replaces box (clipped to the picture) by blocks of about blockSize pixels, each the average
// of the pixels it covers, shifted a little by a pattern drawn from seed. Blocks are never
// narrower or lower than blockSize unless the box itself is, so no block repeats a single
// source pixel at a ragged edge.
void Pixelate(TPixelBuffer& image, const TBox& box, int blockSize, std::uint32_t seed);
void Blackout(TPixelBuffer& image, const TBox& box);
// Applies one redaction object.
void ApplyRedaction(TPixelBuffer& image, const TAnnotation& redaction);

// The picture with every redaction of doc burned in, in list order.
TPixelBuffer Burn(const TPixelBuffer& base, const TDocument& doc);
// Brings burned (base with the redactions) up to date over area after a change there. The
// area grows to every redaction that touches it, since a block depends on all its pixels;
// returns the area refreshed.
TBox RefreshBurned(const TPixelBuffer& base, TPixelBuffer& burned, const TDocument& doc, TBox area);

}  // namespace tovasen
