// Data files at the size "limitless" allows: how fast the log is saved and
// read in each format, and how much memory a save takes beyond the log;
// and the workbook and CSV written for other programs.

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <memory>

#include "bench/bench_support.h"
#include "record/LogFileJobs.h"
#include "record/ReadingLogStore.h"

namespace corvel::bench {
namespace {

// A log as a meter fills it: changing values, a few units, empty second
// rows now and then.
const ReadingLogStore& Log(int rows) {
    static std::unique_ptr<ReadingLogStore> log;
    if (!log || log->RowCount() != rows) {
        log = std::make_unique<ReadingLogStore>();
        const auto& values = ValueTexts();
        static const char* units[] = {"m|s", "ft|m", "km|h", "MPH"};
        for (int i = 0; i < rows; ++i)
            log->Append(i + 1, (36000 + i) % 86400, values[static_cast<std::size_t>(i) % values.size()],
                        units[i % 4], i % 3 ? "25.1" : "", i % 3 ? "C" : "");
    }
    return *log;
}

QString FileIn(const QTemporaryDir& dir, LogFileFormat format) {
    const char* name = "log.xls";
    if (format == LogFileFormat::XmlPacket) name = "log.xml";
    if (format == LogFileFormat::Workbook) name = "log.xlsx";
    if (format == LogFileFormat::Csv) name = "log.csv";
    return QDir(dir.path()).filePath(QLatin1String(name));
}

void Save(benchmark::State& state, LogFileFormat format) {
    const ReadingLogStore& log = Log(static_cast<int>(state.range(0)));
    QTemporaryDir dir;
    const QString path = FileIn(dir, format);
    long long growth = 0;
    std::int64_t bytes = 0;
    for (auto _ : state) {
        const long long before = ResidentBytes();
        SummaryLimits limits;
        limits.high = "30";
        limits.low = "-30";
        LogFileWriter writer(log, path, format, limits);
        // The slices the window takes, memory looked at after each.
        while (!writer.Step(16384)) growth = std::max(growth, ResidentBytes() - before);
        if (!writer.Commit()) state.SkipWithError("save failed");
        growth = std::max(growth, ResidentBytes() - before);
        bytes += QFileInfo(path).size();
    }
    state.SetBytesProcessed(bytes);
    state.counters["file_MB"] = static_cast<double>(QFileInfo(path).size()) / 1e6;
    state.counters["rss_growth_KiB"] = static_cast<double>(growth) / 1024.0;
}

void Load(benchmark::State& state, LogFileFormat format) {
    const int rows = static_cast<int>(state.range(0));
    QTemporaryDir dir;
    const QString path = FileIn(dir, format);
    if (!SaveLogFile(Log(rows), path.toStdString(), format)) state.SkipWithError("save failed");
    std::int64_t bytes = 0;
    for (auto _ : state) {
        ReadingLogStore read;
        StoreSink sink(read);
        if (!LoadLogFile(path.toStdString(), format, sink) || read.RowCount() != rows)
            state.SkipWithError("load failed");
        bytes += QFileInfo(path).size();
        state.PauseTiming();
        read.Clear();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(bytes);
}

void BM_SaveTextTable(benchmark::State& state) {
    Save(state, LogFileFormat::TextTable);
}
void BM_SaveXmlPacket(benchmark::State& state) {
    Save(state, LogFileFormat::XmlPacket);
}
void BM_SaveWorkbook(benchmark::State& state) {
    Save(state, LogFileFormat::Workbook);
}
void BM_SaveCsv(benchmark::State& state) {
    Save(state, LogFileFormat::Csv);
}
void BM_LoadTextTable(benchmark::State& state) {
    Load(state, LogFileFormat::TextTable);
}
void BM_LoadXmlPacket(benchmark::State& state) {
    Load(state, LogFileFormat::XmlPacket);
}

BENCHMARK(BM_SaveTextTable)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveXmlPacket)->Arg(1000000)->Unit(benchmark::kMillisecond);
// The workbook's budget is 5 s and the CSV's 100 MB/s at a million rows.
BENCHMARK(BM_SaveWorkbook)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_SaveCsv)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadTextTable)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadXmlPacket)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvel::bench

BENCHMARK_MAIN();
