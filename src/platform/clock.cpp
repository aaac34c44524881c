#include "platform/clock.h"

#include <chrono>

namespace {

class SystemClock : public IClock {
public:
    std::int64_t NowMs() override
    {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
    void WallTime(std::int64_t* seconds, int* millis) override
    {
        using namespace std::chrono;
        auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
        if (seconds) *seconds = ms / 1000;
        if (millis) *millis = static_cast<int>(ms % 1000);
    }
};

SystemClock g_systemClock;
IClock* g_clock = &g_systemClock;

}  // namespace

IClock* GetClock() { return g_clock; }

void SetClock(IClock* clock) { g_clock = clock ? clock : &g_systemClock; }

void ManualClock::WallTime(std::int64_t* seconds, int* millis)
{
    std::int64_t w = m_wallMs;
    std::int64_t s = w / 1000;
    int m = static_cast<int>(w % 1000);
    if (m < 0) {
        m += 1000;
        --s;
    }
    if (seconds) *seconds = s;
    if (millis) *millis = m;
}

std::uint32_t GetTickCount() { return static_cast<std::uint32_t>(g_clock->NowMs()); }
