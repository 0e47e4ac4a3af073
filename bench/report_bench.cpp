// The printed report at log sizes a long "limitless" run reaches: the whole
// report of 10,000 rows to PDF, the preview's first page of a million-row
// log, and the preview's memory against the page count.
//
// CORVEL_REPORT_PDF=FILE keeps the 10,000-row PDF there, and
// CORVEL_PREVIEW_PNG=FILE a picture of the million-row preview, to look at.

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <map>
#include <memory>

#include "bench/bench_support.h"
#include "chart/DataReport.h"
#include "chart/ReportPreview.h"

namespace corvel::bench {
namespace {

// Logs of a given size, filled once and shared by the benchmarks.
const ReadingLogStore& Log(int rows) {
    static std::map<int, std::unique_ptr<ReadingLogStore>> logs;
    auto& log = logs[rows];
    if (!log) {
        log = std::make_unique<ReadingLogStore>();
        const auto& values = ValueTexts();
        static const char* kUnits2[] = {"#", "$", "%RH"};
        for (int i = 0; i < rows; ++i)
            log->Append(i + 1, i % 86400, values[static_cast<std::size_t>(i) % values.size()], "m|s",
                        values[static_cast<std::size_t>(i * 7) % values.size()], kUnits2[i % 3]);
    }
    return *log;
}

const QDate kDate(2026, 12, 9);

void BM_ReportPdf(benchmark::State& state) {
    const ReadingLogStore& rows = Log(static_cast<int>(state.range(0)));
    QTemporaryDir dir;
    const QByteArray keep = qgetenv("CORVEL_REPORT_PDF");
    const QString file =
        keep.isEmpty() ? dir.filePath(QStringLiteral("report.pdf")) : QString::fromLocal8Bit(keep);
    for (auto _ : state) {
        QString error;
        if (!WriteReportPdf(rows, file, kDate, &error)) state.SkipWithError(qPrintable(error));
    }
    state.counters["pages"] = DataReport::PageCount(rows.RowCount());
    state.counters["pdf_MB"] = static_cast<double>(QFileInfo(file).size()) / 1e6;
    state.SetItemsProcessed(static_cast<long long>(state.iterations()) * rows.RowCount());
}
BENCHMARK(BM_ReportPdf)->Arg(10'000)->Unit(benchmark::kMillisecond)->Iterations(3);

// The print button's path up to the first page on screen: the window is
// built, shown, and its page painted.
void BM_PreviewFirstPage(benchmark::State& state) {
    const ReadingLogStore& rows = Log(static_cast<int>(state.range(0)));
    int pages = 0;
    for (auto _ : state) {
        ReportPreview preview(rows, kDate);
        preview.show();
        const QImage first = preview.View().grab().toImage();
        benchmark::DoNotOptimize(first.constBits());
        pages = preview.PageCount();
        state.PauseTiming();
        if (const QByteArray png = qgetenv("CORVEL_PREVIEW_PNG"); !png.isEmpty()) {
            QApplication::processEvents();  // the layout's pending requests
            preview.grab().save(QString::fromLocal8Bit(png));
        }
        state.ResumeTiming();
    }
    state.counters["pages"] = pages;
}
BENCHMARK(BM_PreviewFirstPage)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(5);

// Resident memory the open preview adds, after paging from the first page
// to the last and back: it must not follow the page count.
void BM_PreviewMemory(benchmark::State& state) {
    const ReadingLogStore& rows = Log(static_cast<int>(state.range(0)));
    {
        // Fonts and the platform's first-use caches, outside the figure.
        ReportPreview warm(Log(1000), kDate);
        warm.show();
        warm.View().grab();
    }
    long long growth = 0;
    int pages = 0;
    for (auto _ : state) {
        const long long before = ResidentBytes();
        ReportPreview preview(rows, kDate);
        preview.show();
        preview.View().grab();
        preview.LastPage();
        preview.View().grab();
        preview.FirstPage();
        preview.View().grab();
        growth = ResidentBytes() - before;
        pages = preview.PageCount();
    }
    state.counters["pages"] = pages;
    state.counters["rss_growth_kB"] = static_cast<double>(growth) / 1024.0;
}
BENCHMARK(BM_PreviewMemory)
    ->Arg(1'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Arg(10'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
}  // namespace corvel::bench

int main(int argc, char** argv) {
    return corvel::bench::RunWithApplication(argc, argv);
}
