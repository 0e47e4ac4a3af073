// The USB path as the demo runs it: the window on the simulated bridge at
// 9600 baud, an input report every millisecond handed from the reader thread
// to the main thread. Reports the time from the report that completes a
// frame to the mirror painted with it, and how long USB Connect's release
// takes to stop the reader.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QToolButton>
#include <chrono>

#include "../tests/support/ScriptedPrompts.h"
#include "bench_support.h"
#include "decode/LcdPanel.h"
#include "links/SimulatedUsbBridge.h"
#include "shell/TFCOMM.h"

namespace {

struct SilentBeeper : corvel::Beeper {
    void Beep() override {}
};

struct Rig {
    corvel::test::ScriptedPrompts prompts;
    SilentBeeper beeper;
    corvel::SimulatedUsbBridge bridge;
    std::unique_ptr<corvel::TFCOMM> window;
    int decoded = 0;
    Rig() {
        corvel::WindowPlatform platform(prompts, beeper, ".", true);
        platform.hid = &bridge;
        window = std::make_unique<corvel::TFCOMM>(std::move(platform));
        window->show();
        auto render = window->Core().afterDecode;
        window->Core().afterDecode = [this, render](std::string_view d) {
            render(d);
            ++decoded;
        };
    }
};

void BM_ReportToPaintedMirror(benchmark::State& state) {
    Rig rig;
    rig.window->USBCon()->click();
    for (auto _ : state) {
        const int before = rig.decoded;
        QElapsedTimer guard;
        guard.start();
        while (rig.decoded == before && guard.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (rig.decoded == before) {
            state.SkipWithError("no frame decoded");
            break;
        }
        rig.window->lcdPanel()->repaint();
        const auto latency = std::chrono::steady_clock::now() - rig.bridge.LastFrameTakeOut();
        state.SetIterationTime(std::chrono::duration<double>(latency).count());
    }
    state.counters["reports"] = static_cast<double>(rig.bridge.ReportsRead());
    rig.window->USBCon()->click();
}
BENCHMARK(BM_ReportToPaintedMirror)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);

void BM_ReleaseStopsTheReader(benchmark::State& state) {
    Rig rig;
    for (auto _ : state) {
        rig.window->USBCon()->click();  // connect: the reader starts
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 200) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const auto start = std::chrono::steady_clock::now();
        rig.window->USBCon()->click();  // release: the reader stops
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}
BENCHMARK(BM_ReleaseStopsTheReader)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return corvel::bench::RunWithApplication(argc, argv);
}
