// corvel-meter-sim: a simulated meter on a pseudo-terminal, for trying the
// program without a meter. See Usage() for the command line.

#include <csignal>
#include <iostream>

#include "MeterSim.h"
#include "Version.h"

namespace {
volatile std::sig_atomic_t g_stop = 0;
extern "C" void onSignal(int) {
    g_stop = 1;
}
}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const auto options = corvel::sim::ParseOptions(args, error);
    if (!options) {
        std::cerr << "corvel-meter-sim: " << error << "\n\n" << corvel::sim::Usage();
        return 2;
    }
    if (options->help) {
        std::cout << corvel::sim::Usage();
        return 0;
    }
    if (options->version) {
        std::cout << "corvel-meter-sim " << corvel::kVersion << "\n";
        return 0;
    }
    // No SA_RESTART: the signal has to cut the line's sleep short.
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    return corvel::sim::Run(*options, std::cout, std::cerr, g_stop);
}
