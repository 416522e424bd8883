#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "editor/annotation.h"

namespace tovasen {

// How much one picture may carry, the same when drawing and when reading a saved file, so that
// whatever the editor writes it reads back. Far above what a person draws by hand (a long pen
// stroke has a few thousand points), small enough that the stored text stays under the
// reader's byte limit (kMaxAnnotationJsonBytes) and a file cannot make the reader exhaust memory.
inline constexpr std::size_t kMaxObjects = 10000;
inline constexpr std::size_t kMaxPoints = 100000;           // over all objects
inline constexpr std::size_t kMaxTextUnits = 4000;          // UTF-16 units of one text
inline constexpr std::size_t kMaxTextUnitsTotal = 100000;   // over all texts
inline constexpr int kMaxCoordinate = 1000000;              // either way from the picture's corner

// A picture's annotations. Objects are kept bottom first; redactions always act on the picture
// beneath every drawn object, so they are painted first whatever their place in the list.
struct TDocument {
    int Width = 0, Height = 0;  // the picture's size
    TBox Crop;                  // the part shown and saved
    std::vector<TAnnotation> Objects;
    std::uint32_t NextId = 1;
    std::uint32_t NextSerial = 1;

    static TDocument ForPicture(int width, int height);

    // Index of the object with that id, or npos.
    std::size_t IndexOf(std::uint32_t id) const noexcept;
    const TAnnotation* Find(std::uint32_t id) const noexcept;
    // Hands out the id and, for steps, the serial of a new object.
    void Register(TAnnotation& a);

    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
};

// What the picture's objects use of the limits above.
struct TDocumentUse {
    std::size_t Objects = 0, Points = 0, TextUnits = 0;
};
TDocumentUse UseOf(const TDocument& doc) noexcept;
// Keeps a's points within kMaxCoordinate and its text within kMaxTextUnits and what the other
// objects of doc (all but the one with a's id) leave of kMaxTextUnitsTotal.
void FitToLimits(const TDocument& doc, TAnnotation& a);

// The number a step shows: its rank among the steps still there, by serial.
int StepNumber(const TDocument& doc, const TAnnotation& step) noexcept;

// Objects in the order they are painted: redactions, then the rest, each in list order.
std::vector<const TAnnotation*> PaintOrder(const TDocument& doc);

// The id of the topmost object at p (the last painted first), or 0.
std::uint32_t ObjectAt(const TDocument& doc, TPointI p, double tolerance);

}  // namespace tovasen
