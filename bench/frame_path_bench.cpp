// How fast one Oak frame goes through the program: the core path alone
// (handler, decoder, judge), and with the window's mirror updated too.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <vector>

#include "bench_support.h"
#include "shell/MeterCore.h"
#include "shell/TFCOMM.h"
#include "../tests/support/FrameBuilder.h"
#include "../tests/support/QuietPlatform.h"

namespace {

using Quiet = corvel::test::QuietPlatform;

// Two frames a real reading alternates between, so that the mirror and the
// texts change on every frame as they would while a value drifts.
std::vector<std::vector<std::uint8_t>> frames() {
    using corvel::test::FrameBuilder;
    return {FrameBuilder().main("0123").bit(28).second("0456").bit(104).oakBytes(),
            FrameBuilder().main("0124").bit(28).second("0457").bit(104).oakBytes()};
}

void BM_OakFrameCorePath(benchmark::State& state) {
    Quiet q;
    corvel::MeterCore core(q, q, q);
    const auto f = frames();
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& bytes = f[i++ & 1];
        core.Frames().HOakRData(bytes.data(), static_cast<std::int32_t>(bytes.size()));
        benchmark::DoNotOptimize(core.CurrentReading().MeasuredValue);
    }
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_OakFrameCorePath);

void BM_OakFrameWithWindowMirror(benchmark::State& state) {
    Quiet q;
    corvel::TFCOMM window(corvel::WindowPlatform(q, q, ".", true));
    const auto f = frames();
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& bytes = f[i++ & 1];
        window.HOakRData(nullptr, bytes.data(), static_cast<std::int32_t>(bytes.size()));
    }
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_OakFrameWithWindowMirror);

}  // namespace

int main(int argc, char** argv) { return corvel::bench::RunWithApplication(argc, argv); }
