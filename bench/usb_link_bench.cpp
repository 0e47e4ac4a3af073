// The USB path as the demo runs it: the window on the simulated bridge at
// 9600 baud, an input report every millisecond handed from the reader thread
// to the main thread. Reports the time from the report that completes a
// frame to the mirror painted with it, and how long USB Connect's release
// takes to stop the reader.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <QToolButton>
#include <QWidget>
#include <chrono>
#include <map>
#include <string>

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

// What the window paints while the cable streams: paint events a second,
// in all and by widget (class and name), so that a picture repainted
// without a change shows up. Its CPU time is the whole process's, reader
// included, over five seconds of streaming.
class PaintCounter final : public QObject {
public:
    std::map<std::string, int> byKind;
    int total = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType()) {
            ++total;
            std::string kind = watched->metaObject()->className();
            if (!watched->objectName().isEmpty()) kind += ":" + watched->objectName().toStdString();
            ++byKind[kind];
        }
        return false;
    }
};

void BM_PaintsWhileStreaming(benchmark::State& state) {
    Rig rig;
    rig.window->USBCon()->click();
    PaintCounter counter;
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 1000) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    qApp->installEventFilter(&counter);
    const int decodedBefore = rig.decoded;
    double seconds = 0;
    for (auto _ : state) {
        QElapsedTimer run;
        run.start();
        QEventLoop loop;
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
        seconds += static_cast<double>(run.elapsed()) / 1000.0;
    }
    qApp->removeEventFilter(&counter);
    rig.window->USBCon()->click();
    state.counters["paints_per_s"] = counter.total / seconds;
    state.counters["frames_per_s"] = (rig.decoded - decodedBefore) / seconds;
    for (const auto& [kind, n] : counter.byKind) state.counters[kind] = n / seconds;
}
BENCHMARK(BM_PaintsWhileStreaming)->Iterations(1)->MeasureProcessCPUTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    return corvel::bench::RunWithApplication(argc, argv);
}
