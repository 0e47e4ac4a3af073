#include "chart/ValueAxisFit.h"

#include <cmath>

namespace corvel {

namespace {
// About this many tick intervals over the readings: enough to read a value
// off, few enough for the labels to fit the chart's height.
constexpr double kIntervals = 5;
// Room left above and below the readings, as a share of their spread.
constexpr double kMargin = 0.05;

// The smallest round step (1, 2, 2.5 or 5 times a power of ten) that is at
// least `raw`.
double RoundStepAtLeast(double raw) {
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 2.5, 5.0}) {
        if (m * power >= raw * (1 - 1e-9)) return m * power;
    }
    return 10 * power;
}
}  // namespace

std::optional<FittedAxis> FitValueAxis(double smallest, double largest) {
    if (!std::isfinite(smallest) || !std::isfinite(largest) || smallest > largest) return std::nullopt;
    double low = smallest;
    double high = largest;
    const double spread = high - low;
    if (!std::isfinite(spread)) return std::nullopt;
    if (spread > 0) {
        low -= spread * kMargin;
        high += spread * kMargin;
    } else {
        // One value, or all the same: a band around it, so that its line
        // runs across the middle instead of along an edge.
        const double pad = smallest != 0 ? std::fabs(smallest) * kMargin : 0.5;
        low -= pad;
        high += pad;
    }
    if (!std::isfinite(low) || !std::isfinite(high) || !(high > low)) return std::nullopt;
    const double step = RoundStepAtLeast((high - low) / kIntervals);
    if (!std::isfinite(step) || !(step > 0)) return std::nullopt;
    // Ends on whole steps; a value a hair past a step (from the margin's
    // arithmetic) does not cost a whole step more.
    const double first = std::floor(low / step + 1e-9);
    const double last = std::ceil(high / step - 1e-9);
    FittedAxis axis{first * step, last * step, step};
    if (!std::isfinite(axis.lower) || !std::isfinite(axis.upper) || !(axis.upper > axis.lower))
        return std::nullopt;
    // Readings at the axis' ends would be drawn on its edge.
    if (axis.lower > smallest) axis.lower -= step;
    if (axis.upper < largest) axis.upper += step;
    return axis;
}

void PageExtremes::Add(double value) {
    if (!std::isfinite(value)) return;
    if (!any_) {
        any_ = true;
        min_ = max_ = value;
        return;
    }
    if (value < min_) min_ = value;
    if (value > max_) max_ = value;
}

}  // namespace corvel
