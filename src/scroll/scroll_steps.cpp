#include "scroll/scroll_steps.h"

#include <algorithm>
#include <cstdint>

namespace tovasen {

void ScrollUnitScale::Observe(int units, int pixels) {
    if (broken_ || units <= 0 || pixels <= 0) return;
    if (agreeing_ == 0) {
        units_ = units;
        pixels_ = pixels;
        agreeing_ = 1;
        return;
    }
    if (std::int64_t{pixels} * units_ == std::int64_t{pixels_} * units) ++agreeing_;
    else broken_ = true;
}

std::optional<int> ScrollUnitScale::Predict(int units) const {
    if (broken_ || agreeing_ < 2) return std::nullopt;
    const std::int64_t scaled = std::int64_t{units} * pixels_;
    if (scaled % units_ != 0) return std::nullopt;
    return static_cast<int>(scaled / units_);
}

void StepPlanner::Moved(int units, int pixels, int bandHeight) {
    if (units <= 0 || pixels <= 0 || bandHeight <= 0) return;
    const double perUnit = static_cast<double>(pixels) / units;
    const int wanted = static_cast<int>(bandHeight / 2 / perUnit);
    units_ = std::clamp(wanted, 1, cap_);
}

bool StepPlanner::Overshot() {
    if (units_ <= 1) return false;
    cap_ = std::max(1, units_ - 1);
    units_ = std::max(1, units_ / 2);
    return true;
}

}  // namespace tovasen
