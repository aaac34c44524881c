// Window timers on a manual clock: WM_TIMER made on demand through the queue, at the
// period, re-armed on removal, restarted by a second SetTimer, stopped by KillTimer and
// by the window's end.
#include "platform_fixture.h"

namespace {

class Timers : public PlatformTest {
protected:
    ManualClockScope mc;
    std::int64_t Now() { return mc.clock.NowMs(); }
};

// Times (relative to start) at which window w got WM_TIMER id.
std::vector<std::int64_t> TimerTimes(const std::vector<Seen>& log, const std::vector<std::int64_t>& at, HWND w,
                                     UINT_PTR id)
{
    std::vector<std::int64_t> r;
    for (std::size_t i = 0; i < log.size(); ++i)
        if (log[i].hwnd == w && log[i].message == WM_TIMER && log[i].wParam == id) r.push_back(at[i]);
    return r;
}

struct TickingDialog : CDialog {
    int ticks = 0;
    void OnTimer(UINT_PTR) { ++ticks; }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(TickingDialog, CDialog)
    ON_WM_TIMER()
END_MESSAGE_MAP()

TEST_F(Timers, FireThroughTheLoopAtTheirPeriod)
{
    std::vector<Seen> log;
    std::vector<std::int64_t> at;
    RecorderWnd w(&log);
    const std::int64_t start = Now();
    int ticks = 0;
    w.onMessage = [&](UINT m, WPARAM, LPARAM) -> LRESULT {
        at.push_back(Now() - start);
        if (m == WM_TIMER && ++ticks == 5) PostQuitMessage(0);
        return 0;
    };
    EXPECT_EQ(w.SetTimer(7, 100), 7u);
    EXPECT_EQ(RunMessageLoop(), 0);
    EXPECT_EQ(TimerTimes(log, at, w.m_hWnd, 7), (std::vector<std::int64_t>{100, 200, 300, 400, 500}));
}

TEST_F(Timers, TwoTimersInterleaveByDueTime)
{
    std::vector<Seen> log;
    std::vector<std::int64_t> at;
    RecorderWnd a(&log), b(&log);
    const std::int64_t start = Now();
    auto record = [&](UINT, WPARAM, LPARAM) -> LRESULT {
        at.push_back(Now() - start);
        return 0;
    };
    a.onMessage = record;
    b.onMessage = record;
    a.SetTimer(1, 300);
    b.SetTimer(2, 200);
    PumpFor(1000);
    EXPECT_EQ(TimerTimes(log, at, a.m_hWnd, 1), (std::vector<std::int64_t>{300, 600, 900}));
    EXPECT_EQ(TimerTimes(log, at, b.m_hWnd, 2), (std::vector<std::int64_t>{200, 400, 600, 800, 1000}));
}

TEST_F(Timers, ADueTimerIsOneMessageThatStaysUntilRemovedThenReArms)
{
    std::vector<Seen> log;
    RecorderWnd w(&log);
    w.SetTimer(3, 100);
    MSG m;
    EXPECT_FALSE(PeekMessage(&m, 0, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(MsUntilNextTimer(), 100);
    mc.clock.Advance(350);  // a slow loop: three periods passed
    ASSERT_TRUE(PeekMessage(&m, 0, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.message, WM_TIMER);
    EXPECT_EQ(m.hwnd, w.m_hWnd);
    EXPECT_EQ(m.wParam, 3u);
    ASSERT_TRUE(PeekMessage(&m, 0, 0, 0, PM_NOREMOVE)) << "looking does not re-arm";
    ASSERT_TRUE(PeekMessage(&m, 0, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_TIMER);
    EXPECT_FALSE(PeekMessage(&m, 0, 0, 0, PM_REMOVE)) << "missed periods do not pile up";
    EXPECT_EQ(MsUntilNextTimer(), 100) << "re-armed one period after removal";
    mc.clock.Advance(100);
    EXPECT_TRUE(PeekMessage(&m, 0, 0, 0, PM_REMOVE));
}

TEST_F(Timers, PostedMessagesComeBeforeADueTimer)
{
    std::vector<Seen> log;
    RecorderWnd w(&log);
    w.SetTimer(1, 10);
    mc.clock.Advance(10);
    w.PostMessage(WM_USER);
    MSG m;
    ASSERT_TRUE(PeekMessage(&m, 0, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_USER);
    ASSERT_TRUE(PeekMessage(&m, 0, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_TIMER);
}

TEST_F(Timers, FiltersApplyToTimers)
{
    std::vector<Seen> log;
    RecorderWnd a(&log), b(&log);
    a.SetTimer(1, 50);
    b.SetTimer(2, 100);
    a.PostMessage(WM_USER + 5);
    mc.clock.Advance(100);
    MSG m;
    // A range without WM_TIMER never makes one; a range with only WM_TIMER skips posts.
    ASSERT_TRUE(PeekMessage(&m, 0, WM_USER, WM_USER + 10, PM_REMOVE));
    EXPECT_EQ(m.message, WM_USER + 5);
    EXPECT_FALSE(PeekMessage(&m, 0, WM_USER, WM_USER + 10, PM_REMOVE));
    ASSERT_TRUE(PeekMessage(&m, b.m_hWnd, WM_TIMER, WM_TIMER, PM_REMOVE));
    EXPECT_EQ(m.hwnd, b.m_hWnd);
    EXPECT_EQ(m.wParam, 2u);
    EXPECT_FALSE(PeekMessage(&m, b.m_hWnd, WM_TIMER, WM_TIMER, PM_REMOVE));
    ASSERT_TRUE(PeekMessage(&m, 0, WM_TIMER, WM_TIMER, PM_REMOVE));
    EXPECT_EQ(m.hwnd, a.m_hWnd);
}

TEST_F(Timers, SetTimerAgainRestartsWithTheNewPeriod)
{
    std::vector<Seen> log;
    std::vector<std::int64_t> at;
    RecorderWnd w(&log);
    const std::int64_t start = Now();
    w.onMessage = [&](UINT, WPARAM, LPARAM) -> LRESULT {
        at.push_back(Now() - start);
        return 0;
    };
    w.SetTimer(1, 100);
    PumpFor(60);
    EXPECT_EQ(w.SetTimer(1, 100), 1u);  // restart at 60: due at 160, not 100
    PumpFor(200);                       // to 260
    w.SetTimer(1, 300);                 // new period from 260
    PumpFor(700);                       // to 960
    EXPECT_EQ(TimerTimes(log, at, w.m_hWnd, 1), (std::vector<std::int64_t>{160, 260, 560, 860}));
    EXPECT_EQ(MsUntilNextTimer(), 200) << "one timer per (window, id)";
}

TEST_F(Timers, SameIdOnTwoWindowsAreTwoTimers)
{
    std::vector<Seen> log;
    RecorderWnd a(&log), b(&log);
    a.SetTimer(1, 100);
    b.SetTimer(1, 100);
    EXPECT_TRUE(a.KillTimer(1));
    PumpFor(250);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].hwnd, b.m_hWnd);
    EXPECT_EQ(log[1].hwnd, b.m_hWnd);
}

TEST_F(Timers, KilledTimerStopsEvenWhenAlreadyDue)
{
    std::vector<Seen> log;
    RecorderWnd w(&log);
    w.SetTimer(1, 100);
    PumpFor(250);
    EXPECT_EQ(log.size(), 2u);
    mc.clock.Advance(100);  // due now
    EXPECT_TRUE(w.KillTimer(1));
    EXPECT_FALSE(w.KillTimer(1)) << "killing twice finds nothing";
    PumpFor(1000);
    EXPECT_EQ(log.size(), 2u);
    EXPECT_EQ(MsUntilNextTimer(), -1);
}

TEST_F(Timers, HandlerCanKillItsOwnTimer)
{
    std::vector<Seen> log;
    RecorderWnd w(&log);
    int ticks = 0;
    w.onMessage = [&](UINT m, WPARAM id, LPARAM) -> LRESULT {
        if (m == WM_TIMER && ++ticks == 3) w.KillTimer(id);
        return 0;
    };
    w.SetTimer(9, 40);
    PumpFor(1000);
    EXPECT_EQ(ticks, 3);
}

TEST_F(Timers, DestroyedWindowsTimersStopAndCannotBeSetAgain)
{
    std::vector<Seen> log;
    RecorderWnd w(&log), other(&log);
    w.SetTimer(1, 100);
    w.SetTimer(2, 30);
    other.SetTimer(1, 100);
    mc.clock.Advance(100);  // w's timers are due
    HWND old = w.m_hWnd;
    w.DestroyWindow();
    log.clear();
    PumpFor(200);
    for (auto& s : log) EXPECT_EQ(s.hwnd, other.m_hWnd);
    EXPECT_EQ(log.size(), 3u);
    EXPECT_EQ(SetTimer(old, 1, 100), 0u);
    EXPECT_EQ(SetTimer(0, 1, 100), 0u);
    EXPECT_FALSE(KillTimer(old, 1));
}

TEST_F(Timers, DestroyedDialogsTimersStop)
{
    SampleResources res;
    TickingDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_SAMPLE));
    dlg.SetTimer(1, 100);
    PumpFor(250);
    EXPECT_EQ(dlg.ticks, 2);
    dlg.DestroyWindow();
    PumpFor(500);
    EXPECT_EQ(dlg.ticks, 2);
    EXPECT_EQ(MsUntilNextTimer(), -1);
}

}  // namespace
