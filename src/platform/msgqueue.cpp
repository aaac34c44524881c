#include "platform/msgqueue.h"

#include "platform/clock.h"
#include "platform/wnd.h"

#include "platform/wake_wait.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <vector>

namespace {

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    UINT period;
    std::int64_t due;
};

// Plain backend: sleeps in the system's wait (platform/wake_wait.h) on its wake-up and,
// for a socket wait, on the socket too, so Wake() from any thread ends either wait at
// once and no wait needs a polling interval. With a manual clock a wait with a limit
// moves the clock instead of sleeping; a wait without a limit still sleeps for real until
// the socket or Wake().
class PlainBackend : public IEventBackend {
public:
    void ProcessEvents(bool) override {}
    void WaitForEvents(int timeoutMs) override { Wait(kNoSocketHandle, false, timeoutMs); }
    void Wake() override { m_wait.Wake(); }
    int WaitForSocket(SocketHandle socket, bool forWrite, int timeoutMs) override
    {
        return Wait(socket, forWrite, timeoutMs);
    }

private:
    // 1 when the socket became ready, 0 after a wake-up or the time limit.
    int Wait(SocketHandle socket, bool forWrite, int timeoutMs)
    {
        IClock* clock = GetClock();
        if (clock->IsManual() && timeoutMs >= 0) {
            if (socket != kNoSocketHandle && m_wait.Wait(socket, forWrite, 0) == 1) return 1;
            m_wait.Drain();
            if (timeoutMs > 0) clock->SleepFor(timeoutMs);
            return 0;
        }
        return m_wait.Wait(socket, forWrite, timeoutMs);
    }

    WakeWait m_wait;
};

PlainBackend g_plainBackend;
IEventBackend* g_backend = &g_plainBackend;

std::mutex g_postMutex;  // guards g_posted, for posts from other threads
std::deque<MSG> g_posted;
std::vector<Timer> g_timers;
bool g_quit = false;
int g_quitCode = 0;
int g_dispatchDepth = 0;
IMessageObserver* g_observer = nullptr;

bool Matches(const MSG& m, HWND hwnd, UINT fmin, UINT fmax)
{
    if (hwnd != 0 && m.hwnd != hwnd) return false;
    if (fmin == 0 && fmax == 0) return true;
    return m.message >= fmin && m.message <= fmax;
}

// Finds the earliest due timer that matches the filter.
Timer* DueTimer(HWND hwnd, UINT fmin, UINT fmax)
{
    if (!(fmin == 0 && fmax == 0) && !(WM_TIMER >= fmin && WM_TIMER <= fmax)) return nullptr;
    std::int64_t now = GetClock()->NowMs();
    Timer* best = nullptr;
    for (auto& t : g_timers) {
        if (hwnd != 0 && t.hwnd != hwnd) continue;
        if (t.due > now) continue;
        if (!best || t.due < best->due) best = &t;
    }
    return best;
}

bool Take(MSG* out, HWND hwnd, UINT fmin, UINT fmax, bool remove, const std::function<bool(const MSG&)>* skip = nullptr)
{
    {
        std::lock_guard<std::mutex> lock(g_postMutex);
        for (auto it = g_posted.begin(); it != g_posted.end(); ++it) {
            if (Matches(*it, hwnd, fmin, fmax) && !(skip && *skip && (*skip)(*it))) {
                *out = *it;
                if (remove) g_posted.erase(it);
                return true;
            }
        }
    }
    if (Timer* t = DueTimer(hwnd, fmin, fmax)) {
        out->hwnd = t->hwnd;
        out->message = WM_TIMER;
        out->wParam = t->id;
        out->lParam = 0;
        out->time = GetTickCount();
        if (remove) t->due = GetClock()->NowMs() + t->period;
        return true;
    }
    if (g_quit && (fmin == 0 && fmax == 0) && hwnd == 0) {
        out->hwnd = 0;
        out->message = WM_QUIT;
        out->wParam = static_cast<WPARAM>(g_quitCode);
        out->lParam = 0;
        if (remove) g_quit = false;
        return true;
    }
    return false;
}

}  // namespace

BOOL PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG m;
    m.hwnd = hwnd;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = GetTickCount();
    {
        std::lock_guard<std::mutex> lock(g_postMutex);
        g_posted.push_back(m);
    }
    if (g_observer) g_observer->OnPosted(m);
    g_backend->Wake();
    return TRUE;
}

BOOL PeekMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags)
{
    g_backend->ProcessEvents(false);
    MSG m;
    if (!Take(&m, hwnd, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0)) return FALSE;
    if (msg) *msg = m;
    return TRUE;
}

BOOL GetMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax)
{
    for (;;) {
        g_backend->ProcessEvents(g_dispatchDepth == 0);
        MSG m;
        if (Take(&m, hwnd, filterMin, filterMax, true)) {
            if (msg) *msg = m;
            return m.message != WM_QUIT;
        }
        g_backend->WaitForEvents(MsUntilNextTimer());
    }
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessage(const MSG* msg)
{
    if (!msg) return 0;
    if (g_observer) g_observer->OnDispatched(*msg);
    CWnd* wnd = CWnd::FromHandle(msg->hwnd);
    if (!wnd) return 0;
    ++g_dispatchDepth;
    LRESULT r = wnd->WindowProc(msg->message, msg->wParam, msg->lParam);
    --g_dispatchDepth;
    return r;
}

LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* wnd = CWnd::FromHandle(hwnd);
    if (!wnd) return 0;
    ++g_dispatchDepth;
    LRESULT r = wnd->WindowProc(message, wParam, lParam);
    --g_dispatchDepth;
    return r;
}

void PostQuitMessage(int exitCode)
{
    g_quit = true;
    g_quitCode = exitCode;
    g_backend->Wake();
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs)
{
    if (hwnd == 0 || !CWnd::FromHandle(hwnd)) return 0;
    std::int64_t due = GetClock()->NowMs() + elapseMs;
    for (auto& t : g_timers) {
        if (t.hwnd == hwnd && t.id == id) {
            t.period = elapseMs;
            t.due = due;
            return id;
        }
    }
    g_timers.push_back(Timer{hwnd, id, elapseMs, due});
    return id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id)
{
    auto it =
        std::find_if(g_timers.begin(), g_timers.end(), [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (it == g_timers.end()) return FALSE;
    g_timers.erase(it);
    return TRUE;
}

// Called when a window goes away: its timers stop.
void PlatformKillWindowTimers(HWND hwnd)
{
    g_timers.erase(std::remove_if(g_timers.begin(), g_timers.end(), [&](const Timer& t) { return t.hwnd == hwnd; }),
                   g_timers.end());
}

int RunMessageLoop()
{
    MSG msg;
    while (GetMessage(&msg, 0, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessage(&msg);
    }
    return static_cast<int>(msg.wParam);
}

PumpResult PumpUntil(const PumpRules& rules)
{
    for (;;) {
        if (rules.done && rules.done()) return PumpResult::Done;
        g_backend->ProcessEvents(false);
        if (rules.done && rules.done()) return PumpResult::Done;
        MSG msg;
        // The hold test runs under the queue's lock: it must only look at the message.
        if (Take(&msg, 0, 0, 0, true, &rules.hold)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));  // the outermost loop ends on it
                return PumpResult::Quit;
            }
            TranslateMessage(&msg);
            DispatchMessage(&msg);
            continue;
        }
        if (!rules.wait) return PumpResult::Empty;
        if (rules.done && rules.done()) return PumpResult::Done;
        // A held message stays queued without waking the sleep: only new work, input or
        // a timer falling due ends it.
        int timeout = MsUntilNextTimer();
        if (rules.wakeAt >= 0) {
            std::int64_t left = rules.wakeAt - GetClock()->NowMs();
            int limit = static_cast<int>(left < 0 ? 0 : (left > 1000000 ? 1000000 : left));
            if (timeout < 0 || limit < timeout) timeout = limit;
        }
        g_backend->WaitForEvents(timeout);
    }
}

int PostedMessageCount()
{
    std::lock_guard<std::mutex> lock(g_postMutex);
    return static_cast<int>(g_posted.size());
}

void ResetMessageQueue()
{
    {
        std::lock_guard<std::mutex> lock(g_postMutex);
        g_posted.clear();
    }
    g_timers.clear();
    g_quit = false;
    g_quitCode = 0;
}

void SetMessageObserver(IMessageObserver* observer) { g_observer = observer; }

void SetEventBackend(IEventBackend* backend) { g_backend = backend ? backend : &g_plainBackend; }

IEventBackend* GetEventBackend() { return g_backend; }

int DispatchDepth() { return g_dispatchDepth; }

namespace {
int MsUntilDue(std::int64_t due, std::int64_t now)
{
    std::int64_t d = due - now;
    if (d < 0) d = 0;
    if (d > 1000000) d = 1000000;
    return static_cast<int>(d);
}
}  // namespace

int MsUntilNextTimer()
{
    if (g_timers.empty()) return -1;
    std::int64_t best = g_timers.front().due;
    for (auto& t : g_timers) best = std::min(best, t.due);
    return MsUntilDue(best, GetClock()->NowMs());
}

int MsUntilNextTimerAfter(std::int64_t afterMs)
{
    bool found = false;
    std::int64_t best = 0;
    for (auto& t : g_timers) {
        if (t.due <= afterMs) continue;
        if (!found || t.due < best) best = t.due;
        found = true;
    }
    return found ? MsUntilDue(best, GetClock()->NowMs()) : -1;
}
