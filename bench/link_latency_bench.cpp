// From a frame's last byte on the serial line to the mirror showing it:
// the window on a real pseudo-terminal, its polled driver at the shipped
// 50 ms period, the mirror panel painted once the digits changed.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>

#include "bench_support.h"
#include "decode/LcdPanel.h"
#include "shell/TFCOMM.h"
#include "../tests/support/FrameBuilder.h"
#include "../tests/support/ScriptedPrompts.h"

namespace {

struct SilentBeeper : corvel::Beeper {
    void Beep() override {}
};

void BM_FrameToMirror(benchmark::State& state) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    corvel::test::ScriptedPrompts prompts;
    SilentBeeper beeper;
    corvel::WindowPlatform platform(prompts, beeper, ".", true);
    platform.ports.Set(QStringLiteral("COM1"), QString::fromLocal8Bit(ptsname(master)));
    corvel::TFCOMM window(std::move(platform));
    window.show();
    window.BTCon1Click();
    QLabel* digit = window.lcdPanel()->DigitLabel(corvel::Digit::LcdDd);
    int n = 0;
    for (auto _ : state) {
        const char shown = static_cast<char>('0' + (n++ % 10));
        const auto bytes = corvel::test::FrameBuilder().main(std::string("012") + shown).second("0001").oakBytes();
        QElapsedTimer t;
        t.start();
        if (write(master, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
            state.SkipWithError("write failed");
            break;
        }
        while (digit->text() != QChar(shown) && t.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        window.lcdPanel()->repaint();
        state.SetIterationTime(static_cast<double>(t.nsecsElapsed()) / 1e9);
    }
    close(master);
}
BENCHMARK(BM_FrameToMirror)->UseManualTime()->Iterations(60)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return corvel::bench::RunWithApplication(argc, argv); }
