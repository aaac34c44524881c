// The nested pump every loop of the program uses: what it runs, what it leaves queued,
// when it stops, and the quit message it never swallows.
#include "platform_fixture.h"

#include <functional>
#include <string>
#include <vector>

namespace {

constexpr UINT WM_STEP = WM_USER + 40;   // stands for an operation step: held
constexpr UINT WM_INPUT = WM_USER + 41;  // any other message
constexpr UINT WM_STOP = WM_USER + 42;   // its handler ends the pump

using NestedPump = PlatformTest;

struct PumpCase {
    const char* name;
    std::vector<UINT> queued;  // posted before the pump, in order
    bool holdSteps;
    bool quitFirst;  // PostQuitMessage before the pump
    PumpResult wantResult;
    std::vector<UINT> wantDispatched;  // in order
    std::vector<UINT> wantLeft;        // still queued afterwards, in order
};

TEST_F(NestedPump, RunsWhatItMayAndLeavesTheRestInPlace)
{
    const PumpCase cases[] = {
        {"everything runs",
         {WM_INPUT, WM_STEP, WM_INPUT},
         false,
         false,
         PumpResult::Empty,
         {WM_INPUT, WM_STEP, WM_INPUT},
         {}},
        {"a step stays, what is behind it runs",
         {WM_STEP, WM_INPUT, WM_STEP, WM_INPUT},
         true,
         false,
         PumpResult::Empty,
         {WM_INPUT, WM_INPUT},
         {WM_STEP, WM_STEP}},
        {"done stops before the rest",
         {WM_INPUT, WM_STOP, WM_INPUT, WM_STEP},
         true,
         false,
         PumpResult::Done,
         {WM_INPUT, WM_STOP},
         {WM_INPUT, WM_STEP}},
        {"quit is posted again and ends the pump", {}, true, true, PumpResult::Quit, {}, {}},
        {"messages before the quit still run", {WM_INPUT}, false, true, PumpResult::Quit, {WM_INPUT}, {}},
    };
    for (const PumpCase& c : cases) {
        SCOPED_TRACE(c.name);
        ResetMessageQueue();
        std::vector<Seen> log;
        RecorderWnd w(&log);
        bool stop = false;
        w.onMessage = [&](UINT m, WPARAM, LPARAM) -> LRESULT {
            if (m == WM_STOP) stop = true;
            return 0;
        };
        for (UINT m : c.queued) w.PostMessage(m);
        if (c.quitFirst) PostQuitMessage(3);
        PumpRules rules;
        rules.done = [&] { return stop; };
        if (c.holdSteps) rules.hold = [](const MSG& m) { return m.message == WM_STEP; };
        EXPECT_EQ(PumpUntil(rules), c.wantResult);

        std::vector<UINT> dispatched;
        for (auto& s : log) dispatched.push_back(s.message);
        EXPECT_EQ(dispatched, c.wantDispatched);
        std::vector<UINT> left;
        MSG m;
        while (PeekMessage(&m, w.m_hWnd, 0, 0, PM_REMOVE)) left.push_back(m.message);
        EXPECT_EQ(left, c.wantLeft);
        // The quit is still there for the outermost loop.
        EXPECT_EQ(PeekMessage(&m, 0, 0, 0, PM_REMOVE) && m.message == WM_QUIT, c.quitFirst);
    }
    ResetMessageQueue();
}

TEST_F(NestedPump, WaitingPumpSleepsUntilItsDeadlineWithAHeldStepQueued)
{
    ManualClockScope manual;
    std::vector<Seen> log;
    RecorderWnd w(&log);
    w.PostMessage(WM_STEP);
    const std::int64_t until = manual.clock.NowMs() + 700;
    int looks = 0;
    PumpRules rules;
    rules.hold = [](const MSG& m) { return m.message == WM_STEP; };
    rules.done = [&] {
        ++looks;
        return manual.clock.NowMs() >= until;
    };
    rules.wait = true;
    rules.wakeAt = until;
    EXPECT_EQ(PumpUntil(rules), PumpResult::Done);
    EXPECT_GE(manual.clock.NowMs(), until);
    // The held step neither ran nor kept the pump spinning.
    EXPECT_TRUE(log.empty());
    EXPECT_LT(looks, 20);
    EXPECT_EQ(PostedMessageCount(), 1);
    ResetMessageQueue();
}

}  // namespace
