#pragma once
// Where the mirror window of a region recording goes, how large it is, and which part of the
// region is copied into it.
#include <vector>

#include "select/area_geometry.h"

namespace tovasen {

// A place for a window of any size that no monitor shows: right of the rightmost monitor, at
// the height of the highest. The monitors may lie anywhere (a laptop below an external screen,
// a screen left of the primary one).
struct TPointI {
    int x = 0, y = 0;
};
TPointI MirrorPosition(const std::vector<TRectI>& monitors);

// One side of the mirror: the region's, rounded to an even number, at most the virtual
// screen's (rounded down to an even number). A region larger than every monitor together has
// nothing more to show, and its mirror would cost a window surface of that size.
int MirrorSide(int regionSide, int virtualSide);

// What one frame copies: the part of the region that fits the mirror and lies on the virtual
// screen (the screen copy fails as a whole otherwise), and where it lands in the mirror.
struct TMirrorCopy {
    TRectI source;       // screen pixels; empty when nothing of the region is on screen
    int destX = 0, destY = 0;
};
TMirrorCopy MirrorCopy(const TRectI& region, int mirrorWidth, int mirrorHeight, const TRectI& virtualScreen);

}  // namespace tovasen
