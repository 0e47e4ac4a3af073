// What the reading log's crash journal costs: logging with and without it,
// and bringing back a journal of ten million rows with the real chart and
// grid, drawn once at the end.

#include <qcustomplot.h>

#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <fstream>
#include <memory>

#include "bench/bench_support.h"
#include "chart/TrendChart.h"
#include "record/JournalFormat.h"
#include "record/LogJournal.h"
#include "record/LogTableGrid.h"
#include "record/ReadingLog.h"

namespace corvel::bench {
namespace {

const char* UnitOf(long long i) {
    return i % 3 ? "m|s" : "km|h";
}

// Readings logged a second at the headless rate, without and with the
// journal. The event loop runs every 4096 readings in both, as a busy
// program's would, so the journal's timers write and sync as they do there.
void BM_LogWithJournal(benchmark::State& state) {
    QTemporaryDir dir;
    Reading reading;
    LcdMirror mirror;
    SilentPrompts prompts;
    SystemClock clock;
    NoChart chart;
    ReadingLog log(reading, mirror, chart, prompts, clock);
    log.limitessClick();
    std::unique_ptr<LogJournal> journal;
    if (state.range(0)) {
        journal = std::make_unique<LogJournal>(log, prompts, dir.path().toStdString());
        journal->Start();
    }
    const auto& texts = ValueTexts();
    long long i = 0;
    for (auto _ : state) {
        reading.ValueText = texts[static_cast<std::size_t>(i % static_cast<long long>(texts.size()))];
        reading.UnitText = UnitOf(i);
        reading.Value2Text = "25.1";
        reading.Unit2Text = "C";
        reading.MeasuredValue = static_cast<double>(i % 8000 - 4000) / 100.0;
        log.INDataToTable();
        if ((++i & 4095) == 0) QCoreApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations());
    if (journal) {
        journal->WriteNow();
        state.counters["journal_bytes_per_row"] =
            static_cast<double>(QFileInfo(QString::fromStdString(journal->Path())).size()) /
            static_cast<double>(log.RowCount());
        journal->Finish();
    }
}
BENCHMARK(BM_LogWithJournal)
    ->ArgName("journal")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(2'000'000)
    ->Unit(benchmark::kNanosecond);

// A journal of `rows` logged rows, as a long "limitless" run leaves it.
void WriteJournal(const std::string& path, long long rows) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << journal::Header();
    journal::Encoder encoder;
    const auto& texts = ValueTexts();
    std::string payload, framed;
    for (long long i = 0; i < rows; ++i) {
        journal::Row row;
        row.no = static_cast<int>(i + 1);
        row.secondOfDay = static_cast<int>((36000 + i / 4) % 86400);
        row.value = texts[static_cast<std::size_t>(i % static_cast<long long>(texts.size()))];
        row.unit = UnitOf(i);
        row.value2 = "25.1";
        row.unit2 = "C";
        encoder.Logged(row, static_cast<double>(i % 8000 - 4000) / 100.0, payload);
        if (payload.size() > journal::kMaxBatchPayload - 512 || i + 1 == rows) {
            framed.clear();
            journal::AppendBatch(payload, framed);
            out.write(framed.data(), static_cast<std::streamsize>(framed.size()));
            payload.clear();
        }
    }
}

// Start-up with a dead run's journal: read, restored into the log, the grid
// and the real chart, and drawn once.
void BM_RestoreJournal(benchmark::State& state) {
    const long long rows = state.range(0);
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    WriteJournal(folder + "/run-1-1.journal", rows);
    const auto bytes = QFileInfo(dir.filePath(QStringLiteral("run-1-1.journal"))).size();
    for (auto _ : state) {
        state.PauseTiming();
        // The scene is taken down with the clock stopped: freeing ten
        // million rows is not part of bringing them back.
        {
            SilentPrompts prompts;
            Reading reading;
            LcdMirror mirror;
            SystemClock clock;
            auto window = std::make_unique<QWidget>();
            window->resize(760, 580);
            auto* chart = new TrendChart(prompts, window.get());
            ReadingLog log(reading, mirror, *chart, prompts, clock);
            LogTableModel model(log);
            auto* grid = new LogGrid(model, window.get());
            grid->setGeometry(3, 336, 398, 220);
            window->show();
            QApplication::processEvents();
            LogJournal journal(log, prompts, folder);
            int progressCalls = 0;
            state.ResumeTiming();

            journal.Start(prompts, [&](int) { ++progressCalls; });
            chart->Chtshow().replot();
            QApplication::processEvents();
            grid->viewport()->repaint();

            state.PauseTiming();
            if (log.RowCount() != rows || chart->Series2().data()->size() != rows + 1)
                state.SkipWithError("rows or points missing");
            state.counters["progress_updates"] = progressCalls;
            delete grid;
        }
        state.ResumeTiming();
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["journal_MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_RestoreJournal)->Arg(1'000'000)->Arg(10'000'000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvel::bench

int main(int argc, char** argv) {
    return corvel::bench::RunWithApplication(argc, argv);
}
