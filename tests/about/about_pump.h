// Driving the message queue in the About box tests.
#pragma once

#include "platform/clock.h"
#include "platform/msgqueue.h"

#include <chrono>
#include <cstdint>
#include <functional>

// Runs the queue for ms of the manual clock: dispatches everything waiting, then moves the
// clock to the next timer's due time, never past the end. Timers due at the end run.
inline void PumpManual(ManualClock& clock, std::int64_t ms)
{
    const std::int64_t end = clock.NowMs() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
        if (clock.NowMs() >= end) return;
        int next = MsUntilNextTimer();
        if (next < 0 || clock.NowMs() + next > end) next = static_cast<int>(end - clock.NowMs());
        clock.Advance(next > 0 ? next : 1);
    }
}

// Runs the queue in real time until pred holds or timeoutMs passed; the result of pred.
inline bool PumpRealUntil(const std::function<bool()>& pred, int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= deadline) return pred();
        MSG msg;
        while (PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
        int wait = MsUntilNextTimer();
        if (wait < 0 || wait > 20) wait = 20;
        GetEventBackend()->WaitForEvents(wait);
    }
    return true;
}
