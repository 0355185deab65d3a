// CPU time of an idle progress viewer: nothing changes for 10 s while the
// viewer ticks every 50 ms. Printed as a share of one core, for a
// determinate bar (only the elapsed time moves) and, for comparison in the
// same run, a moving block that repaints at every tick.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "support/ProgressViewer.h"

using namespace tolvane;

namespace {

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double IdleShare(bool determinate, double seconds) {
    auto* v = new TProgressViewer("Выполняется передача в ТСД...", determinate, true);
    if (determinate) v->Percent = 42;
    // Start-up (fonts, the first layout and paint) is not part of idling.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const double cpu0 = ProcessCpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double cpu = ProcessCpuSeconds() - cpu0;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    v->Terminate();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return cpu / wall;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    InitializeProgressViewer();
    std::printf("display: %s\n", std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "(none: no window)");
    const double idle = IdleShare(true, seconds);
    std::printf("idle viewer, determinate bar, %.0f s at 50 ms ticks: %.3f%% of one core (aim: below 1%%)\n",
                seconds, idle * 100);
    const double moving = IdleShare(false, seconds);
    std::printf("moving block (repaints every tick), same run:   %.3f%% of one core\n", moving * 100);
    std::printf("ratio idle / moving block: %.2f\n", moving > 0 ? idle / moving : 0.0);
    return 0;
}
