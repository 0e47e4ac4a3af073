// The trend chart at ten million points: paging through the view control
// and repainting one page.

#include <qcustomplot.h>

#include <QApplication>
#include <memory>

#include "bench/bench_support.h"
#include "chart/TrendChart.h"

namespace corvel::bench {
namespace {

// A shown chart holding `points` logged values (after its placeholder).
struct ChartRig {
    SilentPrompts prompts;
    QWidget window;
    TrendChart* chart;

    explicit ChartRig(long long points) {
        window.resize(760, 580);
        chart = new TrendChart(prompts, &window);
        for (long long i = 0; i < points; ++i) chart->AddValue(static_cast<double>(i % 8000 - 4000));
        window.show();
        QApplication::processEvents();
    }
};

// One paging command at ten million points; First and Last alternate, as
// do Next and Previous, so every call has pages to cross.
void BM_FirstLastPage(benchmark::State& state) {
    ChartRig rig(state.range(0));
    TChartControl& view = rig.chart->ChartView();
    for (auto _ : state) {
        view.FirstPage();
        view.LastPage();
    }
    state.SetItemsProcessed(2 * static_cast<long long>(state.iterations()));
    state.counters["page_count"] = view.PageCount();
}
BENCHMARK(BM_FirstLastPage)->Arg(10'000'000)->Unit(benchmark::kMicrosecond);

void BM_NextPreviousPage(benchmark::State& state) {
    ChartRig rig(state.range(0));
    TChartControl& view = rig.chart->ChartView();
    view.FirstPage();
    view.NextPage();
    for (auto _ : state) {
        view.NextPage();
        view.PreviousPage();
    }
    state.SetItemsProcessed(2 * static_cast<long long>(state.iterations()));
}
BENCHMARK(BM_NextPreviousPage)->Arg(10'000'000)->Unit(benchmark::kMicrosecond);

// The same with the value axis fitted to each page: a page turn gathers the
// new page's extremes.
void BM_NextPreviousPageFitted(benchmark::State& state) {
    ChartRig rig(state.range(0));
    rig.chart->SetFitToReadings(true);
    TChartControl& view = rig.chart->ChartView();
    view.FirstPage();
    view.NextPage();
    for (auto _ : state) {
        view.NextPage();
        view.PreviousPage();
    }
    state.SetItemsProcessed(2 * static_cast<long long>(state.iterations()));
}
BENCHMARK(BM_NextPreviousPageFitted)->Arg(10'000'000)->Unit(benchmark::kMicrosecond);

// A meter streaming a steady reading, one point at a time with the plot
// catching up on every point. The argument picks the Graphic menu's view
// options: 1 "Fit to Readings", 2 "Limit Lines", 3 both, 0 neither; plus 4
// for the line instead of the filled area. Fitted, the area under 12.34
// fills the plot's lower half, where on the full scale it is a sliver: the
// line tells that drawing apart from the options' own work.
void BM_StreamedPoint(benchmark::State& state) {
    ChartRig rig(1'000);
    rig.chart->SetFitToReadings((state.range(0) & 1) != 0);
    rig.chart->SetLimitLines((state.range(0) & 2) != 0);
    rig.chart->SetLimits(12.5, 12.2);
    if ((state.range(0) & 4) != 0) rig.chart->SetBtFillChecked(false);
    QApplication::processEvents();
    long long i = 0;
    for (auto _ : state) rig.chart->AddValue(12.34 + static_cast<double>(i++ % 3) * 0.01);
    state.SetItemsProcessed(static_cast<long long>(state.iterations()));
}
BENCHMARK(BM_StreamedPoint)->DenseRange(0, 7)->Unit(benchmark::kMicrosecond);

// Redrawing the chart on its newest page, offscreen, whatever the points
// behind it.
void BM_RepaintOnePage(benchmark::State& state) {
    ChartRig rig(state.range(0));
    QCustomPlot& plot = rig.chart->Chtshow();
    for (auto _ : state) plot.replot(QCustomPlot::rpImmediateRefresh);
    state.counters["replot_ms"] = plot.replotTime(false);
}
BENCHMARK(BM_RepaintOnePage)->Arg(1'000)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);

// The same into a pixmap, as saving the chart draws it.
void BM_PaintOnePageToPixmap(benchmark::State& state) {
    ChartRig rig(state.range(0));
    QCustomPlot& plot = rig.chart->Chtshow();
    for (auto _ : state) benchmark::DoNotOptimize(plot.toPixmap(353, 356));
}
BENCHMARK(BM_PaintOnePageToPixmap)->Arg(1'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvel::bench

int main(int argc, char** argv) {
    return corvel::bench::RunWithApplication(argc, argv);
}
