// The reading log at the size "limitless" allows: how fast readings are
// logged, what a row costs in memory with its chart point, and how the grid
// keeps up while following ten million rows.

#include <QApplication>
#include <memory>

#include "bench/bench_support.h"
#include "chart/HeadlessChart.h"
#include "chart/TrendChart.h"
#include "record/LogTableGrid.h"
#include "record/ReadingLog.h"

namespace corvel::bench {
namespace {

// The chart the log feeds: none, the window's (drawn through the streaming
// throttle, three times a second as the window sets it), or the headless
// one the command-line tools use.
enum class ChartKind { None = 0, Window = 1, Headless = 2 };
constexpr int kWindowStreamingMs = 300;

// The log as the window owns it, optionally with the real chart and grid.
struct Rig {
    Reading reading;
    LcdMirror mirror;
    SilentPrompts prompts;
    SystemClock clock;
    NoChart noChart;
    HeadlessChart headless;
    std::unique_ptr<QWidget> window;
    TrendChart* chart = nullptr;
    std::unique_ptr<ReadingLog> log;
    std::unique_ptr<LogTableModel> model;
    LogGrid* grid = nullptr;

    Rig(bool withChart, bool withGrid) : Rig(withChart ? ChartKind::Window : ChartKind::None, withGrid) {}
    Rig(ChartKind kind, bool withGrid) {
        const bool withChart = kind == ChartKind::Window;
        window = std::make_unique<QWidget>();
        window->resize(760, 580);
        if (withChart) {
            chart = new TrendChart(prompts, window.get());
            chart->SetStreamingReplotDelay(kWindowStreamingMs);
        }
        ReadingLogChart& fed = kind == ChartKind::Window     ? static_cast<ReadingLogChart&>(*chart)
                               : kind == ChartKind::Headless ? static_cast<ReadingLogChart&>(headless)
                                                             : noChart;
        log = std::make_unique<ReadingLog>(reading, mirror, fed, prompts, clock);
        log->limitessClick();
        if (withGrid) {
            model = std::make_unique<LogTableModel>(*log);
            grid = new LogGrid(*model, window.get());
            grid->setGeometry(8, 200, 385, 356);
        }
        if (withChart || withGrid) {
            window->show();
            QApplication::processEvents();
        }
    }
    ~Rig() {
        // The grid goes before the model it shows.
        delete grid;
        model.reset();
    }

    void Read(long long i) {
        const auto& texts = ValueTexts();
        const std::string& value = texts[static_cast<std::size_t>(i % static_cast<long long>(texts.size()))];
        reading.ValueText = value;
        reading.UnitText = i % 3 ? "m|s" : "km|h";
        reading.Value2Text = "25.1";
        reading.Unit2Text = "C";
        reading.MeasuredValue = static_cast<double>(i % 8000 - 4000) / 100.0;
        log->INDataToTable();
    }
};

// Readings logged a second: the log alone (chart 0), with the window's
// chart drawn as the window draws a stream (1), and with the headless
// chart of the tools (2).
void BM_INDataToTable(benchmark::State& state) {
    Rig rig(static_cast<ChartKind>(state.range(0)), false);
    long long i = 0;
    for (auto _ : state) rig.Read(i++);
    state.SetItemsProcessed(static_cast<long long>(state.iterations()));
    state.counters["rows"] = rig.log->RowCount();
    if (rig.log->RowCount() != state.iterations()) state.SkipWithError("a reading was not logged");
}
BENCHMARK(BM_INDataToTable)
    ->ArgName("chart")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(2'000'000)
    ->Unit(benchmark::kNanosecond);

// Resident memory per row: the log and the chart's points together, and
// with the grid following as well (the events run every 10,000 rows, as a
// busy window would).
void BM_MemoryPerRow(benchmark::State& state) {
    const long long rows = state.range(0);
    const bool withGrid = state.range(1) != 0;
    double perRow = 0;
    for (auto _ : state) {
        Rig rig(true, withGrid);
        const long long before = ResidentBytes();
        for (long long i = 0; i < rows; ++i) {
            rig.Read(i);
            if (withGrid && i % 10000 == 0) QApplication::processEvents();
        }
        QApplication::processEvents();
        const long long after = ResidentBytes();
        perRow = static_cast<double>(after - before) / static_cast<double>(rows);
        if (rig.log->RowCount() != rows) state.SkipWithError("rows were dropped");
    }
    state.counters["bytes_per_row"] = perRow;
}
BENCHMARK(BM_MemoryPerRow)
    ->ArgNames({"rows", "grid"})
    ->Args({1'000'000, 0})
    ->Args({10'000'000, 0})
    ->Args({1'000'000, 1})
    ->Args({10'000'000, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// One update of the following grid at ten million rows: a reading is
// logged, the grid moves to it and repaints.
void BM_GridFollowAppend(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    Rig rig(false, true);
    {
        ReadingLog::AppendBatch batch(*rig.log);
        for (int i = 0; i < rows; ++i) rig.log->AppendRow(i + 1, "10:00:00", "1.23", "m|s", "", "");
    }
    QApplication::processEvents();
    long long i = 0;
    for (auto _ : state) {
        rig.Read(i++);
        rig.grid->FollowNow();
        rig.grid->viewport()->repaint();
        rig.grid->verticalHeader()->viewport()->repaint();
    }
    if (rig.grid->currentIndex().row() != rig.log->RowCount() - 1)
        state.SkipWithError("the grid fell behind");
}
BENCHMARK(BM_GridFollowAppend)->Arg(1'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvel::bench

int main(int argc, char** argv) {
    return corvel::bench::RunWithApplication(argc, argv);
}
