// The thread's message queue: order, peeking with and without removal, filters, the
// quit message, posts from other threads, windows that are gone, and nested pumps.
#include "platform_fixture.h"
#include "user_input.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {

constexpr UINT WM_A = WM_USER + 1;
constexpr UINT WM_B = WM_USER + 2;
constexpr UINT WM_C = WM_USER + 3;
constexpr UINT WM_D = WM_USER + 10;

using QueueOrder = PlatformTest;
using QueuePeek = PlatformTest;
using QueueQuit = PlatformTest;
using QueueThreads = PlatformTest;
using QueueDeadWindows = PlatformTest;
using QueueNested = PlatformTest;

TEST_F(QueueOrder, PostedMessagesArriveInPostingOrderAcrossWindows)
{
    std::vector<Seen> log;
    RecorderWnd a(&log), b(&log);
    for (WPARAM i = 0; i < 5; ++i) {
        PostMessage(a.m_hWnd, WM_A, i, 10);
        b.PostMessage(WM_B, i, 20);
    }
    EXPECT_EQ(PostedMessageCount(), 10);
    EXPECT_EQ(PumpPending(), 10);
    ASSERT_EQ(log.size(), 10u);
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(log[2 * i], (Seen{a.m_hWnd, WM_A, i, 10}));
        EXPECT_EQ(log[2 * i + 1], (Seen{b.m_hWnd, WM_B, i, 20}));
    }
    EXPECT_EQ(PostedMessageCount(), 0);
}

TEST_F(QueueOrder, MessagesPostedByAHandlerComeAfterThoseAlreadyWaiting)
{
    std::vector<Seen> log;
    RecorderWnd w(&log);
    w.onMessage = [&](UINT m, WPARAM, LPARAM) -> LRESULT {
        if (m == WM_A) w.PostMessage(WM_C);
        return 0;
    };
    w.PostMessage(WM_A);
    w.PostMessage(WM_B);
    PumpPending();
    std::vector<UINT> order;
    for (auto& s : log) order.push_back(s.message);
    EXPECT_EQ(order, (std::vector<UINT>{WM_A, WM_B, WM_C}));
}

TEST_F(QueueOrder, SendMessageRunsTheHandlerAtOnceAndReturnsItsResult)
{
    std::vector<Seen> log;
    RecorderWnd w(&log);
    w.onMessage = [](UINT m, WPARAM wp, LPARAM) -> LRESULT { return m == WM_A ? static_cast<LRESULT>(wp * 2) : 0; };
    w.PostMessage(WM_B);
    EXPECT_EQ(SendMessage(w.m_hWnd, WM_A, 21, 0), 42);
    ASSERT_EQ(log.size(), 1u) << "the posted message must still wait";
    EXPECT_EQ(log[0].message, WM_A);
    EXPECT_EQ(PostedMessageCount(), 1);
}

TEST_F(QueuePeek, PeekWithoutRemovalLeavesTheMessageInPlace)
{
    std::vector<Seen> log;
    RecorderWnd w(&log);
    w.PostMessage(WM_A, 1, 2);
    w.PostMessage(WM_B, 3, 4);
    MSG m;
    ASSERT_TRUE(PeekMessage(&m, 0, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.message, WM_A);
    ASSERT_TRUE(PeekMessage(&m, 0, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.message, WM_A) << "a second look sees the same message";
    EXPECT_EQ(m.hwnd, w.m_hWnd);
    EXPECT_EQ(m.wParam, 1u);
    EXPECT_EQ(m.lParam, 2);
    EXPECT_EQ(PostedMessageCount(), 2);
    EXPECT_TRUE(log.empty()) << "peeking dispatches nothing";

    ASSERT_TRUE(PeekMessage(&m, 0, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_A);
    ASSERT_TRUE(PeekMessage(&m, 0, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_B);
    EXPECT_FALSE(PeekMessage(&m, 0, 0, 0, PM_REMOVE));
}

TEST_F(QueuePeek, WindowFilterSeesOnlyThatWindowAndLeavesTheRestInOrder)
{
    std::vector<Seen> log;
    RecorderWnd a(&log), b(&log);
    a.PostMessage(WM_A, 1);
    b.PostMessage(WM_B, 2);
    a.PostMessage(WM_C, 3);
    b.PostMessage(WM_D, 4);
    MSG m;
    ASSERT_TRUE(PeekMessage(&m, b.m_hWnd, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.message, WM_B);
    ASSERT_TRUE(PeekMessage(&m, b.m_hWnd, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_B);
    ASSERT_TRUE(PeekMessage(&m, b.m_hWnd, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_D);
    EXPECT_FALSE(PeekMessage(&m, b.m_hWnd, 0, 0, PM_REMOVE)) << "a's messages are not b's";

    PumpPending();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], (Seen{a.m_hWnd, WM_A, 1, 0}));
    EXPECT_EQ(log[1], (Seen{a.m_hWnd, WM_C, 3, 0}));
}

TEST_F(QueuePeek, MessageRangeFilterSeesOnlyItsRangeBoundsIncluded)
{
    std::vector<Seen> log;
    RecorderWnd a(&log), b(&log);
    a.PostMessage(WM_A, 1);
    b.PostMessage(WM_C, 2);
    a.PostMessage(WM_D, 3);
    a.PostMessage(WM_B, 4);
    a.PostMessage(WM_C, 5);
    MSG m;
    // Range WM_B..WM_C, any window: the first WM_C (b), then WM_B, then the second WM_C.
    ASSERT_TRUE(PeekMessage(&m, 0, WM_B, WM_C, PM_REMOVE));
    EXPECT_EQ(m.hwnd, b.m_hWnd);
    EXPECT_EQ(m.wParam, 2u);
    // Window a and the same range together.
    ASSERT_TRUE(PeekMessage(&m, a.m_hWnd, WM_B, WM_C, PM_REMOVE));
    EXPECT_EQ(m.message, WM_B);
    ASSERT_TRUE(PeekMessage(&m, a.m_hWnd, WM_C, WM_C, PM_REMOVE));
    EXPECT_EQ(m.wParam, 5u);
    EXPECT_FALSE(PeekMessage(&m, 0, WM_B, WM_C, PM_NOREMOVE));

    PumpPending();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].message, WM_A);
    EXPECT_EQ(log[1].message, WM_D);
}

TEST_F(QueueQuit, GetMessageDeliversWaitingMessagesThenReturnsFalseWithTheCode)
{
    std::vector<Seen> log;
    RecorderWnd w(&log);
    w.PostMessage(WM_A);
    w.PostMessage(WM_B);
    PostQuitMessage(7);
    MSG m;
    ASSERT_TRUE(GetMessage(&m, 0, 0, 0));
    EXPECT_EQ(m.message, WM_A);
    ASSERT_TRUE(GetMessage(&m, 0, 0, 0));
    EXPECT_EQ(m.message, WM_B);
    EXPECT_FALSE(GetMessage(&m, 0, 0, 0));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 7u);
    EXPECT_FALSE(PeekMessage(&m, 0, 0, 0, PM_NOREMOVE)) << "the quit is taken once";
}

TEST_F(QueueQuit, RunMessageLoopReturnsTheQuitCodeAfterDispatchingWhatCameFirst)
{
    std::vector<Seen> log;
    RecorderWnd w(&log);
    w.onMessage = [](UINT m, WPARAM wp, LPARAM) -> LRESULT {
        if (m == WM_B) PostQuitMessage(static_cast<int>(wp));
        return 0;
    };
    w.PostMessage(WM_A);
    w.PostMessage(WM_B, 3);
    w.PostMessage(WM_C);
    EXPECT_EQ(RunMessageLoop(), 3);
    std::vector<UINT> order;
    for (auto& s : log) order.push_back(s.message);
    EXPECT_EQ(order, (std::vector<UINT>{WM_A, WM_B, WM_C}));
}

TEST_F(QueueQuit, QuitIsSeenOnlyByUnfilteredRetrieval)
{
    std::vector<Seen> log;
    RecorderWnd w(&log);
    PostQuitMessage(1);
    MSG m;
    EXPECT_FALSE(PeekMessage(&m, w.m_hWnd, 0, 0, PM_REMOVE));
    ASSERT_TRUE(PeekMessage(&m, 0, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.message, WM_QUIT);
    ASSERT_TRUE(PeekMessage(&m, 0, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_FALSE(PeekMessage(&m, 0, 0, 0, PM_REMOVE));
}

// Two threads post while the user-interface thread sleeps in its loop: every message
// arrives, and each thread's messages in the order it posted them.
TEST_F(QueueThreads, PostsFromOtherThreadsArriveInOrderAndWakeTheLoop)
{
    constexpr int kPerThread = 2000;
    std::vector<Seen> log;
    RecorderWnd w(&log);
    RecorderWnd watchdog(&log);
    int received = 0;
    w.onMessage = [&](UINT, WPARAM, LPARAM) -> LRESULT {
        if (++received == 2 * kPerThread) PostQuitMessage(0);
        return 0;
    };
    watchdog.onMessage = [](UINT m, WPARAM, LPARAM) -> LRESULT {
        if (m == WM_TIMER) PostQuitMessage(99);
        return 0;
    };
    watchdog.SetTimer(1, 20000);

    std::atomic<bool> go{false};
    auto poster = [&](UINT msg) {
        while (!go) std::this_thread::yield();
        // A pause first, so the loop is asleep when the first post comes.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        for (int i = 0; i < kPerThread; ++i) {
            PostMessage(w.m_hWnd, msg, static_cast<WPARAM>(i), 0);
            if (i % 500 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    };
    std::thread t1(poster, WM_A), t2(poster, WM_B);
    go = true;
    int code = RunMessageLoop();
    t1.join();
    t2.join();
    EXPECT_EQ(code, 0) << "the loop did not wake for the posts";

    WPARAM nextA = 0, nextB = 0;
    for (auto& s : log) {
        if (s.hwnd != w.m_hWnd) continue;
        if (s.message == WM_A) {
            EXPECT_EQ(s.wParam, nextA++);
        } else if (s.message == WM_B) {
            EXPECT_EQ(s.wParam, nextB++);
        }
    }
    EXPECT_EQ(nextA, static_cast<WPARAM>(kPerThread));
    EXPECT_EQ(nextB, static_cast<WPARAM>(kPerThread));
}

TEST_F(QueueDeadWindows, MessagesForADestroyedWindowAreDroppedOthersStillArrive)
{
    std::vector<Seen> log;
    RecorderWnd gone(&log), alive(&log);
    HWND goneHandle = gone.m_hWnd;
    gone.PostMessage(WM_A);
    alive.PostMessage(WM_B);
    gone.PostMessage(WM_C);
    gone.DestroyWindow();
    log.clear();  // WM_DESTROY
    EXPECT_TRUE(PostMessage(goneHandle, WM_D, 0, 0)) << "posting to a dead handle succeeds";
    EXPECT_EQ(PumpPending(), 4);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], (Seen{alive.m_hWnd, WM_B, 0, 0}));
    EXPECT_EQ(SendMessage(goneHandle, WM_A, 0, 0), 0);
    EXPECT_EQ(CWnd::FromHandle(goneHandle), nullptr);
}

TEST_F(QueueDeadWindows, MessagesForAWindowWhoseObjectWasDeletedAreDropped)
{
    std::vector<Seen> log;
    auto w = std::make_unique<RecorderWnd>(&log);
    HWND h = w->m_hWnd;
    w->PostMessage(WM_A);
    w->SetTimer(1, 10);
    w.reset();
    PostMessage(h, WM_B, 0, 0);
    PumpPending();
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(MsUntilNextTimer(), -1) << "the deleted window's timer must go with it";
}

TEST_F(QueueDeadWindows, HandlesAreNeverReused)
{
    std::vector<Seen> log;
    HWND first;
    {
        RecorderWnd w(&log);
        first = w.m_hWnd;
        w.PostMessage(WM_A);
    }
    RecorderWnd next(&log);
    EXPECT_NE(next.m_hWnd, first);
    PumpPending();
    EXPECT_TRUE(log.empty()) << "a message for the old window must not reach a new one";
}

// A handler runs its own PeekMessage/DispatchMessage loop (as the program's long steps
// do): waiting messages are dispatched from inside it in order, and the outer loop
// goes on with what is left.
TEST_F(QueueNested, NestedPumpInsideAHandlerKeepsTheOrder)
{
    std::vector<Seen> log;
    RecorderWnd w(&log);
    std::vector<std::string> trace;
    w.onMessage = [&](UINT m, WPARAM wp, LPARAM) -> LRESULT {
        trace.push_back("msg " + std::to_string(m - WM_USER) + "." + std::to_string(wp) + " depth " +
                        std::to_string(DispatchDepth()));
        if (m == WM_A) {
            w.PostMessage(WM_D, 0);
            MSG msg;
            while (PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessage(&msg);
            }
            trace.push_back("end of nested pump");
        }
        return 0;
    };
    w.PostMessage(WM_A, 0);
    w.PostMessage(WM_B, 0);
    w.PostMessage(WM_C, 0);
    PumpPending();
    w.PostMessage(WM_B, 1);
    PumpPending();
    EXPECT_EQ(trace, (std::vector<std::string>{"msg 1.0 depth 1", "msg 2.0 depth 2", "msg 3.0 depth 2",
                                               "msg 10.0 depth 2", "end of nested pump", "msg 2.1 depth 1"}));
}

// A nested pump may dispatch a message whose handler destroys its own window; the
// window stays intact until the outermost loop runs again.
TEST_F(QueueNested, WindowDestroyedInsideANestedPumpIsFreedOnlyByTheOuterLoop)
{
    SampleResources res;
    CDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_SAMPLE));
    WindowWatch window(&dlg);
    ASSERT_TRUE(window.Found());

    std::vector<Seen> log;
    RecorderWnd w(&log);
    bool aliveAfterNested = false;
    w.onMessage = [&](UINT m, WPARAM, LPARAM) -> LRESULT {
        if (m == WM_A) {
            w.PostMessage(WM_B);
            MSG msg;
            while (PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
            aliveAfterNested = !window.Freed();
        } else if (m == WM_B) {
            dlg.DestroyWindow();
        }
        return 0;
    };
    w.PostMessage(WM_A);
    PumpPending();
    EXPECT_EQ(dlg.m_hWnd, 0u);
    EXPECT_TRUE(aliveAfterNested) << "freed while a handler was still on the stack";
    EXPECT_TRUE(window.Freed()) << "the outermost loop must free it";
}

}  // namespace
