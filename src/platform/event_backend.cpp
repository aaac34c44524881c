#include "platform/event_backend.h"

#include "platform/clock.h"

void EventBackendBase::ProcessEvents(bool deferredDeletes)
{
    if (!deferredDeletes && !m_bInputReleased && !GetClock()->IsManual()) {
        const std::int64_t now = GetClock()->NowMs();
        if (now - m_lastEventsMs < kEventSliceMs && now >= m_lastEventsMs) return;
        m_lastEventsMs = now;
    }
    m_bInputReleased = false;
    DispatchWaiting(deferredDeletes);
}

void EventBackendBase::WaitForEvents(int timeoutMs)
{
    IClock* clock = GetClock();
    if (clock->IsManual()) {
        DispatchWaiting(false);
        if (timeoutMs > 0) clock->SleepFor(timeoutMs);
        return;
    }
    if (timeoutMs == 0) {
        DispatchWaiting(false);
        return;
    }
    WaitAndDispatch(timeoutMs);
}

int EventBackendBase::WaitForSocket(SocketHandle socket, bool forWrite, int timeoutMs)
{
    IClock* clock = GetClock();
    if (!clock->IsManual() || timeoutMs < 0) return WaitForSocketOrWake(socket, forWrite, timeoutMs);
    const int ready = WaitForSocketOrWake(socket, forWrite, 0);
    if (!ready && timeoutMs > 0) clock->SleepFor(timeoutMs);
    return ready;
}
