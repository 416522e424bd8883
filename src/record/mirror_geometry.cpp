#include "record/mirror_geometry.h"

#include <algorithm>

#include "record/ffmpeg_command.h"

namespace tovasen {

TPointI MirrorPosition(const std::vector<TRectI>& monitors) {
    if (monitors.empty()) return {};
    TPointI at{monitors.front().right, monitors.front().top};
    for (const TRectI& m : monitors) {
        at.x = std::max(at.x, m.right);
        at.y = std::min(at.y, m.top);
    }
    return at;
}

int MirrorSide(int regionSide, int virtualSide) {
    const int limit = std::max(2, virtualSide - virtualSide % 2);
    return std::min(EvenMirrorSize(regionSide), limit);
}

TMirrorCopy MirrorCopy(const TRectI& region, int mirrorWidth, int mirrorHeight, const TRectI& virtualScreen) {
    TRectI fits{region.left, region.top, region.left + std::min(region.Width(), mirrorWidth),
                region.top + std::min(region.Height(), mirrorHeight)};
    TMirrorCopy copy;
    copy.source = {std::max(fits.left, virtualScreen.left), std::max(fits.top, virtualScreen.top),
                   std::min(fits.right, virtualScreen.right), std::min(fits.bottom, virtualScreen.bottom)};
    if (copy.source.Empty()) {
        copy.source = {};
        return copy;
    }
    copy.destX = copy.source.left - region.left;
    copy.destY = copy.source.top - region.top;
    return copy;
}

}  // namespace tovasen
