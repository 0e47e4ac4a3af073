#include "chart/HeadlessChart.h"

namespace corvel {

HeadlessChart::HeadlessChart()
    : view_(std::make_unique<TChartControl>(static_cast<ChartAxisTarget&>(*this), kPageSize)) {
    BtNewClick();
}

void HeadlessChart::BtNewClick() {
    // One placeholder point at X 0, as a new chart has.
    ClearEverySeries();
    points_.push_back({0.0, 0.0});
    ShowSeries(0);
}

void HeadlessChart::ClearEverySeries() {
    points_.clear();
}

std::optional<std::pair<double, double>> HeadlessChart::ActiveXRange() const {
    if (activeSeries_ < 0 || points_.empty()) return std::nullopt;
    return std::pair(points_.front().key, points_.back().key);
}

}  // namespace corvel
