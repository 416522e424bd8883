#pragma once
#include <optional>

namespace tovasen {

// What one unit of a window's scroll bar is worth in pixels, learnt from steps whose offset the
// pixels proved. It predicts only once two steps agreed exactly and none disagreed, so a
// scroll bar that counts something else (percent, pages of varying height) never predicts.
class ScrollUnitScale {
public:
    void Observe(int units, int pixels);
    std::optional<int> Predict(int units) const;

private:
    int units_ = 0;
    int pixels_ = 0;
    int agreeing_ = 0;
    bool broken_ = false;
};

// How many units (wheel notches, lines) the next step asks for: about half of the band, so
// that every step overlaps the last one widely. A step that found no overlap halves it and
// caps later growth below what failed.
class StepPlanner {
public:
    int Units() const noexcept { return units_; }
    void Moved(int units, int pixels, int bandHeight);
    // Halves the step; false when it cannot get any smaller.
    bool Overshot();

private:
    static constexpr int kMaxUnits = 64;
    int units_ = 1;
    int cap_ = kMaxUnits;
};

}  // namespace tovasen
