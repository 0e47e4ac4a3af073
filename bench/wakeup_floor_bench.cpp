// What the machine charges for the bare bones of the USB path, with none of
// the program in it: a thread woken every millisecond at an absolute
// deadline (as a reader is woken by each report of a 9600-baud cable), and
// that thread handing each wake-up to a second thread asleep in poll() on
// an eventfd (as each report is handed to the main thread). The share of a
// core these take is the least the program can take while it hands every
// report over one by one; compare it with bench/usb_demo_cpu.sh on the same
// machine at the same time.

#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace {

constexpr long kIntervalNs = 1000000;  // a report every millisecond
constexpr int kSeconds = 5;

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Sleeps to successive absolute deadlines; after each, `wake` (if any).
template <typename Wake>
void Pace(const std::atomic<bool>& stop, Wake wake) {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    while (!stop.load()) {
        t.tv_nsec += kIntervalNs;
        if (t.tv_nsec >= 1000000000) {
            t.tv_nsec -= 1000000000;
            ++t.tv_sec;
        }
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr);
        wake();
    }
}

void Report(benchmark::State& state, double cpu, double wall, long handoffs) {
    state.SetIterationTime(wall);
    state.counters["core_%"] = 100.0 * cpu / wall;
    state.counters["us_per_report"] = 1e6 * cpu / (wall * 1e9 / kIntervalNs);
    if (handoffs > 0) state.counters["handoffs_per_s"] = static_cast<double>(handoffs) / wall;
}

void BM_ThreadWokenEveryMillisecond(benchmark::State& state) {
    for (auto _ : state) {
        std::atomic<bool> stop{false};
        const double cpu0 = ProcessCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        std::thread pacer([&] { Pace(stop, [] {}); });
        std::this_thread::sleep_for(std::chrono::seconds(kSeconds));
        stop = true;
        pacer.join();
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        Report(state, ProcessCpuSeconds() - cpu0, wall, 0);
    }
}
BENCHMARK(BM_ThreadWokenEveryMillisecond)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

void BM_EachWakeUpHandedToAThreadInPoll(benchmark::State& state) {
    for (auto _ : state) {
        const int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        std::atomic<bool> stop{false};
        const double cpu0 = ProcessCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        std::thread pacer([&] {
            Pace(stop, [fd] {
                const std::uint64_t one = 1;
                [[maybe_unused]] const ssize_t n = write(fd, &one, sizeof one);
            });
        });
        long handoffs = 0;
        while (std::chrono::steady_clock::now() - start < std::chrono::seconds(kSeconds)) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) continue;
            std::uint64_t count = 0;
            if (read(fd, &count, sizeof count) > 0) ++handoffs;
        }
        stop = true;
        pacer.join();
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        Report(state, ProcessCpuSeconds() - cpu0, wall, handoffs);
        close(fd);
    }
}
BENCHMARK(BM_EachWakeUpHandedToAThreadInPoll)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
