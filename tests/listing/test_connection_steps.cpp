// The connection phase and the job sending loop, on a scripted network and a manual
// clock: time-outs and retries run in milliseconds of real time.
#include "app_harness.h"
#include "posted_steps.h"

#include "link/JobLanguage.h"
#include "platform/clock.h"
#include "platform/msgqueue.h"
#include "platform/scripted_socket.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace {

class ScriptedNetworkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetClock(&clock);
        SetSocketIoFactory(script.Factory());
    }
    void TearDown() override
    {
        SetSocketIoFactory({});
        SetClock(nullptr);
    }
    // The program started, with user 5 and its socket connected to the scripted printer.
    void StartConnected(AppHarness& h, CMainFrame** frame)
    {
        ASSERT_TRUE(h.Start());
        CMainFrame* f = h.Frame();
        std::strcpy(f->m_szUserID, "5");
        script.QueueConnect(0);
        ASSERT_TRUE(f->m_socket.Create(0, SOCK_STREAM, ""));
        ASSERT_TRUE(f->m_socket.ConnectWithTimeout("127.0.0.1", 3102, 2000));
        *frame = f;
    }
    std::string Status(AppHarness& h)
    {
        char buf[64];
        h.MainDlg()->GetDlgItemText(1035, buf, sizeof buf);
        return buf;
    }

    ManualClock clock;
    ScriptedSocketScript script;
};

}  // namespace

TEST_F(ScriptedNetworkTest, SilentAddressIsRetriedEveryThreeSecondsWithBlinkingStatus)
{
    AppHarness h("[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=3102\n");
    ASSERT_TRUE(h.Start());
    AppHarness::TypeInto(h.MainDlg(), 1001, "5");
    PostedSteps log;
    std::int64_t t0 = clock.NowMs();
    AppHarness::Click(h.MainDlg(), IDOK);
    std::vector<std::string> statuses;
    for (int i = 0; i < 24; ++i) {
        h.PumpFor(500);
        std::string s = Status(h);
        if (statuses.empty() || statuses.back() != s) statuses.push_back(s);
    }
    // Attempts at 0, 3000, 6000, 9000 ms (2000 ms time-out, then a 1000 ms pause).
    const std::vector<std::int64_t> connectAt = log.TimesOf(QBX_CONNECT);
    ASSERT_GE(connectAt.size(), 4u);
    for (std::size_t i = 1; i < 4; ++i) {
        std::int64_t gap = connectAt[i] - connectAt[i - 1];
        EXPECT_GE(gap, 3000);
        EXPECT_LE(gap, 3100);
    }
    EXPECT_LE(connectAt[0] - t0, 100);
    // The status line alternates between the text and nothing.
    int shown = 0, blank = 0;
    for (auto& s : statuses) (s == "Connecting to Printer" ? shown : blank)++;
    EXPECT_GE(shown, 2);
    EXPECT_GE(blank, 2);
    EXPECT_TRUE(h.prompts.Boxes().empty());

    // The printer answers at last: the listing goes on.
    script.QueueConnect(0);
    script.QueueReceive("DXR/Images/5(001)(20000101000000).TIF\t10\n%%%");
    h.PumpFor(4000);
    CMainFrame* f = h.Frame();
    ASSERT_NE(f->m_pDirectory, nullptr);
    EXPECT_EQ(f->m_pDirectory->count, 1);
    EXPECT_NE(script.SentBytes().find("(DXR/Images/5*)"), std::string::npos);
}

TEST_F(ScriptedNetworkTest, AlreadyConnectedCountsAsConnected)
{
    AppHarness h("[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=3102\n");
    ASSERT_TRUE(h.Start());
    AppHarness::TypeInto(h.MainDlg(), 1001, "5");
    script.QueueConnect(-WSAEISCONN);
    script.QueueReceive("***");
    AppHarness::Click(h.MainDlg(), IDOK);
    h.PumpFor(3000);
    ASSERT_EQ(h.prompts.Boxes().size(), 1u);
    EXPECT_EQ(h.prompts.Boxes()[0].text, "No files matching this User ID");
    EXPECT_FALSE(h.Frame()->m_bClosing);
}

TEST_F(ScriptedNetworkTest, SendThatKeepsTimingOutLeavesAWaitingCancelQueued)
{
    AppHarness h("[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=3102\n");
    CMainFrame* f = nullptr;
    ASSERT_NO_FATAL_FAILURE(StartConnected(h, &f));
    // The printer takes nothing for a long time.
    script.QueueSend(1, clock.NowMs() + 60000);
    f->PostMessage(WM_QBX_IP_OP, QBX_CANCEL, 1);
    std::int64_t before = clock.NowMs();
    EXPECT_FALSE(f->SendJob(JOB_DIR));
    EXPECT_GE(clock.NowMs() - before, 1000);
    EXPECT_LT(clock.NowMs() - before, 2000);
    MSG m;
    ASSERT_TRUE(PeekMessage(&m, 0, WM_QBX_IP_OP, WM_QBX_IP_OP, PM_NOREMOVE));
    EXPECT_EQ(m.wParam, static_cast<WPARAM>(QBX_CANCEL));
    EXPECT_EQ(m.lParam, 1);
    EXPECT_TRUE(h.prompts.Boxes().empty());
}

TEST_F(ScriptedNetworkTest, SlowPrinterGetsTheWholeJobAgainWhileTheStatusBlinks)
{
    AppHarness h("[NetInfo]\nRemoteIP=127.0.0.1\nRemotePort=3102\n");
    CMainFrame* f = nullptr;
    ASSERT_NO_FATAL_FAILURE(StartConnected(h, &f));
    // Two sends that take nothing in time, then the printer takes everything.
    script.QueueSend(1, clock.NowMs() + 1500);
    script.QueueSend(1, clock.NowMs() + 2600);
    f->m_nBlink = 0;
    EXPECT_TRUE(f->SendJob(JOB_DIR));
    EXPECT_EQ(f->m_nBlink, 0);  // shown once, cleared once
    std::string sent = script.SentBytes();
    char job[2048];
    int len = ComposeJob(job, sizeof job, JOB_DIR, "5", nullptr);
    // Whatever went in pieces before, the last attempt sent the job whole from its start.
    ASSERT_GE(sent.size(), static_cast<std::size_t>(len));
    EXPECT_EQ(sent.substr(sent.size() - len), std::string(job, len));
    // The second attempt got one byte through before its time-out; the third sent the job whole.
    EXPECT_EQ(sent.size(), static_cast<std::size_t>(len) + 1);
}
