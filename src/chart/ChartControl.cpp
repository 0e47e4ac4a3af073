#include "chart/ChartControl.h"

#include <algorithm>
#include <cmath>

namespace corvel {

TChartControl::TChartControl(ChartAxisTarget& chart, int pageSize) : chart_(chart) {
    SetPageSize(std::max(1, pageSize));
    chart_.SetBottomRange(1, pageSize_);
    pageCount_ = 1;
    page_ = 1;
}

int TChartControl::PagesFor(int points, int pageSize) {
    if (pageSize < 1 || points <= 0) return 0;
    return points / pageSize + (points % pageSize > 0 ? 1 : 0);
}

void TChartControl::RecountPages() {
    pageCount_ = PagesFor(chart_.PointCount(), pageSize_);
}

long long TChartControl::Scroll(double d, long long times) {
    if (times <= 0 || !(d != 0)) return 0;
    const auto extent = chart_.ActiveXRange();
    if (!extent) return 0;
    const double min = chart_.BottomMin();
    const double max = chart_.BottomMax();
    // Move j (counted from 0) happens when the data still reaches past the
    // axis end after j moves.
    const auto moves = [&](long long j) {
        return d > 0 ? extent->second > max + static_cast<double>(j) * d
                     : extent->first < min + static_cast<double>(j) * d;
    };
    const double gap = d > 0 ? extent->second - max : min - extent->first;
    if (!(gap > 0)) return 0;
    const double estimate = std::ceil(gap / std::fabs(d));
    long long steps = estimate >= static_cast<double>(times) ? times : static_cast<long long>(estimate);
    // Rounding in the estimate is settled against the rule itself.
    while (steps > 0 && !moves(steps - 1)) --steps;
    while (steps < times && moves(steps)) ++steps;
    if (steps > 0) {
        const double shift = static_cast<double>(steps) * d;
        chart_.SetBottomRange(min + shift, max + shift);
    }
    return steps;
}

void TChartControl::AddValue(double value) {
    chart_.AppendToEverySeries(value);
    RecountPages();
    if (!browsing_) {
        Scroll(pageSize_, 1);
        page_ = pageCount_;
    }
}

// Each AddValue moves the window by at most one page, and only while the
// newest point lies past its end; points come one key apart and a page is
// at least one key wide, so the moves of many AddValue calls are the moves
// one scroll makes until the newest point is in the window.
void TChartControl::AddValues(const double* values, std::size_t count) {
    if (count == 0) return;
    chart_.AppendManyToEverySeries(values, count);
    RecountPages();
    if (!browsing_) {
        Scroll(pageSize_, static_cast<long long>(count));
        page_ = pageCount_;
    }
}

void TChartControl::FirstPage() {
    if (pageCount_ <= 1 || page_ == 1) return;
    Scroll(-pageSize_, static_cast<long long>(page_) - 1);
    page_ = 1;
    browsing_ = true;
}

void TChartControl::PreviousPage() {
    if (page_ <= 1) return;
    Scroll(-pageSize_, 1);
    --page_;
    browsing_ = true;
}

void TChartControl::NextPage() {
    if (pageCount_ <= 1 || page_ == pageCount_) return;
    Scroll(pageSize_, 1);
    ++page_;
    browsing_ = page_ != pageCount_;
}

void TChartControl::LastPage() {
    if (pageCount_ <= 1 || page_ == pageCount_) return;
    Scroll(pageSize_, static_cast<long long>(pageCount_) - page_);
    page_ = pageCount_;
    browsing_ = false;
}

void TChartControl::SetPageSize(int n) {
    if (n == pageSize_ || n < 1) return;
    pageSize_ = n;
    chart_.SetBottomRange(1, n);
    RecountPages();
    Scroll(n, static_cast<long long>(pageCount_) - 1);
    page_ = pageCount_;
    browsing_ = false;
}

void TChartControl::Clear() {
    FirstPage();
    chart_.ClearEverySeries();
    browsing_ = false;
}

}  // namespace corvel
