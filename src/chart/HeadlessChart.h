#pragma once

#include <memory>

#include "chart/ChartAxisTarget.h"
#include "chart/ChartControl.h"
#include "chart/PointBlocks.h"
#include "record/ReadingLogChart.h"

namespace corvel {

// The trend chart's data and paging without drawing: the same view control
// over one shared point store, for the tools that run the log headless.
// A point costs what it costs in the window's chart (a key and a value).
class HeadlessChart final : public ReadingLogChart, private ChartAxisTarget {
public:
    static constexpr int kPageSize = 100;

    HeadlessChart();

    // What the log drives.
    void AddValue(double value) override { view_->AddValue(value); }
    int Page() const override { return view_->Page(); }
    void SetPageCaption(int page) override { caption_ = page; }
    void ClearView() override { view_->Clear(); }
    void BtNewClick() override;
    void AddRestoredValues(const std::vector<double>& values) override {
        view_->AddValues(values.data(), values.size());
    }

    // The series the decoders choose (0 area, 1 line); both hold the points.
    void ShowSeries(int index) { activeSeries_ = (index == 0 || index == 1) ? index : -1; }
    bool BtFillChecked() const { return true; }

    TChartControl& ChartView() { return *view_; }
    int PageCaption() const { return caption_; }
    struct Point {
        double key;
        double value;
    };
    const PointBlocks<Point>& Points() const { return points_; }

private:
    int PointCount() const override { return static_cast<int>(points_.size()); }
    void AppendToEverySeries(double value) override {
        points_.push_back({static_cast<double>(points_.size()), value});
    }
    void ClearEverySeries() override;
    std::optional<std::pair<double, double>> ActiveXRange() const override;
    double BottomMin() const override { return bottomMin_; }
    double BottomMax() const override { return bottomMax_; }
    void SetBottomRange(double min, double max) override {
        bottomMin_ = min;
        bottomMax_ = max;
    }

    PointBlocks<Point> points_;
    double bottomMin_ = 0;
    double bottomMax_ = 5;
    int activeSeries_ = 0;
    int caption_ = 1;
    std::unique_ptr<TChartControl> view_;
};

}  // namespace corvel
