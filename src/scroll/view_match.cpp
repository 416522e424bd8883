#include "scroll/view_match.h"

#include <algorithm>
#include <stdexcept>

namespace tovasen {
namespace {

// The longest stretch of matching rows at one offset, and what it rests on.
struct Candidate {
    int offset = 0;
    int top = 0;
    int end = 0;
    int evidence = -1;  // -1: no row matches at this offset
    bool Found() const noexcept { return evidence >= 0; }
    int Length() const noexcept { return end - top; }
};

bool Better(const Candidate& a, const Candidate& b) {
    if (a.evidence != b.evidence) return a.evidence > b.evidence;
    return a.Length() > b.Length();
}

bool SteadyPixelsEqual(const ViewPixels& a, int ya, const ViewPixels& b, int yb, int x0, int x1) {
    const std::uint32_t* ra = a.Row(ya);
    const std::uint32_t* rb = b.Row(yb);
    for (int x = x0; x < x1; ++x) {
        if (ra[x] != rb[x] && !a.Unsteady(x, ya) && !b.Unsteady(x, yb)) return false;
    }
    return true;
}

// All offsets of later against earlier over the columns [x0, x1).
class OffsetSearch {
public:
    OffsetSearch(const ViewPixels& earlier, const ViewPixels& later, int x0, int x1)
        : earlier_(earlier), later_(later), x0_(x0), x1_(x1), height_(later.Height()) {
        Index(earlier_, earlierHash_, earlierUnsteady_);
        Index(later_, laterHash_, laterUnsteady_);
        // A row that differs from the one above it is an edge of the picture; uniform stretches
        // (blank paper) match at any offset and count for nothing. Nor does an edge that is
        // also where it was: a header or a footer fits any offset, moved or not.
        edge_.assign(static_cast<std::size_t>(height_), 0);
        for (int y = 1; y < height_; ++y) edge_[y] = laterHash_[y] != laterHash_[y - 1] && !RowsMatch(y, 0);
        candidates_.resize(static_cast<std::size_t>(height_));
        for (int d = 0; d < height_; ++d) candidates_[d] = BestRun(d);
    }

    const std::vector<Candidate>& Candidates() const noexcept { return candidates_; }

    // A full comparison of the run, against a hash that happened to collide.
    bool Verify(const Candidate& c) const {
        for (int y = c.top; y < c.end; ++y) {
            if (!SteadyPixelsEqual(earlier_, y + c.offset, later_, y, x0_, x1_)) return false;
        }
        return true;
    }

    // Whether the edges of c's run rule out the other candidate's offset where both runs lie:
    // some edge row there does not match at that offset, or there is no edge to go by. A run
    // without edges rules out nothing.
    bool RulesOut(const Candidate& c, const Candidate& other) const {
        if (c.evidence <= 0) return false;
        bool checked = false;
        for (int y = std::max(c.top, other.top) + 1; y < std::min(c.end, other.end); ++y) {
            if (!edge_[y]) continue;
            if (!RowsMatch(y, other.offset)) return true;
            checked = true;
        }
        return !checked;
    }

    // Whether another plausible offset explains c's run as well: the content repeats.
    bool HasRival(const Candidate& c, const std::vector<Candidate>& plausible) const {
        return std::any_of(plausible.begin(), plausible.end(),
                           [&](const Candidate& other) { return other.offset != c.offset && !RulesOut(c, other); });
    }

private:
    void Index(const ViewPixels& view, std::vector<std::uint64_t>& hashes, std::vector<std::uint8_t>& unsteady) const {
        hashes.resize(static_cast<std::size_t>(height_));
        unsteady.resize(static_cast<std::size_t>(height_));
        for (int y = 0; y < height_; ++y) {
            hashes[y] = RowHash(view, y, x0_, x1_);
            unsteady[y] = view.RowUnsteady(y, x0_, x1_);
        }
    }

    bool RowsMatch(int y, int d) const {
        if (!laterUnsteady_[y] && !earlierUnsteady_[y + d]) return laterHash_[y] == earlierHash_[y + d];
        return SteadyPixelsEqual(earlier_, y + d, later_, y, x0_, x1_);
    }

    Candidate BestRun(int d) const {
        Candidate best{d, 0, 0, -1};
        int start = -1;
        int evidence = 0;
        for (int y = 0; y <= height_ - d; ++y) {
            if (y < height_ - d && RowsMatch(y, d)) {
                if (start < 0) {
                    start = y;
                    evidence = 0;
                } else if (edge_[y]) {
                    ++evidence;
                }
                continue;
            }
            if (start >= 0) {
                const Candidate run{d, start, y, evidence};
                if (Better(run, best)) best = run;
                start = -1;
            }
        }
        return best;
    }

    const ViewPixels& earlier_;
    const ViewPixels& later_;
    int x0_, x1_, height_;
    std::vector<std::uint64_t> earlierHash_, laterHash_;
    std::vector<std::uint8_t> earlierUnsteady_, laterUnsteady_, edge_;
    std::vector<Candidate> candidates_;
};

// A true step matches nearly all of the band that both views show; a chance alignment of a few
// rows does not. Before the band is known, the run must hold at least half of the rows the two
// views share (the first step is small, so a real run is long). Once it is known, the slack
// allows for rows that matched by chance at its edges (white padding against white paper), and
// a step must leave a tenth of the band to compare: a sliver of a few rows proves nothing.
bool Plausible(const Candidate& c, const ScrollBand& band, int height) {
    if (!band.Known()) return c.Length() * 2 >= height - c.offset;
    const int top = band.top;
    const int bottom = std::min(band.bottom - c.offset, height - c.offset);
    const int wanted = bottom - top;
    if (wanted < std::max(8, (band.bottom - band.top) / 10)) return false;
    const int covered = std::max(0, std::min(bottom, c.end) - std::max(top, c.top));
    const int slack = std::max(4, wanted / 8);
    return covered >= wanted - slack;
}

ViewMatch Decide(const OffsetSearch& search, const MatchRequest& request, int height) {
    ViewMatch result;
    const Candidate& still = search.Candidates().front();
    std::vector<Candidate> moved;
    for (const Candidate& c : search.Candidates()) {
        if (c.offset > 0 && c.Found() && Plausible(c, request.band, height)) moved.push_back(c);
    }
    const Candidate* chosen = nullptr;
    if (moved.empty()) {
        // Nothing moved, or it moved past everything the views share.
        if (!still.Found() || !Plausible(still, request.band, height)) return result;
        chosen = &still;
    } else {
        const Candidate* best = &moved.front();
        for (const Candidate& c : moved) {
            if (Better(c, *best)) best = &c;
        }
        // One offset must explain the views better than any other: blank paper or content that
        // repeats (equal lines, a grid) fits several, and then the pixels cannot tell.
        const bool unique = best->evidence > 0 &&
                            std::none_of(moved.begin(), moved.end(),
                                         [&](const Candidate& c) { return &c != best && c.evidence >= best->evidence; }) &&
                            !search.HasRival(*best, moved);
        if (unique) chosen = best;
        if (!chosen && request.expectedOffset) {
            for (const Candidate& c : moved) {
                if (c.offset == *request.expectedOffset && (&c == best || !search.RulesOut(*best, c))) chosen = &c;
            }
        }
        const bool identical = still.top == 0 && still.end == height;
        if (!chosen && identical && (!request.expectedOffset || *request.expectedOffset == 0)) chosen = &still;
        if (!chosen) {
            result.kind = MatchKind::kAmbiguous;
            return result;
        }
    }
    if (!search.Verify(*chosen)) return result;
    result.offset = chosen->offset;
    result.runTop = chosen->top;
    result.runEnd = chosen->end;
    result.evidence = chosen->evidence;
    if (chosen->offset == 0) {
        // The scroll bar moved but the pixels say nothing did: they cannot both be right.
        result.kind = request.expectedOffset && *request.expectedOffset > 0 ? MatchKind::kContradicts : MatchKind::kStill;
        return result;
    }
    result.kind = chosen->end + chosen->offset >= request.takenThrough ? MatchKind::kMoved : MatchKind::kContradicts;
    return result;
}

// Columns at the left and right edges that change in at most a quarter of the rows (a header
// may change across them): side bars to set aside while matching. Only a guide for where to
// look; the match itself is checked in full, and edge columns that follow the content are
// taken as content after all.
std::pair<int, int> StillEdges(const ViewPixels& earlier, const ViewPixels& later) {
    const int width = later.Width(), height = later.Height();
    auto still = [&](int x) {
        int changed = 0;
        for (int y = 0; y < height; ++y) changed += earlier.At(x, y) != later.At(x, y);
        return changed * 4 <= height;
    };
    int left = 0;
    while (left < width && still(left)) ++left;
    int right = 0;
    while (right < width - left && still(width - 1 - right)) ++right;
    if (left + right >= width) return {0, 0};
    return {left, right};
}

// Edge columns that do not follow the content at the match's offset stay put: side bars.
std::vector<bool> FixedColumns(const ViewPixels& earlier, const ViewPixels& later, const ViewMatch& match, int left,
                               int right) {
    const int width = later.Width();
    std::vector<bool> fixed(static_cast<std::size_t>(width), false);
    auto follows = [&](int x) {
        for (int y = match.runTop; y < match.runEnd; ++y) {
            if (later.At(x, y) != earlier.At(x, y + match.offset) && !later.Unsteady(x, y) &&
                !earlier.Unsteady(x, y + match.offset)) {
                return false;
            }
        }
        return true;
    };
    bool any = false;
    for (int x = 0; x < width; ++x) {
        if ((x < left || x >= width - right) && !follows(x)) fixed[x] = any = true;
    }
    if (!any) fixed.clear();
    return fixed;
}

}  // namespace

ViewMatch MatchViews(const ViewPixels& earlier, const ViewPixels& later, const MatchRequest& request) {
    if (earlier.Width() != later.Width() || earlier.Height() != later.Height()) {
        throw std::invalid_argument("views of different sizes cannot be matched");
    }
    const int width = later.Width(), height = later.Height();
    if (later.Empty()) return {};
    ViewMatch whole = Decide(OffsetSearch(earlier, later, 0, width), request, height);
    if (whole.kind != MatchKind::kNoOverlap && whole.kind != MatchKind::kAmbiguous) return whole;

    const auto [left, right] = StillEdges(earlier, later);
    if (left == 0 && right == 0) return whole;
    ViewMatch inner = Decide(OffsetSearch(earlier, later, left, width - right), request, height);
    if (inner.kind != MatchKind::kMoved) return inner.kind == MatchKind::kStill ? inner : whole;
    inner.fixedColumns = FixedColumns(earlier, later, inner, left, right);
    return inner;
}

}  // namespace tovasen
