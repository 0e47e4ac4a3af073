#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "Assets.h"
#include "record/ReadingLogChart.h"
#include "record/UserPrompts.h"

namespace corvel::bench {

// Nothing asked in a benchmark is ever shown; every question is answered
// Yes.
class SilentPrompts final : public UserPrompts {
public:
    void Message(Kind, const std::string&) override {}
    Answer Ask(Kind, const std::string&) override { return Answer::Yes; }
    std::string SaveFileName(const std::string&, const std::string&, const std::string&) override {
        return {};
    }
    std::string OpenFileName(const std::string&, const std::string&) override { return {}; }
};

// The log without a chart behind it.
class NoChart final : public ReadingLogChart {
public:
    void AddValue(double) override {}
    int Page() const override { return 1; }
    void SetPageCaption(int) override {}
    void ClearView() override {}
    void BtNewClick() override {}
};

// Resident memory of this process, in bytes.
inline long long ResidentBytes() {
    long long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%lld %lld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

// Value texts as a 4000-count display shows them, so rows differ as real
// readings do.
inline const std::vector<std::string>& ValueTexts() {
    static const std::vector<std::string> texts = [] {
        std::vector<std::string> t;
        for (int i = -3999; i <= 3999; ++i) {
            char buffer[16];
            std::snprintf(buffer, sizeof buffer, "%.2f", i / 100.0);
            t.emplace_back(buffer);
        }
        return t;
    }();
    return texts;
}

// The benchmarks build widgets: they run inside an offscreen application.
inline int RunWithApplication(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RegisterAssetFonts();  // the program's own fonts, as at start-up
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace corvel::bench
