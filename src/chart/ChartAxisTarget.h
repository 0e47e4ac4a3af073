#pragma once

#include <cstddef>
#include <optional>
#include <utility>

namespace corvel {

// The few things the chart view control needs of a chart: its points, the
// X extent of the series being drawn, and the record axis. The trend chart
// implements it over its plot; tests use a plain double.
class ChartAxisTarget {
public:
    virtual ~ChartAxisTarget() = default;
    // Points of the first series (every series holds the same points).
    virtual int PointCount() const = 0;
    // Appends the value to every series, at X = the series' point count.
    virtual void AppendToEverySeries(double value) = 0;
    // Many values at once, drawn once (a restored log).
    virtual void AppendManyToEverySeries(const double* values, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) AppendToEverySeries(values[i]);
    }
    virtual void ClearEverySeries() = 0;
    // Smallest and largest X of the series being drawn; nothing when no
    // series is drawn or it has no points.
    virtual std::optional<std::pair<double, double>> ActiveXRange() const = 0;
    virtual double BottomMin() const = 0;
    virtual double BottomMax() const = 0;
    // Sets the record axis to a fixed range and repaints.
    virtual void SetBottomRange(double min, double max) = 0;
};

}  // namespace corvel
