#include "editor/editable_png.h"

#include <zlib.h>

#include <algorithm>

#include "editor/annotation_json.h"
#include "editor/png_chunks.h"
#include "editor/redaction.h"
#include "output/png_encoder.h"

namespace tovasen {
namespace {

using nlohmann::json;

constexpr int kTile = 32;
constexpr char kFormat[] = "tovasen-annotations";
constexpr int kVersion = 1;
constexpr std::size_t kMaxJsonBytes = 64u << 20;

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

std::vector<std::uint8_t> EncodeEditablePng(const TFlattened& picture) {
    const std::vector<std::uint8_t> png = EncodePng(picture.Flat.View());
    const TDocument& doc = picture.Document;
    if (doc.Objects.empty()) return png;

    const std::vector<std::size_t> tiles = CoveredTiles(doc);
    std::vector<std::uint8_t> restore;
    for (std::size_t index : tiles) {
        const TBox box = TileBox(index, doc.Width, doc.Height);
        for (int y = box.top; y < box.bottom; ++y) {
            for (int x = box.left; x < box.right; ++x) {
                const std::uint32_t p = picture.Burned.At(x, y);
                restore.insert(restore.end(), {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                                               static_cast<std::uint8_t>(p)});
            }
        }
    }
    const json meta = {{"format", kFormat},
                       {"version", kVersion},
                       {"width", doc.Width},
                       {"height", doc.Height},
                       {"picture_crc", PictureCrc(picture.Flat)},
                       {"objects", ObjectsToJson(doc.Objects)},
                       {"restore", {{"tile", kTile}, {"tiles", tiles}}}};
    return InsertPngChunks(png, {MakeITxt(kAnnotationKeyword, meta.dump()), TPngChunk{kRestoreChunkType, ZlibCompress(restore)}});
}

namespace {

// The objects and base picture stored with flat; raises json::exception for values of the
// wrong type, TAnnotationFormatError and TPngFormatError for the rest.
TEditablePicture Restore(const std::string& text, const TPngChunk* restoreChunk, const TPixelBuffer& flat) {
    const json meta = json::parse(text);
    if (!meta.is_object() || meta.value("format", "") != kFormat) Fail("not our format");
    if (meta.value("version", 0) != kVersion) Fail("made by a newer version");
    if (meta.value("width", -1) != flat.Width() || meta.value("height", -1) != flat.Height()) {
        Fail("the picture's size has changed");
    }
    if (meta.value("picture_crc", std::uint64_t{0}) != PictureCrc(flat)) Fail("the picture was changed after it was saved");

    TEditablePicture out{flat, TDocument::ForPicture(flat.Width(), flat.Height())};
    out.Document.Objects = ObjectsFromJson(meta.value("objects", json()));
    for (const TAnnotation& a : out.Document.Objects) {
        out.Document.NextId = std::max(out.Document.NextId, a.Id + 1);
        out.Document.NextSerial = std::max(out.Document.NextSerial, a.Serial + 1);
    }

    const json restore = meta.value("restore", json());
    const json tiles = restore.is_object() ? restore.value("tiles", json()) : json();
    if (!restore.is_object() || restore.value("tile", 0) != kTile || !tiles.is_array()) Fail("no restore list");
    if (!restoreChunk) Fail("the picture's own pixels are missing");
    const std::size_t count = TilesAcross(flat.Width()) * TilesAcross(flat.Height());
    std::vector<TBox> boxes;
    std::size_t bytes = 0, last = 0;
    for (const json& t : tiles) {
        if (!t.is_number_unsigned() || t.get<std::uint64_t>() >= count) Fail("a tile is out of range");
        // Each tile once, in order: the pixels to inflate are then bounded by the picture's size.
        if (!boxes.empty() && t.get<std::size_t>() <= last) Fail("the tiles are not in order");
        last = t.get<std::size_t>();
        boxes.push_back(TileBox(last, flat.Width(), flat.Height()));
        bytes += static_cast<std::size_t>(boxes.back().Width()) * static_cast<std::size_t>(boxes.back().Height()) * 3;
    }
    const std::vector<std::uint8_t> pixels = ZlibInflate(restoreChunk->Data, bytes);
    if (pixels.size() != bytes) Fail("the picture's own pixels are cut short");
    std::size_t at = 0;
    for (const TBox& box : boxes) {
        for (int y = box.top; y < box.bottom; ++y) {
            for (int x = box.left; x < box.right; ++x, at += 3) {
                out.Base.At(x, y) = 0xFF000000u | (std::uint32_t{pixels[at]} << 16) | (std::uint32_t{pixels[at + 1]} << 8) |
                                    pixels[at + 2];
            }
        }
    }
    return out;
}

}  // namespace

std::optional<TEditablePicture> DecodeEditablePng(std::span<const std::uint8_t> file, const TPixelBuffer& flat) {
    const std::vector<TPngChunk> chunks = ReadPngChunks(file);
    std::optional<std::string> text;
    const TPngChunk* restoreChunk = nullptr;
    for (const TPngChunk& chunk : chunks) {
        if (!text) text = ITxtText(chunk, kAnnotationKeyword, kMaxJsonBytes);
        if (chunk.Type == kRestoreChunkType) restoreChunk = &chunk;
    }
    if (!text) return std::nullopt;
    try {
        return Restore(*text, restoreChunk, flat);
    } catch (const json::exception&) {
        Fail("the stored objects are not what was written");
    }
}

}  // namespace tovasen
