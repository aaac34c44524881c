// Runs the thread's message loop for about 2 s of real time with one 100 ms window
// timer and nothing else to do, on the Qt event backend (offscreen), and prints how
// much CPU the process used meanwhile, how often it was woken, and when the timer came.
//
// Usage: bench_queue_wait [seconds] [period-ms]
#include "platform/msgqueue.h"
#include "platform/qt/qt_platform.h"
#include "platform/wnd.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double CpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

class TickWnd : public CWnd {
public:
    TickWnd(Clock::time_point start, int runMs) : m_start(start), m_runMs(runMs) {}
    LRESULT WindowProc(UINT message, WPARAM, LPARAM) override
    {
        if (message == WM_TIMER) {
            double at = std::chrono::duration<double, std::milli>(Clock::now() - m_start).count();
            ticks.push_back(at);
            if (at >= m_runMs) PostQuitMessage(0);
        }
        return 0;
    }
    std::vector<double> ticks;

private:
    Clock::time_point m_start;
    int m_runMs;
};

}  // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2;
    const int period = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100;
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        std::string dir = "/tmp/qbx-runtime-" + std::to_string(getuid());
        mkdir(dir.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    }
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QtPlatform platform(qtArgc, qtArgv);

    const int runMs = seconds * 1000;
    rusage ru0{}, ru1{};
    getrusage(RUSAGE_SELF, &ru0);
    const double cpu0 = CpuMs();
    const Clock::time_point start = Clock::now();
    TickWnd wnd(start, runMs);
    wnd.CreateHandleOnly();
    wnd.SetTimer(1, static_cast<UINT>(period));
    const int code = RunMessageLoop();
    const double wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const double cpuMs = CpuMs() - cpu0;
    getrusage(RUSAGE_SELF, &ru1);

    std::printf("message loop, one %d ms timer, Qt backend (%s), %.0f ms of real time, exit code %d\n", period,
                std::getenv("QT_QPA_PLATFORM"), wallMs, code);
    std::printf("  WM_TIMER messages: %zu (expected about %d)\n", wnd.ticks.size(), runMs / period);
    double worstLate = 0;
    std::printf("  fired at (ms):");
    for (std::size_t i = 0; i < wnd.ticks.size(); ++i) {
        std::printf(" %.0f", wnd.ticks[i]);
        worstLate = std::max(worstLate, wnd.ticks[i] - period * static_cast<double>(i + 1));
    }
    std::printf("\n  latest firing behind its ideal time: %.1f ms (drift included)\n", worstLate);
    std::printf("  CPU used: %.2f ms (%.3f%% of the real time), %.3f ms per timer message\n", cpuMs,
                100.0 * cpuMs / wallMs, wnd.ticks.empty() ? 0.0 : cpuMs / wnd.ticks.size());
    std::printf("  context switches: %ld voluntary, %ld involuntary\n", ru1.ru_nvcsw - ru0.ru_nvcsw,
                ru1.ru_nivcsw - ru0.ru_nivcsw);
    return code;
}
