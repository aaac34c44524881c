// A blocking socket call holds the user's input back: Esc and the close box of a dialog
// that registered a close request post that request at once; other keys, and the close
// box of a dialog without one, wait and arrive after the call, in order.
#include "platform_fixture.h"
#include "user_input.h"

namespace {

constexpr UINT WM_CLOSE_REQUEST = WM_USER + 7;

class BlockingWait : public PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        ASSERT_TRUE(withRequest.Create(IDD_SAMPLE));
        withRequest.onCancel = [] {};
        withRequest.SetBlockingCloseRequest(frame.m_hWnd, WM_CLOSE_REQUEST, 0, 2);
    }
    void TearDown() override
    {
        if (blocking) GetEventBackend()->EndBlockingCall();
        withRequest.DestroyWindow();
        PlatformTest::TearDown();
    }

    // Waits as a blocking socket call does, on no socket, until pred holds (about 5 s at
    // most: what is checked is the outcome, never how soon it came).
    bool WaitBlocked(const std::function<bool()>& pred)
    {
        for (int i = 0; i < 500 && !pred(); ++i) GetEventBackend()->WaitForSocket(kNoSocketHandle, false, 10);
        return pred();
    }
    // Runs the queue as the program's loops do until pred holds (about 5 s at most).
    bool PumpUntilSeen(const std::function<bool()>& pred)
    {
        for (int i = 0; i < 500 && !pred(); ++i) {
            PumpPending();
            LetInputArrive();
        }
        return pred();
    }
    bool RequestQueued()
    {
        MSG m;
        return PeekMessage(&m, frame.m_hWnd, WM_CLOSE_REQUEST, WM_CLOSE_REQUEST, PM_NOREMOVE) && m.lParam == 2;
    }
    void Begin()
    {
        GetEventBackend()->BeginBlockingCall();
        blocking = true;
    }
    void End()
    {
        GetEventBackend()->EndBlockingCall();
        blocking = false;
    }

    SampleResources res;
    std::vector<Seen> log;
    RecorderWnd frame{&log};
    SampleDlg withRequest;
    bool blocking = false;
};

TEST_F(BlockingWait, EscPostsTheCloseRequestAndOtherKeysArriveAfterTheCall)
{
    Begin();
    QueueKey(&withRequest, IDC_NAME, UserKey::Space);
    QueueKey(&withRequest, IDC_NAME, UserKey::Escape);
    ASSERT_TRUE(WaitBlocked([&] { return RequestQueued(); })) << "Esc did not end the wait";
    EXPECT_EQ(ShownText(&withRequest, IDC_NAME), "") << "a key reached the dialog during the call";
    EXPECT_EQ(withRequest.cancels, 0);
    End();
    EXPECT_TRUE(PumpUntilSeen([&] { return ShownText(&withRequest, IDC_NAME) == " "; }))
        << "the held key was lost: \"" << ShownText(&withRequest, IDC_NAME) << "\"";
    EXPECT_EQ(withRequest.cancels, 0) << "the Esc taken as the close request must not cancel the dialog too";
}

TEST_F(BlockingWait, CloseBoxPostsTheCloseRequestOrWaitsForTheEndOfTheCall)
{
    SampleDlg other;  // registered no close request
    other.onCancel = [] {};
    ASSERT_TRUE(other.Create(IDD_SAMPLE));
    Begin();
    QueueCloseBox(&other);
    QueueCloseBox(&withRequest);
    ASSERT_TRUE(WaitBlocked([&] { return RequestQueued(); })) << "the close box did not end the wait";
    EXPECT_EQ(other.cancels, 0) << "a close box reached a dialog during the call";
    EXPECT_EQ(withRequest.cancels, 0);
    End();
    EXPECT_TRUE(PumpUntilSeen([&] { return other.cancels == 1; })) << "the held close box was lost";
    EXPECT_EQ(withRequest.cancels, 0);
    EXPECT_TRUE(other.IsWindowVisible()) << "only a handler may close the dialog";
}

}  // namespace
