#include "editor/editable_png.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "base/untrusted_json.h"
#include "base/utf_convert.h"
#include "editor/png_chunks.h"
#include "editor/redaction.h"
#include "encode/png_encoder.h"

namespace tovasen {
namespace {

constexpr int kTile = 32;
constexpr char kFormat[] = "tovasen-annotations";
// 1: the covered pixels in the file's own tvBA chunk; 2: in this machine's edit store only.
constexpr int kVersionWithPixels = 1, kVersion = 2;
constexpr char kCoveredMagic[] = "TVES";

std::size_t TilesAcross(int size) noexcept { return static_cast<std::size_t>((size + kTile - 1) / kTile); }

TBox TileBox(std::size_t index, int width, int height) noexcept {
    const std::size_t across = TilesAcross(width);
    const int x = static_cast<int>(index % across) * kTile, y = static_cast<int>(index / across) * kTile;
    return Intersection(TBox{x, y, x + kTile, y + kTile}, TBox{0, 0, width, height});
}

// The tiles any drawn object may paint on, in ascending order.
std::vector<std::size_t> CoveredTiles(const TDocument& doc) {
    const std::size_t across = TilesAcross(doc.Width), down = TilesAcross(doc.Height);
    std::vector<bool> covered(across * down);
    for (const TAnnotation& a : doc.Objects) {
        const TBox box = Intersection(PaintBounds(a), TBox{0, 0, doc.Width, doc.Height});
        if (box.Empty()) continue;
        for (int ty = box.top / kTile; ty <= (box.bottom - 1) / kTile; ++ty) {
            for (int tx = box.left / kTile; tx <= (box.right - 1) / kTile; ++tx) {
                covered[static_cast<std::size_t>(ty) * across + static_cast<std::size_t>(tx)] = true;
            }
        }
    }
    std::vector<std::size_t> tiles;
    for (std::size_t i = 0; i < covered.size(); ++i) {
        if (covered[i]) tiles.push_back(i);
    }
    return tiles;
}

[[noreturn]] void Fail(const std::string& what) { throw TAnnotationFormatError("editable PNG: " + what); }

}  // namespace

std::uint32_t PictureCrc(const TPixelBuffer& picture) {
    uLong crc = crc32(0L, Z_NULL, 0);
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(picture.Width()) * 3);
    for (int y = 0; y < picture.Height(); ++y) {
        const std::uint32_t* row = picture.Row(y);
        for (int x = 0; x < picture.Width(); ++x) {
            rgb[3 * static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(row[x] >> 16);
            rgb[3 * static_cast<std::size_t>(x) + 1] = static_cast<std::uint8_t>(row[x] >> 8);
            rgb[3 * static_cast<std::size_t>(x) + 2] = static_cast<std::uint8_t>(row[x]);
        }
        crc = crc32(crc, rgb.data(), static_cast<uInt>(rgb.size()));
    }
    return static_cast<std::uint32_t>(crc);
}

TFlattened Flatten(const TPixelBuffer& base, const TDocument& doc, const TObjectPainter& paint) {
    const TBox crop = Intersection(doc.Crop, base.Bounds());
    TFlattened out;
    out.Burned = Burn(base, doc).Cropped(crop);
    out.Document = TDocument::ForPicture(crop.Width(), crop.Height());
    out.Document.NextId = doc.NextId;
    out.Document.NextSerial = doc.NextSerial;
    for (const TAnnotation& a : doc.Objects) {
        if (IsRedaction(a.Kind)) continue;
        TAnnotation moved = a;
        MoveBy(moved, -crop.left, -crop.top);
        // Cropped away entirely: nothing of it is left to see or to edit.
        if (Intersects(PaintBounds(moved), out.Document.Crop)) out.Document.Objects.push_back(std::move(moved));
    }
    out.Flat = out.Burned;
    if (!out.Document.Objects.empty() && paint) paint(out.Flat, out.Document);
    return out;
}

namespace {

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

std::uint32_t GetU32(std::span<const std::uint8_t> in, std::size_t at) {
    if (in.size() < 4 || at > in.size() - 4) Fail("the covered pixels are cut short");
    return std::uint32_t{in[at]} | std::uint32_t{in[at + 1]} << 8 | std::uint32_t{in[at + 2]} << 16 |
           std::uint32_t{in[at + 3]} << 24;
}

// The covered tiles of the picture, one after another, as R, G, B.
std::vector<std::uint8_t> TilePixels(const TPixelBuffer& picture, const std::vector<std::size_t>& tiles) {
    std::vector<std::uint8_t> rgb;
    for (std::size_t index : tiles) {
        const TBox box = TileBox(index, picture.Width(), picture.Height());
        for (int y = box.top; y < box.bottom; ++y) {
            for (int x = box.left; x < box.right; ++x) {
                const std::uint32_t p = picture.At(x, y);
                rgb.insert(rgb.end(), {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                                       static_cast<std::uint8_t>(p)});
            }
        }
    }
    return rgb;
}

// Puts the stored tiles back into base; tiles in ascending order, each once, which bounds the
// pixels to inflate by the picture's size.
void RestoreTiles(TPixelBuffer& base, const std::vector<std::size_t>& tiles, std::span<const std::uint8_t> compressed) {
    const std::size_t count = TilesAcross(base.Width()) * TilesAcross(base.Height());
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        if (tiles[i] >= count) Fail("a tile is out of range");
        if (i > 0 && tiles[i] <= tiles[i - 1]) Fail("the tiles are not in order");
        const TBox box = TileBox(tiles[i], base.Width(), base.Height());
        bytes += static_cast<std::size_t>(box.Width()) * static_cast<std::size_t>(box.Height()) * 3;
    }
    std::vector<std::uint8_t> pixels;
    try {
        pixels = ZlibInflate(compressed, bytes);
    } catch (const TPngFormatError&) {
        Fail("the picture's own pixels are damaged");
    }
    if (pixels.size() != bytes) Fail("the picture's own pixels are cut short");
    std::size_t at = 0;
    for (std::size_t index : tiles) {
        const TBox box = TileBox(index, base.Width(), base.Height());
        for (int y = box.top; y < box.bottom; ++y) {
            for (int x = box.left; x < box.right; ++x, at += 3) {
                base.At(x, y) = 0xFF000000u | (std::uint32_t{pixels[at]} << 16) | (std::uint32_t{pixels[at + 1]} << 8) |
                                pixels[at + 2];
            }
        }
    }
}

// The store entry: "TVES", the picture's width and height, the tile count and indices (each
// 32 bits, little-endian), then the tiles' pixels zlib-compressed.
std::vector<std::uint8_t> CoveredEntry(const TPixelBuffer& burned, const std::vector<std::size_t>& tiles) {
    std::vector<std::uint8_t> entry(kCoveredMagic, kCoveredMagic + 4);
    PutU32(entry, static_cast<std::uint32_t>(burned.Width()));
    PutU32(entry, static_cast<std::uint32_t>(burned.Height()));
    PutU32(entry, static_cast<std::uint32_t>(tiles.size()));
    for (std::size_t t : tiles) PutU32(entry, static_cast<std::uint32_t>(t));
    const std::vector<std::uint8_t> pixels = ZlibCompress(TilePixels(burned, tiles));
    entry.insert(entry.end(), pixels.begin(), pixels.end());
    return entry;
}

void RestoreFromEntry(TPixelBuffer& base, std::span<const std::uint8_t> entry) {
    if (entry.size() < 16 || std::memcmp(entry.data(), kCoveredMagic, 4) != 0) Fail("the covered pixels are not ours");
    if (GetU32(entry, 4) != static_cast<std::uint32_t>(base.Width()) ||
        GetU32(entry, 8) != static_cast<std::uint32_t>(base.Height())) {
        Fail("the covered pixels belong to a picture of another size");
    }
    const std::uint32_t count = GetU32(entry, 12);
    if (count > TilesAcross(base.Width()) * TilesAcross(base.Height())) Fail("a tile is out of range");
    std::vector<std::size_t> tiles(count);
    for (std::uint32_t i = 0; i < count; ++i) tiles[i] = GetU32(entry, 16 + 4 * std::size_t{i});
    RestoreTiles(base, tiles, entry.subspan(16 + 4 * std::size_t{count}));
}

}  // namespace

TEditableFile EncodeEditablePng(const TFlattened& picture) {
    TEditableFile out;
    out.Png = EncodePng(picture.Flat.View());
    const TDocument& doc = picture.Document;
    if (doc.Objects.empty()) return out;
    const nlohmann::json meta = {{"format", kFormat},
                                 {"version", kVersion},
                                 {"width", doc.Width},
                                 {"height", doc.Height},
                                 {"picture_crc", PictureCrc(picture.Flat)},
                                 {"objects", ObjectsToJson(doc.Objects)}};
    // Replacement characters rather than an exception for a text that is not valid UTF-16.
    const std::string text = meta.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    out.Png = InsertPngChunks(out.Png, {MakeITxt(kAnnotationKeyword, text)});
    out.Covered = CoveredEntry(picture.Burned, CoveredTiles(doc));
    return out;
}

namespace {

// Ids and serials from a file may be anything the reader accepts, up to the top of their range:
// handed out anew from 1 (serials in their stored order, which is what numbers the steps), new
// objects can never run out of them.
void Renumber(TDocument& doc) {
    std::vector<TAnnotation*> steps;
    std::uint32_t id = 1;
    for (TAnnotation& a : doc.Objects) {
        a.Id = id++;
        if (a.Kind == TShapeKind::Step) steps.push_back(&a);
    }
    std::sort(steps.begin(), steps.end(), [](const TAnnotation* a, const TAnnotation* b) { return a->Serial < b->Serial; });
    std::uint32_t serial = 1;
    for (TAnnotation* step : steps) step->Serial = serial++;
    doc.NextId = id;
    doc.NextSerial = serial;
}

std::vector<std::size_t> StoredTiles(const nlohmann::json& meta) {
    const nlohmann::json& restore = Member(meta, "restore");
    if (IntegerIn(Member(restore, "tile"), "the tile size", kTile, kTile) != kTile) Fail("no restore list");
    std::vector<std::size_t> tiles;
    for (const nlohmann::json& t : ArrayOf(Member(restore, "tiles"), "the tiles")) {
        tiles.push_back(static_cast<std::size_t>(IntegerIn(t, "a tile", 0, 0xFFFFFFFFLL)));
    }
    return tiles;
}

TEditablePicture Restore(const std::string& text, const TPngChunk* restoreChunk, const TPixelBuffer& flat,
                         const std::optional<std::vector<std::uint8_t>>& covered) {
    const nlohmann::json meta = ReadUntrustedJson(text, kAnnotationJsonLimits);
    if (StringOf(Member(meta, "format"), "the format") != kFormat) Fail("not our format");
    const long long version = IntegerIn(Member(meta, "version"), "the version", 0, 1LL << 30);
    if (version != kVersion && version != kVersionWithPixels) Fail("made by a newer version");
    if (IntegerIn(Member(meta, "width"), "the width", 0, 1LL << 31) != flat.Width() ||
        IntegerIn(Member(meta, "height"), "the height", 0, 1LL << 31) != flat.Height()) {
        Fail("the picture's size has changed");
    }
    if (IntegerIn(Member(meta, "picture_crc"), "the picture's checksum", 0, 0xFFFFFFFFLL) != PictureCrc(flat)) {
        Fail("the picture was changed after it was saved");
    }

    TEditablePicture out{flat, TDocument::ForPicture(flat.Width(), flat.Height())};
    out.Document.Objects = ObjectsFromJson(Member(meta, "objects"));
    Renumber(out.Document);
    if (version == kVersionWithPixels) {
        const std::vector<std::size_t> tiles = StoredTiles(meta);
        if (!restoreChunk) Fail("the picture's own pixels are missing");
        RestoreTiles(out.Base, tiles, restoreChunk->Data);
        return out;
    }
    if (!covered) throw TMarksNotHereError("editable PNG: the pixels under the marks are not kept on this computer");
    RestoreFromEntry(out.Base, *covered);
    return out;
}

}  // namespace

std::optional<TEditablePicture> DecodeEditablePng(std::span<const std::uint8_t> file, const TPixelBuffer& flat,
                                                  const TEditStore* store) {
    return DecodeEditablePng(file, flat, store ? store->Get(EditStoreKey(file)) : std::nullopt);
}

std::optional<TEditablePicture> DecodeEditablePng(std::span<const std::uint8_t> file, const TPixelBuffer& flat,
                                                  const std::optional<std::vector<std::uint8_t>>& covered) {
    const std::vector<TPngChunk> chunks = ReadPngChunks(file);
    std::optional<std::string> text;
    const TPngChunk* restoreChunk = nullptr;
    for (const TPngChunk& chunk : chunks) {
        if (!text) text = ITxtText(chunk, kAnnotationKeyword, kMaxAnnotationJsonBytes);
        if (chunk.Type == kRestoreChunkType) restoreChunk = &chunk;
    }
    if (!text) return std::nullopt;
    try {
        return Restore(*text, restoreChunk, flat, covered);
    } catch (const EUntrustedJson& e) {
        Fail("the stored objects are not what was written: " + WideToUtf8(e.Message()));
    }
}

}  // namespace tovasen
