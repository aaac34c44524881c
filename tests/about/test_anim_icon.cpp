// CAnimIcon on a window that records every icon it is given, on a manual clock: what a
// tick shows when the list has one icon or none, and the timer behind the ticks. (The
// six-frame order and timing are checked on the real About box.)
#include "about_pump.h"

#include "res/resource.h"
#include "ui/AnimIcon.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace {

class IconRecorder : public IWindowImpl {
public:
    LRESULT Send(UINT message, WPARAM wParam, LPARAM) override
    {
        if (message == STM_SETICON)
            sets.emplace_back(GetClock()->NowMs() - origin, static_cast<UINT>(wParam));
        else if (message != WM_TIMER)
            ++others;  // a tick's default processing is expected
        return 0;
    }
    void Enable(bool) override {}
    bool IsEnabled() const override { return true; }
    void Show(bool) override {}
    bool IsVisible() const override { return true; }
    void SetFocus() override {}
    bool HasFocus() const override { return false; }
    void BringToTop() override {}
    void Destroy() override {}

    std::int64_t origin = 0;
    std::vector<std::pair<std::int64_t, UINT>> sets;  // (ms since origin, icon id)
    int others = 0;
};

using Sets = std::vector<std::pair<std::int64_t, UINT>>;

class AnimIconTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetMessageQueue();
        SetClock(&m_clock);
        QbxRegisterResources();
        m_recorder.origin = m_clock.NowMs();
        ASSERT_TRUE(m_anim.CreateHandleOnly());
        m_anim.PlatformAttach(m_anim.m_hWnd, &m_recorder, 0, IDC_ANIM);
    }
    void TearDown() override
    {
        m_anim.DestroyWindow();
        ResetMessageQueue();
        SetClock(nullptr);
    }
    ManualClock m_clock;
    IconRecorder m_recorder;
    CAnimIcon m_anim;
};

TEST_F(AnimIconTest, ASingleIconIsSetAgainAtEveryTick)
{
    m_anim.AddIcon(141);
    m_anim.Start(100);
    PumpManual(m_clock, 350);
    EXPECT_EQ(m_recorder.sets, (Sets{{100, 141}, {200, 141}, {300, 141}}));
}

TEST_F(AnimIconTest, AnEmptyListShowsNothingAndChangesNothing)
{
    m_anim.Start(100);
    PumpManual(m_clock, 1000);
    EXPECT_TRUE(m_recorder.sets.empty());
    EXPECT_EQ(m_recorder.others, 0);
    EXPECT_EQ(m_anim.m_nFrame, 0);
    // The ticks went on: an icon added now plays from the next one.
    m_anim.AddIcon(142);
    PumpManual(m_clock, 100);
    EXPECT_EQ(m_recorder.sets, (Sets{{1100, 142}}));
}

TEST_F(AnimIconTest, TicksAreTimerOneOnTheControlReArmedAfterEachFrameUntilTheWindowGoes)
{
    m_anim.AddIcon(140);
    m_anim.AddIcon(9999);  // no such icon resource: the control is cleared
    m_anim.Start(200);
    m_clock.Advance(200);
    MSG msg;
    ASSERT_TRUE(PeekMessage(&msg, 0, WM_TIMER, WM_TIMER, PM_NOREMOVE));
    EXPECT_EQ(msg.hwnd, m_anim.m_hWnd);
    EXPECT_EQ(msg.wParam, 1u);

    // A tick handled late: the next frame is one interval after it.
    m_clock.Advance(150);
    PumpManual(m_clock, 200);
    EXPECT_EQ(m_recorder.sets, (Sets{{350, 140}, {550, 0}}));

    EXPECT_EQ(m_anim.SendMessage(WM_ERASEBKGND, 0, 0), FALSE);
    EXPECT_EQ(m_recorder.others, 0) << "nothing is erased between frames";

    m_anim.DestroyWindow();
    EXPECT_EQ(MsUntilNextTimer(), -1);
    PumpManual(m_clock, 1000);
    EXPECT_EQ(m_recorder.sets.size(), 2u);
}

}  // namespace
