#pragma once

#include <optional>

namespace corvel {

// A value axis that fits readings: from a little below the smallest to a
// little above the largest, both ends on a round tick.
struct FittedAxis {
    double lower = 0;
    double upper = 0;
    double tickStep = 0;  // 1, 2, 2.5 or 5 times a power of ten
    bool operator==(const FittedAxis&) const = default;
};

// The axis for readings from `smallest` to `largest`; nothing when they are
// not finite or too far apart to draw.
std::optional<FittedAxis> FitValueAxis(double smallest, double largest);

// The smallest and largest reading of the page shown, kept as readings come
// in so that a streamed point costs a comparison, not a pass over the page.
class PageExtremes {
public:
    void Clear() {
        any_ = false;
        min_ = max_ = 0;
    }
    // Readings that are not finite numbers have no place on the axis.
    void Add(double value);
    bool Empty() const { return !any_; }
    double Min() const { return min_; }
    double Max() const { return max_; }

private:
    bool any_ = false;
    double min_ = 0;
    double max_ = 0;
};

}  // namespace corvel
