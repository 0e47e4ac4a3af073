#pragma once

#include <cstddef>

#include "chart/ChartAxisTarget.h"

namespace corvel {

// The chart view control: splits the record axis into pages of a fixed
// number of points and keeps the visible window on one page. While the
// user is not looking back, each new value moves the window forward once it
// falls past the right end; after the user pages back the window stays put
// until the user returns to the last page.
class TChartControl {
public:
    // Create(chart, pageSize). A page size below 1 is taken as 1.
    TChartControl(ChartAxisTarget& chart, int pageSize);
    virtual ~TChartControl() = default;
    TChartControl(const TChartControl&) = delete;
    TChartControl& operator=(const TChartControl&) = delete;

    void AddValue(double value);
    // As AddValue for each value in turn, with one move of the window.
    void AddValues(const double* values, std::size_t count);
    void FirstPage();
    void PreviousPage();
    void NextPage();
    void LastPage();
    // A size below 1 would leave no page to count: it is ignored.
    void SetPageSize(int n);
    void Clear();

    int Page() const { return page_; }
    int PageSize() const { return pageSize_; }
    int PageCount() const { return pageCount_; }
    bool Browsing() const { return browsing_; }
    ChartAxisTarget& Chart() const { return chart_; }

    // Pages that this many points fill: 0 points, 0 pages.
    static int PagesFor(int points, int pageSize);

private:
    // Moves the record axis by d, `times` times over, each move only if the
    // drawn series has points beyond the axis end it moves toward. Once a
    // move is refused every later one is too, so the moves that happen are
    // counted rather than made one by one. Returns how many moved.
    long long Scroll(double d, long long times);
    void RecountPages();

    ChartAxisTarget& chart_;
    int page_ = 0;
    int pageSize_ = 0;
    int pageCount_ = 0;
    bool browsing_ = false;
};

}  // namespace corvel
