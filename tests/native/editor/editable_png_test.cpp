// Re-editable PNG files: the objects as JSON, the chunks around them, save then open giving the
// same objects and picture, hostile input, and redactions that leave nothing behind.
#include "editor/editable_png.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "decoders.h"
#include "editor/annotation_json.h"
#include "editor/png_chunks.h"
#include "editor/redaction.h"
#include "encode/png_encoder.h"
#include "small_stack.h"
#include "synthetic_image.h"

namespace tovasen {
namespace {

TPixelBuffer FromOwned(const test::OwnedImage& image) {
    TPixelBuffer out(image.width, image.height);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t* p = image.pixels.data() + (static_cast<std::size_t>(y) * image.width + x) * image.bytesPerPixel;
            out.At(x, y) = 0xFF000000u | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
        }
    }
    return out;
}

TPixelBuffer FromRgb(const test::RgbImage& image) {
    TPixelBuffer out(image.width, image.height);
    for (std::size_t i = 0; i < out.Bounds().Width() * std::size_t{1} * out.Height(); ++i) {
        const std::uint8_t* p = image.rgb.data() + 3 * i;
        out.Data()[i] = 0xFF000000u | (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
    }
    return out;
}

// Stands in for the platform's renderer: fills each drawn object's box with its colour.
void PaintBoxes(TPixelBuffer& picture, const TDocument& doc) {
    for (const TAnnotation* a : PaintOrder(doc)) {
        const TBox box = Intersection(PointsBox(*a), picture.Bounds());
        for (int y = box.top; y < box.bottom; ++y) std::fill(picture.Row(y) + box.left, picture.Row(y) + box.right, 0xFF000000u | a->Color);
    }
}

TAnnotation Make(TShapeKind kind, std::vector<TPointI> points, std::uint32_t color = 0xFF0000, std::wstring text = {}) {
    TAnnotation a;
    a.Kind = kind;
    a.Color = color;
    a.Points = std::move(points);
    a.Text = std::move(text);
    if (kind == TShapeKind::Text) a.Size = 24;
    return a;
}

TDocument Annotated(int w, int h, std::vector<TAnnotation> objects) {
    TDocument doc = TDocument::ForPicture(w, h);
    for (TAnnotation& a : objects) {
        doc.Register(a);
        if (a.Kind == TShapeKind::Pixelate) a.Seed = 42;
        doc.Objects.push_back(std::move(a));
    }
    return doc;
}

// Every kind, with a text in three scripts over two lines.
std::vector<TAnnotation> OneOfEach() {
    return {Make(TShapeKind::Rectangle, {{10, 10}, {60, 40}}),
            Make(TShapeKind::Ellipse, {{70, 10}, {120, 50}}, 0x00FF00),
            Make(TShapeKind::Arrow, {{5, 100}, {90, 60}}),
            Make(TShapeKind::Line, {{100, 100}, {150, 130}}, 0x123456),
            Make(TShapeKind::Pen, {{20, 120}, {25, 125}, {31, 121}, {40, 140}}),
            Make(TShapeKind::Highlighter, {{130, 20}, {190, 20}}, 0xFFFF00),
            Make(TShapeKind::Text, {{30, 60}, {110, 95}}, 0x0000FF, L"Läuft 한국어\r\n\"quoted\" \\ 中文"),
            Make(TShapeKind::Step, {{170, 80}}),
            Make(TShapeKind::Step, {{170, 120}}, 0x00AA00)};
}

TEST(AnnotationJson, RoundTripsEveryKind) {
    const TDocument doc = Annotated(200, 150, OneOfEach());
    const std::string text = ObjectsToJson(doc.Objects).dump();
    EXPECT_EQ(doc.Objects, ObjectsFromJson(nlohmann::json::parse(text)));
    EXPECT_NE(std::string::npos, text.find("\"kind\":\"highlighter\""));
    EXPECT_NE(std::string::npos, text.find("\"color\":\"#123456\""));
}

TEST(AnnotationJson, RefusesWhatItDidNotWrite) {
    const char* const bad[] = {
        R"({"id":1})",
        R"([{"id":1,"kind":"star","color":"#FF0000","size":3,"points":[[0,0],[1,1]]}])",
        R"([{"id":1,"kind":"line","color":"red","size":3,"points":[[0,0],[1,1]]}])",
        R"([{"id":1,"kind":"line","color":"#FF0000","size":3,"points":[[0,0]]}])",
        R"([{"id":1,"kind":"line","color":"#FF0000","size":3,"points":[[0,0],[1,"a"]]}])",
        R"([{"id":1,"kind":"line","color":"#FF0000","size":3,"points":[[0,0],[1,99999999]]}])",
        R"([{"id":1,"kind":"line","color":"#FF0000","size":3.5,"points":[[0,0],[1,1]]}])",
        R"([{"id":0,"kind":"line","color":"#FF0000","size":3,"points":[[0,0],[1,1]]}])",
        R"([{"id":1,"kind":"line","color":"#FF0000","size":3,"points":[[0,0],[1,1]]},
            {"id":1,"kind":"line","color":"#FF0000","size":3,"points":[[0,0],[1,1]]}])",
        R"([{"id":1,"kind":"text","color":"#FF0000","size":3,"points":[[0,0],[1,1]]}])",
        R"([{"id":1,"kind":"step","color":"#FF0000","size":3,"points":[[0,0]]}])",
        R"([{"id":1,"kind":"pen","color":"#FF0000","size":3,"points":[]}])",
    };
    for (const char* text : bad) {
        EXPECT_THROW(ObjectsFromJson(nlohmann::json::parse(text)), TAnnotationFormatError) << text;
    }
    const auto sized = ObjectsFromJson(nlohmann::json::parse(
        R"([{"id":5,"kind":"line","color":"#ff0000","size":-40,"points":[[0,0],[1,1]]}])"));
    EXPECT_EQ(kMinStroke, sized.at(0).Size) << "sizes are held within range, not refused";
}

TEST(PngChunks, InsertedChunksReadBackAndDamageIsRefused) {
    const TPixelBuffer picture = FromOwned(test::ScreenshotLike(40, 30));
    const std::vector<std::uint8_t> png = EncodePng(picture.View());
    const std::string text(5000, 'x');
    const std::vector<std::uint8_t> file =
        InsertPngChunks(png, {MakeITxt("Key", text), TPngChunk{"tvBA", {1, 2, 3}}});
    const std::vector<TPngChunk> chunks = ReadPngChunks(file);
    ASSERT_GE(chunks.size(), 5u);
    EXPECT_EQ("IHDR", chunks.front().Type);
    EXPECT_EQ("IEND", chunks.back().Type);
    EXPECT_EQ("tvBA", chunks[chunks.size() - 2].Type);
    EXPECT_EQ(text, ITxtText(chunks[chunks.size() - 3], "Key", 10000));
    EXPECT_FALSE(ITxtText(chunks[chunks.size() - 3], "Other", 10000));
    EXPECT_THROW(ITxtText(chunks[chunks.size() - 3], "Key", 4999), TPngFormatError) << "inflating past the limit";
    EXPECT_EQ(test::DecodePngWithLibpng(png).rgb, test::DecodePngWithLibpng(file).rgb) << "other readers see the same picture";

    std::vector<std::uint8_t> flipped = file;
    flipped[flipped.size() - 30] ^= 1;
    EXPECT_THROW(ReadPngChunks(flipped), TPngFormatError) << "a CRC catches the damage";
    EXPECT_THROW(ReadPngChunks(std::span(file).first(file.size() - 5)), TPngFormatError);
    EXPECT_THROW(ReadPngChunks(std::span(file).subspan(1)), TPngFormatError);
    std::vector<std::uint8_t> huge = file;
    huge[8] = 0x7F;  // IHDR claims 2 GB
    EXPECT_THROW(ReadPngChunks(huge), TPngFormatError);
}

// Writes as the editor does (the file, and its covered pixels into a store of the test's own),
// then reads as the editor would: the picture through another decoder.
class EditablePng : public ::testing::Test {
protected:
    const TPixelBuffer base = FromOwned(test::ScreenshotLike(200, 150));
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("edit-store-test-" + std::to_string(getpid()));
    const TEditStore store{folder.wstring()};

    ~EditablePng() override { std::filesystem::remove_all(folder); }

    std::vector<std::uint8_t> Save(const TFlattened& flat) {
        const TEditableFile file = EncodeEditablePng(flat);
        if (!file.Covered.empty()) store.Put(EditStoreKey(file.Png), file.Covered);
        return file.Png;
    }

    std::pair<std::vector<std::uint8_t>, std::optional<TEditablePicture>> RoundTrip(const TFlattened& flat) {
        std::vector<std::uint8_t> file = Save(flat);
        const TPixelBuffer decoded = FromRgb(test::DecodePngWithLibpng(file));
        EXPECT_EQ(flat.Flat, decoded);
        return {file, DecodeEditablePng(file, decoded, &store)};
    }
};

TEST_F(EditablePng, OpeningGivesBackEveryObjectAndThePictureUnderThem) {
    const TDocument doc = Annotated(200, 150, OneOfEach());
    const TFlattened flat = Flatten(base, doc, PaintBoxes);
    auto [file, opened] = RoundTrip(flat);
    ASSERT_TRUE(opened);
    EXPECT_EQ(doc.Objects, opened->Document.Objects);
    EXPECT_EQ(base, opened->Base) << "the pixels under the objects are restored";
    EXPECT_EQ(flat.Flat, Flatten(opened->Base, opened->Document, PaintBoxes).Flat);

    // Delete everything, save again: the picture is the original.
    TDocument emptied = opened->Document;
    emptied.Objects.clear();
    const TFlattened plain = Flatten(opened->Base, emptied, PaintBoxes);
    EXPECT_EQ(base, plain.Flat);
    EXPECT_EQ(EncodePng(base.View()), EncodeEditablePng(plain).Png) << "without objects, a plain PNG";
    EXPECT_EQ(doc.NextSerial, opened->Document.NextSerial) << "a new step continues the numbering";
}

TEST_F(EditablePng, CropMovesObjectsAndDropsThoseCutAway) {
    TDocument doc = Annotated(200, 150, {Make(TShapeKind::Rectangle, {{50, 50}, {80, 70}}),
                                         Make(TShapeKind::Line, {{180, 10}, {195, 12}})});
    doc.Crop = {40, 30, 160, 120};
    auto [file, opened] = RoundTrip(Flatten(base, doc, PaintBoxes));
    ASSERT_TRUE(opened);
    EXPECT_EQ(120, opened->Base.Width());
    ASSERT_EQ(1u, opened->Document.Objects.size());
    EXPECT_EQ((TBox{10, 20, 41, 41}), PointsBox(opened->Document.Objects[0]));
    EXPECT_EQ(base.Cropped({40, 30, 160, 120}), opened->Base);
}

// What the first version wrote: the same objects, and the pixels under them in a tvBA chunk.
std::vector<std::uint8_t> FirstVersionFile(const TFlattened& flat, const std::vector<std::size_t>& tiles) {
    std::vector<std::uint8_t> rgb;
    for (std::size_t t : tiles) {
        const int x0 = static_cast<int>(t % 7) * 32, y0 = static_cast<int>(t / 7) * 32;
        for (int y = y0; y < std::min(y0 + 32, flat.Burned.Height()); ++y) {
            for (int x = x0; x < std::min(x0 + 32, flat.Burned.Width()); ++x) {
                const std::uint32_t p = flat.Burned.At(x, y);
                rgb.insert(rgb.end(), {std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p)});
            }
        }
    }
    const nlohmann::json meta = {{"format", "tovasen-annotations"}, {"version", 1}, {"width", flat.Flat.Width()},
                                 {"height", flat.Flat.Height()},   {"picture_crc", PictureCrc(flat.Flat)},
                                 {"objects", ObjectsToJson(flat.Document.Objects)},
                                 {"restore", {{"tile", 32}, {"tiles", tiles}}}};
    return InsertPngChunks(EncodePng(flat.Flat.View()),
                           {MakeITxt(kAnnotationKeyword, meta.dump()), TPngChunk{kRestoreChunkType, ZlibCompress(rgb)}});
}

TEST_F(EditablePng, FilesOfTheFirstVersionStillOpenAndLoseTheirPixelsAtTheNextSave) {
    const TDocument doc = Annotated(200, 150, {Make(TShapeKind::Rectangle, {{5, 5}, {50, 50}})});
    const TFlattened flat = Flatten(base, doc, PaintBoxes);
    const std::vector<std::uint8_t> old = FirstVersionFile(flat, {0, 1, 7, 8});
    const auto opened = DecodeEditablePng(old, flat.Flat, nullptr);
    ASSERT_TRUE(opened);
    EXPECT_EQ(base, opened->Base);
    const std::vector<std::uint8_t> saved = Save(Flatten(opened->Base, opened->Document, PaintBoxes));
    for (const TPngChunk& chunk : ReadPngChunks(saved)) EXPECT_NE(kRestoreChunkType, chunk.Type);

    // Stored values of the wrong type or out of order, as a hostile file would hold them.
    const std::vector<std::vector<std::size_t>> badTiles = {{3, 3, 3}, {5, 4}, {1000}};
    for (const auto& tiles : badTiles) {
        EXPECT_THROW(DecodeEditablePng(FirstVersionFile(flat, tiles), flat.Flat, nullptr), TAnnotationFormatError)
            << tiles.size() << " tiles from " << tiles[0];
    }
}

TEST_F(EditablePng, APictureChangedElsewhereOrDamagedDataIsNotRestored) {
    const TFlattened flat = Flatten(base, Annotated(200, 150, {Make(TShapeKind::Rectangle, {{5, 5}, {50, 50}})}), PaintBoxes);
    const std::vector<std::uint8_t> file = Save(flat);
    TPixelBuffer touched = flat.Flat;
    touched.At(199, 149) ^= 1;
    EXPECT_THROW(DecodeEditablePng(file, touched, &store), TAnnotationFormatError) << "another program changed a pixel";
    EXPECT_THROW(DecodeEditablePng(file, flat.Flat.Cropped({0, 0, 100, 100}), &store), TAnnotationFormatError);

    // Another machine, or the store emptied: the marks are there but cannot be taken away.
    EXPECT_THROW(DecodeEditablePng(file, flat.Flat, nullptr), TMarksNotHereError);
    const TEditStore elsewhere{(folder / "elsewhere").wstring()};
    EXPECT_THROW(DecodeEditablePng(file, flat.Flat, &elsewhere), TMarksNotHereError);

    std::vector<TPngChunk> chunks = ReadPngChunks(file);
    auto rebuild = [&](const std::vector<TPngChunk>& replaced) {
        std::vector<std::uint8_t> plain = EncodePng(flat.Flat.View());
        return InsertPngChunks(plain, replaced);
    };
    const TPngChunk meta = chunks[chunks.size() - 2];
    EXPECT_THROW(DecodeEditablePng(rebuild({MakeITxt(kAnnotationKeyword, "{not json")}), flat.Flat, &store),
                 TAnnotationFormatError);
    EXPECT_FALSE(DecodeEditablePng(EncodePng(flat.Flat.View()), flat.Flat, &store)) << "a plain PNG has nothing to restore";

    // Stored values of the wrong type, as a hostile file would hold them; a store entry that is
    // not what was written. Each file is written to the store as it is, so only the damage
    // itself can refuse it.
    nlohmann::json good = nlohmann::json::parse(*ITxtText(meta, kAnnotationKeyword, 1u << 20));
    const std::vector<std::function<void(nlohmann::json&)>> spoil = {
        [](nlohmann::json& j) { j["width"] = "200"; },
        [](nlohmann::json& j) { j["picture_crc"] = "x"; },
        [](nlohmann::json& j) { j["objects"] = {{{"id", "one"}}}; },
        [](nlohmann::json& j) { j["version"] = 3; },
        [](nlohmann::json& j) { j = nlohmann::json::array(); },
    };
    const std::vector<std::uint8_t> covered = EncodeEditablePng(flat).Covered;
    for (std::size_t i = 0; i < spoil.size(); ++i) {
        nlohmann::json bad = good;
        spoil[i](bad);
        const std::vector<std::uint8_t> spoiled = rebuild({MakeITxt(kAnnotationKeyword, bad.dump())});
        store.Put(EditStoreKey(spoiled), covered);
        EXPECT_THROW(DecodeEditablePng(spoiled, flat.Flat, &store), TAnnotationFormatError) << "case " << i;
    }
    const std::vector<std::uint8_t> whole = rebuild({MakeITxt(kAnnotationKeyword, good.dump())});
    const std::vector<std::vector<std::uint8_t>> badEntries = {
        {}, {'T', 'V', 'E', 'S'}, std::vector<std::uint8_t>(covered.begin(), covered.end() - 3),
        std::vector<std::uint8_t>(covered.begin(), covered.begin() + 20)};
    for (const auto& entry : badEntries) {
        store.Put(EditStoreKey(whole), entry);
        EXPECT_THROW(DecodeEditablePng(whole, flat.Flat, &store), TAnnotationFormatError) << entry.size() << " bytes";
    }
    store.Put(EditStoreKey(whole), covered);
    EXPECT_TRUE(DecodeEditablePng(whole, flat.Flat, &store));
}

// The store keeps to its size by dropping its oldest entries, never the one just written.
TEST_F(EditablePng, TheStoreDropsItsOldestEntriesPastItsSize) {
    const TEditStore small{(folder / "small").wstring(), 100};
    for (const char* key : {"first", "second", "third"}) small.Put(key, std::vector<std::uint8_t>(60, 7));
    EXPECT_FALSE(small.Get("first"));
    EXPECT_FALSE(small.Get("second"));
    EXPECT_EQ(std::vector<std::uint8_t>(60, 7), small.Get("third"));
    EXPECT_THROW(small.Put("huge", std::vector<std::uint8_t>(500, 1)), Exception) << "larger than the whole store";
    EXPECT_TRUE(small.Get("third")) << "and nothing dropped for it";
}

// A drawing at every limit at once, saved, reads back whole: every mark, text and point as
// drawn (at the widest coordinates, with texts that need escaping).
TEST_F(EditablePng, ADrawingAtEveryLimitIsSavedAndReadBackWhole) {
    TDocument doc = TDocument::ForPicture(200, 150);
    const std::size_t texts = kMaxTextUnitsTotal / kMaxTextUnits;
    for (std::size_t i = 0; i < kMaxObjects; ++i) {
        TAnnotation a;
        if (i < texts) {
            a = Make(TShapeKind::Text, {{-kMaxCoordinate, -kMaxCoordinate}, {kMaxCoordinate, kMaxCoordinate}}, 0xFF00FF,
                     std::wstring(kMaxTextUnits, i % 2 ? L'\x1F' : L'"'));
        } else if (i == kMaxObjects - 1) {
            a = Make(TShapeKind::Pen, {});
            for (std::size_t p = 0; a.Points.size() + 2 * (kMaxObjects - 1) < kMaxPoints; ++p) {
                a.Points.push_back({-kMaxCoordinate + static_cast<int>(p), kMaxCoordinate});
            }
        } else {
            a = Make(TShapeKind::Arrow, {{-kMaxCoordinate, 3}, {kMaxCoordinate, -kMaxCoordinate}});
        }
        doc.Register(a);
        doc.Objects.push_back(std::move(a));
    }
    ASSERT_EQ(kMaxPoints, UseOf(doc).Points);
    ASSERT_EQ(kMaxTextUnitsTotal, UseOf(doc).TextUnits);
    const TFlattened flat = Flatten(base, doc, nullptr);
    const TEditableFile file = EncodeEditablePng(flat);
    const auto opened = DecodeEditablePng(file.Png, flat.Flat, file.Covered);
    ASSERT_TRUE(opened);
    EXPECT_EQ(flat.Document.Objects, opened->Document.Objects);
}

// The 300,000-deep text, opened on a thread with the user-interface thread's stack (2 MiB).
TEST_F(EditablePng, DeepObjectsAreRefusedOnTheUserInterfaceThreadsStack) {
    const std::string meta = R"({"format":"tovasen-annotations","version":2,"width":200,"height":150,"picture_crc":)" +
                             std::to_string(PictureCrc(base)) + R"(,"objects":)" + std::string(300000, '[') +
                             std::string(300000, ']') + "}";
    const std::vector<std::uint8_t> file = InsertPngChunks(EncodePng(base.View()), {MakeITxt(kAnnotationKeyword, meta)});
    std::string refusal;
    ASSERT_TRUE(test::RunOnUserInterfaceStack([&] {
        try {
            DecodeEditablePng(file, base, nullptr);
        } catch (const TAnnotationFormatError& e) {
            refusal = e.what();
        }
    }));
    EXPECT_NE(std::string::npos, refusal.find("nested deeper than")) << refusal;
}

// A redacted secret: noise no other part of the picture holds.
TPixelBuffer WithSecret(TPixelBuffer picture, const TBox& box) {
    std::uint32_t s = 0xC0FFEE;
    for (int y = box.top; y < box.bottom; ++y) {
        for (int x = box.left; x < box.right; ++x) {
            s ^= s << 13;
            s ^= s >> 17;
            s ^= s << 5;
            picture.At(x, y) = 0xFF000000u | (s & 0xFFFFFFu);
        }
    }
    return picture;
}

std::vector<std::uint8_t> RgbBytes(const TPixelBuffer& picture) {
    std::vector<std::uint8_t> rgb;
    for (int y = 0; y < picture.Height(); ++y) {
        for (int x = 0; x < picture.Width(); ++x) {
            const std::uint32_t p = picture.At(x, y);
            rgb.insert(rgb.end(), {std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p)});
        }
    }
    return rgb;
}

// How many runs of four secret pixels (as R, G, B or B, G, R bytes) occur in haystack.
int SecretRuns(const std::vector<std::uint8_t>& haystack, const TPixelBuffer& picture, const TBox& secret) {
    int runs = 0;
    for (int y = secret.top; y < secret.bottom; ++y) {
        for (int x = secret.left; x + 4 <= secret.right; x += 4) {
            std::vector<std::uint8_t> rgb, bgr;
            for (int i = 0; i < 4; ++i) {
                const std::uint32_t p = picture.At(x + i, y);
                rgb.insert(rgb.end(), {std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p)});
                bgr.insert(bgr.end(), {std::uint8_t(p), std::uint8_t(p >> 8), std::uint8_t(p >> 16)});
            }
            for (const auto& needle : {rgb, bgr}) {
                if (std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end()) ++runs;
            }
        }
    }
    return runs;
}

bool HoldsSecret(const std::vector<std::uint8_t>& haystack, const TPixelBuffer& picture, const TBox& secret) {
    return SecretRuns(haystack, picture, secret) > 0;
}

// Every byte sequence in which a file could carry pixels: the file itself, each chunk's data,
// each zlib stream inflated (the image data as one stream) and the text of our own chunk.
std::vector<std::vector<std::uint8_t>> Readable(const std::vector<std::uint8_t>& file) {
    std::vector<std::vector<std::uint8_t>> out = {file};
    std::vector<std::uint8_t> idat;
    for (const TPngChunk& chunk : ReadPngChunks(file)) {
        out.push_back(chunk.Data);
        if (chunk.Type == "IDAT") idat.insert(idat.end(), chunk.Data.begin(), chunk.Data.end());
        if (chunk.Type == kRestoreChunkType) out.push_back(ZlibInflate(chunk.Data, 1u << 26));
        if (chunk.Type == "iTXt") {
            const std::string json = *ITxtText(chunk, kAnnotationKeyword, 1u << 26);
            out.emplace_back(json.begin(), json.end());
        }
    }
    out.push_back(ZlibInflate(idat, 1u << 26));
    return out;
}

// On noise, no pixel under any kind of mark is left in any part of the file, where the first
// version kept every one of them; the store alone brings them back.
TEST_F(EditablePng, NoPixelUnderAMarkIsInTheFile) {
    const TPixelBuffer noise = WithSecret(base, base.Bounds());
    const TDocument doc = Annotated(200, 150, OneOfEach());
    const TFlattened flat = Flatten(noise, doc, PaintBoxes);
    int before = 0, after = 0;
    const std::vector<std::uint8_t> file = Save(flat);
    std::vector<std::size_t> allTiles(7 * 5);
    for (std::size_t i = 0; i < allTiles.size(); ++i) allTiles[i] = i;
    const auto oldParts = Readable(FirstVersionFile(flat, allTiles));
    const auto newParts = Readable(file);
    for (const TAnnotation& a : doc.Objects) {
        const TBox covered = Intersection(PointsBox(a), noise.Bounds());
        for (const auto& part : oldParts) before += SecretRuns(part, noise, covered);
        for (const auto& part : newParts) after += SecretRuns(part, noise, covered);
    }
    std::printf("covered four-pixel runs found: first version %d, now %d\n", before, after);
    EXPECT_GT(before, 0) << "the search finds covered pixels where a file holds them";
    EXPECT_EQ(0, after);

    const auto opened = DecodeEditablePng(file, flat.Flat, &store);
    ASSERT_TRUE(opened);
    EXPECT_EQ(noise, opened->Base) << "the store restores the picture exactly";
    std::filesystem::remove_all(folder);
    EXPECT_THROW(DecodeEditablePng(file, flat.Flat, &store), TMarksNotHereError) << "without its entry it opens flat";
}

TEST_F(EditablePng, RedactedPixelsAppearNowhereInTheSavedFile) {
    const TBox pixelated{20, 20, 100, 70}, blacked{120, 60, 180, 110};
    const TPixelBuffer secret = WithSecret(WithSecret(base, pixelated), blacked);
    // Objects over and across both redactions, so their restore tiles cover redacted pixels.
    const TDocument doc = Annotated(200, 150, {Make(TShapeKind::Pixelate, {{20, 20}, {99, 69}}),
                                               Make(TShapeKind::Arrow, {{10, 30}, {190, 100}}),
                                               Make(TShapeKind::Blackout, {{120, 60}, {179, 109}}),
                                               Make(TShapeKind::Rectangle, {{15, 15}, {185, 115}}, 0x00FF00),
                                               Make(TShapeKind::Text, {{50, 40}, {150, 80}}, 0xFF0000, L"secret")});
    const TFlattened flat = Flatten(secret, doc, PaintBoxes);
    ASSERT_TRUE(HoldsSecret(RgbBytes(secret), secret, pixelated)) << "the search finds the secret where it is";

    auto [file, opened] = RoundTrip(flat);
    ASSERT_TRUE(opened);
    EXPECT_EQ(3u, opened->Document.Objects.size()) << "redactions are burned in, not kept as objects";
    const test::RgbImage shown = test::DecodePngWithLibpng(file);
    for (const TBox& box : {pixelated, blacked}) {
        EXPECT_FALSE(HoldsSecret(shown.rgb, secret, box)) << "in the picture every viewer shows";
        EXPECT_FALSE(HoldsSecret(file, secret, box)) << "in the raw file";
        for (const TPngChunk& chunk : ReadPngChunks(file)) {
            EXPECT_FALSE(HoldsSecret(chunk.Data, secret, box)) << "in chunk " << chunk.Type;
            if (chunk.Type == "IDAT" || chunk.Type == "iCCP") continue;  // image data is the picture checked above
            std::vector<std::uint8_t> inflated;
            if (chunk.Type == "tvBA") inflated = ZlibInflate(chunk.Data, 1u << 26);
            if (chunk.Type == "iTXt") {
                const std::string json = *ITxtText(chunk, kAnnotationKeyword, 1u << 26);
                inflated.assign(json.begin(), json.end());
            }
            EXPECT_FALSE(HoldsSecret(inflated, secret, box)) << "in the contents of chunk " << chunk.Type;
        }
        EXPECT_FALSE(HoldsSecret(RgbBytes(opened->Base), secret, box)) << "in the picture the editor restores";
    }
}

}  // namespace
}  // namespace tovasen
