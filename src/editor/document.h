#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "editor/annotation.h"

namespace tovasen {

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

// The number a step shows: its rank among the steps still there, by serial.
int StepNumber(const TDocument& doc, const TAnnotation& step) noexcept;

// Objects in the order they are painted: redactions, then the rest, each in list order.
std::vector<const TAnnotation*> PaintOrder(const TDocument& doc);

// The id of the topmost object at p (the last painted first), or 0.
std::uint32_t ObjectAt(const TDocument& doc, TPointI p, double tolerance);

}  // namespace tovasen
