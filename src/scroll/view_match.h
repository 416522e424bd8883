#pragma once
#include <optional>
#include <vector>

#include "scroll/view_pixels.h"

namespace tovasen {

// Rows of the view that moved with the content in every step so far: the part between a
// sticky header and a sticky footer. Empty until a first step is known.
struct ScrollBand {
    int top = 0;
    int bottom = 0;
    bool Known() const noexcept { return bottom > top; }
};

struct MatchRequest {
    // Rows of the earlier view that are already part of the picture: a match that ends above
    // them would contradict what was taken.
    int takenThrough = 0;
    ScrollBand band;
    // The offset the scroll bar predicts, once it has proved to count pixels in this window.
    // It only decides between offsets the pixels cannot tell apart (a blank stretch).
    std::optional<int> expectedOffset;
};

enum class MatchKind {
    kMoved,       // the content moved up by offset rows, verified
    kStill,       // the content did not move
    kNoOverlap,   // no offset explains the later view: scrolled too far, or not repainted
    kAmbiguous,   // several offsets explain it equally well (blank or repeating content)
    kContradicts  // the best offset disagrees with rows already matched in earlier steps
};

struct ViewMatch {
    MatchKind kind = MatchKind::kNoOverlap;
    int offset = 0;
    // Rows [runTop, runEnd) of the later view equal rows [runTop + offset, runEnd + offset) of
    // the earlier one, pixel for pixel, save for pixels that change by themselves.
    int runTop = 0;
    int runEnd = 0;
    // Row boundaries inside the run where the picture changes: how much the match rests on.
    int evidence = 0;
    // Columns that stay put while the content moves (side bars); empty when there are none.
    std::vector<bool> fixedColumns;
};

// Finds how far the content moved from earlier to later (views of one size). Rows are matched
// by hashes, the winning offset is confirmed by a full comparison, and a result is given only
// when exactly one offset explains the views best; otherwise the kind says why not.
ViewMatch MatchViews(const ViewPixels& earlier, const ViewPixels& later, const MatchRequest& request = {});

}  // namespace tovasen
