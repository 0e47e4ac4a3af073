// The chart view control's paging rules, against a chart double.

#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "chart/ChartControl.h"

namespace corvel::test {
namespace {

// A chart of one shared point list, as the trend chart keeps it.
class FakeChart : public ChartAxisTarget {
public:
    std::vector<double> values;
    bool drawn = true;
    double min = 0, max = 0;
    int rangeSets = 0;

    int PointCount() const override { return static_cast<int>(values.size()); }
    void AppendToEverySeries(double value) override { values.push_back(value); }
    void ClearEverySeries() override { values.clear(); }
    std::optional<std::pair<double, double>> ActiveXRange() const override {
        if (!drawn || values.empty()) return std::nullopt;
        return std::pair(0.0, static_cast<double>(values.size() - 1));
    }
    double BottomMin() const override { return min; }
    double BottomMax() const override { return max; }
    void SetBottomRange(double lo, double hi) override {
        min = lo;
        max = hi;
        ++rangeSets;
    }
};

// Runs a script against a control of page size 100 over a chart that
// holds its placeholder point at X 0:
//   add N | first | prev | next | last | size N | clear | hide | show
void Play(TChartControl& view, FakeChart& chart, const std::string& script) {
    std::istringstream in(script);
    for (std::string verb; in >> verb;) {
        if (verb == "add") {
            int n;
            in >> n;
            for (int i = 0; i < n; ++i) view.AddValue(i);
        } else if (verb == "size") {
            int n;
            in >> n;
            view.SetPageSize(n);
        } else if (verb == "first") {
            view.FirstPage();
        } else if (verb == "prev") {
            view.PreviousPage();
        } else if (verb == "next") {
            view.NextPage();
        } else if (verb == "last") {
            view.LastPage();
        } else if (verb == "clear") {
            view.Clear();
        } else if (verb == "hide") {
            chart.drawn = false;
        } else if (verb == "show") {
            chart.drawn = true;
        } else {
            FAIL() << "unknown verb " << verb;
        }
    }
}

struct PagingCase {
    const char* name;
    const char* script;
    double min, max;  // the record axis afterwards
    int page, pageCount;
    bool browsing;
    int points;
};

class ChartPaging : public ::testing::TestWithParam<PagingCase> {};

TEST_P(ChartPaging, KeepsTheWindowOnThePageTheRulesGive) {
    const PagingCase& c = GetParam();
    FakeChart chart;
    chart.values = {0};  // the placeholder
    TChartControl view(chart, 100);
    Play(view, chart, c.script);
    EXPECT_EQ(chart.min, c.min);
    EXPECT_EQ(chart.max, c.max);
    EXPECT_EQ(view.Page(), c.page);
    EXPECT_EQ(view.PageCount(), c.pageCount);
    EXPECT_EQ(view.Browsing(), c.browsing);
    EXPECT_EQ(chart.PointCount(), c.points);
}

const PagingCase kPaging[] = {
    {"Created", "", 1, 100, 1, 1, false, 1},
    {"NinetyNineReadingsStayOnPageOne", "add 99", 1, 100, 1, 1, false, 100},
    {"TheHundredthOpensPageTwoButDoesNotMove", "add 100", 1, 100, 2, 2, false, 101},
    {"TheHundredAndFirstMovesTheWindow", "add 101", 101, 200, 2, 2, false, 102},
    {"FollowingTracksTheNewestPage", "add 350", 301, 400, 4, 4, false, 351},
    {"FirstPageGoesBackAndBrowses", "add 350 first", 1, 100, 1, 4, true, 351},
    {"BrowsingReadingsDoNotMoveTheWindow", "add 350 first add 100", 1, 100, 1, 5, true, 451},
    {"LastPageReturnsToTheNewestAndFollows", "add 350 first add 10 last", 301, 400, 4, 4, false, 361},
    {"LastPageAfterBrowsingGrowth", "add 350 first add 100 last", 401, 500, 5, 5, false, 451},
    {"FollowingResumesAfterLastPage", "add 350 first last add 100", 401, 500, 5, 5, false, 451},
    {"PreviousPageOnPageOneDoesNothing", "add 50 prev", 1, 100, 1, 1, false, 51},
    {"PreviousPageOnPageOneOfManyDoesNothing", "add 350 first prev", 1, 100, 1, 4, true, 351},
    {"PreviousPageBrowses", "add 350 prev", 201, 300, 3, 4, true, 351},
    {"NextPageOnTheLastPageDoesNothing", "add 350 next", 301, 400, 4, 4, false, 351},
    {"NextPageMidwayKeepsBrowsing", "add 350 first next", 101, 200, 2, 4, true, 351},
    {"NextPageOntoTheLastPageFollows", "add 350 first next next next", 301, 400, 4, 4, false, 351},
    // The placeholder at X 0 lies left of the axis minimum 1, so the window
    // can go back one page before the data begins.
    {"FirstPageBeforeTheWindowEverMoved", "add 100 first", -99, 0, 1, 2, true, 101},
    {"NextPageFromThere", "add 100 first next", 1, 100, 2, 2, false, 101},
    // The same whenever the newest X is a whole number of pages, as when
    // logging stopped at a record limit: the page count, taken from the
    // points with the placeholder, is one more than the pages the window
    // went forward, and the first page lies before record 1.
    {"FirstPageAfterTheRecordLimitStoppedLogging", "add 10000 first", -99, 0, 1, 101, true, 10001},
    {"NextPageAfterThatShowsRecordOne", "add 10000 first next", 1, 100, 2, 101, true, 10001},
    {"SetPageSizeShrinksToTheLastPage", "add 120 size 50", 101, 150, 3, 3, false, 121},
    {"SetPageSizeGrowsToTheLastPage", "add 350 size 200", 201, 400, 2, 2, false, 351},
    {"SetPageSizeAgainDoesNothing", "add 350 first size 100", 1, 100, 1, 4, true, 351},
    {"SetPageSizeEndsBrowsing", "add 350 first size 50", 301, 350, 8, 8, false, 351},
    {"SetPageSizeBelowOneIsIgnored", "add 350 first size 0 size -5", 1, 100, 1, 4, true, 351},
    {"SetPageSizeOfOne", "add 5 size 1", 5, 5, 6, 6, false, 6},
    {"ClearReturnsToPageOneAndEmpties", "add 350 clear", 1, 100, 1, 4, false, 0},
    {"AfterClearTheNextValueRecountsPages", "add 350 clear add 1", 1, 100, 1, 1, false, 1},
    {"ClearWhileBrowsingFollowsAgain", "add 350 prev clear add 150", 101, 200, 2, 2, false, 150},
    {"NothingDrawnNothingMoves", "hide add 350", 1, 100, 4, 4, false, 351},
    {"ShownAgainTheNextValueMovesOnePage", "hide add 350 show add 1", 101, 200, 4, 4, false, 352},
    {"LastPageAfterAWindowThatNeverFollowed", "hide add 350 show first last", 201, 300, 4, 4, false, 351},
    {"NextPageAfterClearCountsAStalePage", "add 350 clear next", 1, 100, 2, 4, true, 0},
};

INSTANTIATE_TEST_SUITE_P(Rules, ChartPaging, ::testing::ValuesIn(kPaging),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ChartControl, PageCountRule) {
    struct {
        int points, size, pages;
    } cases[] = {{0, 100, 0}, {1, 100, 1}, {100, 100, 1}, {101, 100, 2}, {10000001, 100, 100001},
                 {7, 1, 7},   {5, 0, 0},   {5, -3, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(TChartControl::PagesFor(c.points, c.size), c.pages) << c.points << " / " << c.size;
}

TEST(ChartControl, ABadPageSizeAtCreationIsTakenAsOne) {
    FakeChart chart;
    TChartControl view(chart, 0);
    EXPECT_EQ(view.PageSize(), 1);
    EXPECT_EQ(chart.max, 1);
}

TEST(ChartControl, PagingAcrossTenMillionPointsSetsTheAxisOnce) {
    FakeChart chart;
    TChartControl view(chart, 100);
    chart.values.assign(10'000'000, 1.0);
    view.AddValue(1);  // 10,000,001 points
    ASSERT_EQ(view.PageCount(), 100'001);
    ASSERT_EQ(view.Page(), 100'001);

    int sets = chart.rangeSets;
    view.FirstPage();
    EXPECT_EQ(chart.rangeSets, ++sets);
    EXPECT_EQ(std::pair(chart.min, chart.max), std::pair(-99.0, 0.0));
    view.LastPage();
    EXPECT_EQ(chart.rangeSets, ++sets);
    EXPECT_EQ(std::pair(chart.min, chart.max), std::pair(9'999'901.0, 10'000'000.0));
    view.FirstPage();
    EXPECT_EQ(chart.rangeSets, ++sets);
    EXPECT_EQ(std::pair(chart.min, chart.max), std::pair(-99.0, 0.0));
}

// The control moves the window by counting how many single-page moves the
// limit check allows instead of making them one by one. A control that
// makes every move shows what that must come to.
class SteppingControl {
public:
    SteppingControl(FakeChart& chart, int size) : chart_(chart) {
        SetPageSize(size);
        chart_.SetBottomRange(1, size_);
        count_ = page_ = 1;
    }
    void AddValue(double v) {
        chart_.AppendToEverySeries(v);
        Recount();
        if (!browsing_) {
            Step(size_);
            page_ = count_;
        }
    }
    void FirstPage() {
        if (count_ <= 1 || page_ == 1) return;
        for (int i = 0; i < page_ - 1; ++i) Step(-size_);
        page_ = 1;
        browsing_ = true;
    }
    void PreviousPage() {
        if (page_ <= 1) return;
        Step(-size_);
        --page_;
        browsing_ = true;
    }
    void NextPage() {
        if (count_ <= 1 || page_ == count_) return;
        Step(size_);
        ++page_;
        browsing_ = page_ != count_;
    }
    void LastPage() {
        if (count_ <= 1 || page_ == count_) return;
        for (int i = 0; i < count_ - page_; ++i) Step(size_);
        page_ = count_;
        browsing_ = false;
    }
    void SetPageSize(int n) {
        if (n == size_ || n < 1) return;
        size_ = n;
        chart_.SetBottomRange(1, n);
        Recount();
        for (int i = 0; i < count_ - 1; ++i) Step(n);
        page_ = count_;
        browsing_ = false;
    }
    void Clear() {
        FirstPage();
        chart_.ClearEverySeries();
        browsing_ = false;
    }
    int page_ = 0, size_ = 0, count_ = 0;
    bool browsing_ = false;

private:
    void Recount() {
        const int n = chart_.PointCount();
        count_ = n / size_ + (n % size_ > 0 ? 1 : 0);
    }
    void Step(double d) {
        const auto x = chart_.ActiveXRange();
        if (x && ((d > 0 && x->second > chart_.max) || (d < 0 && x->first < chart_.min)))
            chart_.SetBottomRange(chart_.min + d, chart_.max + d);
    }
    FakeChart& chart_;
};

TEST(ChartControl, CountedMovesEqualSingleMovesOverRandomUse) {
    std::mt19937 random(20240607);
    for (int run = 0; run < 200; ++run) {
        const int size = 1 + static_cast<int>(random() % 12);
        FakeChart a, b;
        a.values = b.values = {0};
        TChartControl view(a, size);
        SteppingControl model(b, size);
        std::ostringstream trail;
        for (int op = 0; op < 60; ++op) {
            const unsigned pick = random() % 10;
            trail << pick << ' ';
            switch (pick) {
                case 0:
                case 1:
                case 2: {
                    const int n = static_cast<int>(random() % 30);
                    for (int i = 0; i < n; ++i) view.AddValue(i), model.AddValue(i);
                    break;
                }
                case 3: view.FirstPage(), model.FirstPage(); break;
                case 4: view.PreviousPage(), model.PreviousPage(); break;
                case 5: view.NextPage(), model.NextPage(); break;
                case 6: view.LastPage(), model.LastPage(); break;
                case 7: {
                    const int n = static_cast<int>(random() % 15) - 1;
                    view.SetPageSize(n), model.SetPageSize(n);
                    break;
                }
                case 8: view.Clear(), model.Clear(); break;
                case 9: a.drawn = b.drawn = !a.drawn; break;
            }
            ASSERT_EQ(a.min, b.min) << trail.str();
            ASSERT_EQ(a.max, b.max) << trail.str();
            ASSERT_EQ(view.Page(), model.page_) << trail.str();
            ASSERT_EQ(view.PageCount(), model.count_) << trail.str();
            ASSERT_EQ(view.Browsing(), model.browsing_) << trail.str();
        }
    }
}

}  // namespace
}  // namespace corvel::test
