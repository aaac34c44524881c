// Input while a socket call blocks, on a real X server: Esc and the caption's close box
// of the main dialog end the call (the close request, not the time-out), any other key
// waits and arrives after the call, in order. The keys and clicks are real X input
// (xdotool through the server): keys and button clicks go to the dialog's window by id,
// the close box is clicked on the window manager's frame. Nothing here waits for the
// window manager to activate a window: on a busy machine that can take longer than any
// test should guess.
#include "retrieval_fixture.h"

#include "retrieval/ProgressDlg.h"

#include "platform/socket.h"

#include "xdo_input.h"

#include <QTimer>

namespace {

class BlockingInputTest : public ListingTest {
protected:
    void SetUp() override
    {
        if (!OnXcb()) GTEST_SKIP() << "needs a real X server (run through run-on-xvfb.sh)";
        qbxsim::Knobs k;
        k.silent = true;
        StartPrinter(k);
    }

    // The program up with the main dialog shown, its socket connected to a printer
    // that never answers.
    void StartConnected(AppHarness& h)
    {
        ASSERT_TRUE(h.Start());
        ASSERT_TRUE(WaitUntilShown(h.MainDlg()->m_hWnd, [&] { h.PumpFor(50); }));
        CMainFrame* f = h.Frame();
        ASSERT_TRUE(f->m_socket.Create(0, SOCK_STREAM, ""));
        ASSERT_TRUE(f->m_socket.ConnectWithTimeout("127.0.0.1", static_cast<UINT>(sim->Port()), 2000));
    }

    // A receive with a long time-out; act runs from a timer while it waits.
    int BlockedReceive(AppHarness& h, UINT ms, const std::function<void()>& act)
    {
        QTimer::singleShot(300, act);
        char buf[256];
        int n = h.Frame()->m_socket.ReceiveWithTimeout(buf, sizeof buf, ms, 0);
        lastError = WSAGetLastError();
        return n;
    }

    // The call was ended by the main dialog's close request: the request waits in the
    // queue for the frame, and the time-out timer was stopped by the cancel (a time-out
    // leaves its id behind).
    void ExpectEndedByCloseRequest(AppHarness& h, int n)
    {
        EXPECT_EQ(n, -1);
        EXPECT_EQ(lastError, 10060);
        EXPECT_EQ(h.Frame()->m_socket.m_nTimerID, 0u) << "the call ran into its time-out instead";
        MSG m;
        ASSERT_TRUE(PeekMessage(&m, 0, WM_QBX_MAINDLG, WM_QBX_MAINDLG, PM_NOREMOVE)) << "no close request queued";
        EXPECT_EQ(m.lParam, 2);
    }

    int lastError = 0;
};

TEST_F(BlockingInputTest, EscInTheMainDialogEndsABlockedReceiveAndTheProgram)
{
    AppHarness h(Ini());
    ASSERT_NO_FATAL_FAILURE(StartConnected(h));
    bool sent = false;
    int n = BlockedReceive(h, 60000, [&] { sent = XdoTo(h.MainDlg()->m_hWnd, "key", "Escape"); });
    ASSERT_TRUE(sent);
    ExpectEndedByCloseRequest(h, n);
    EXPECT_TRUE(h.PumpUntilExit(10000));
}

TEST_F(BlockingInputTest, CloseBoxOfTheMainDialogEndsABlockedReceiveAndTheProgram)
{
    AppHarness h(Ini());
    ASSERT_NO_FATAL_FAILURE(StartConnected(h));
    bool clicked = false;
    int n = BlockedReceive(h, 60000, [&] { clicked = ClickCloseBox(h.MainDlg()->m_hWnd); });
    ASSERT_TRUE(clicked);
    ExpectEndedByCloseRequest(h, n);
    EXPECT_TRUE(h.PumpUntilExit(10000));
}

TEST_F(BlockingInputTest, KeysTypedDuringABlockedReceiveArriveAfterItInOrder)
{
    AppHarness h(Ini());
    ASSERT_NO_FATAL_FAILURE(StartConnected(h));
    auto userID = [&] {
        char text[16];
        h.MainDlg()->GetDlgItemText(1001, text, sizeof text);
        return std::string(text);
    };
    bool typed = false;
    std::string during = "<not looked at>";
    QTimer::singleShot(900, [&] { during = userID(); });
    int n = BlockedReceive(h, 1500, [&] { typed = XdoTo(h.MainDlg()->m_hWnd, "type", "--delay 40 483"); });
    ASSERT_TRUE(typed);
    // The receive ran to its time-out: the keys did not end it.
    EXPECT_EQ(n, -1);
    EXPECT_EQ(lastError, 10060);
    EXPECT_NE(h.Frame()->m_socket.m_nTimerID, 0u);
    EXPECT_EQ(during, "") << "a key reached the dialog during the call";
    h.PumpUntil([&] { return userID().size() >= 3; }, 30000);
    EXPECT_EQ(userID(), "483");
    EXPECT_FALSE(h.Frame()->m_bClosing);
}

class BlockingCancelTest : public RetrievalTest {
protected:
    void SetUp() override
    {
        if (!OnXcb()) GTEST_SKIP() << "needs a real X server (run through run-on-xvfb.sh)";
    }
};

// Two quick clicks on Cancel while the first file's receive waits: both are held during
// the call and arrive together afterwards; only the first cancels, once. The printer
// keeps the first answer back until the clicks are on their way, however long the
// progress dialog takes to appear.
TEST_F(BlockingCancelTest, TwoClicksOnCancelDuringABlockedReceiveCancelOneFileOnce)
{
    qbxsim::Knobs k;
    k.apply_to = qbxsim::ApplyTo::UploadAnswers;
    k.silent = true;
    StartPrinter(k);
    const std::string a = qbxsim::AddImageOfSize(store, "77", "001", "20000101000000", 3000, 1);
    const std::string b = qbxsim::AddImageOfSize(store, "77", "002", "20000102000000", 3000, 2);
    const std::string out = MakeTempFolder("xcb-cancel");
    AppHarness h(IniWith(false));
    ListFor(h, "77");
    Select(h, {a, b});
    h.prompts.saveAnswers.push_back(out + "/c.TIF");

    bool clicked = false;
    std::string firstDest;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        CMainFrame* f = h.Frame();
        if (clicked || !f || !f->m_pOutFile || !f->m_pProgressDlg || !f->m_pProgressDlg->m_hWnd) return;
        QWidget* dialog = QtWidgetOfHandle(f->m_pProgressDlg->m_hWnd);
        if (!dialog || !IsViewable(dialog->winId())) return;
        clicked = true;
        firstDest = f->m_szDestPath;
        QWidget* button = nullptr;
        const HWND item = f->m_pProgressDlg->GetDlgItem(IDCANCEL)->m_hWnd;
        for (QWidget* w : dialog->findChildren<QWidget*>())
            if (w->property("qbxHwnd").toULongLong() == item) button = w;
        if (!button) return;
        const QPoint at = button->mapToGlobal(button->rect().center());
        Xdo("mousemove " + std::to_string(at.x()) + " " + std::to_string(at.y()) + " click --window " +
            std::to_string(dialog->winId()) + " --repeat 2 --delay 120 1");
        // The next file's answer comes at once.
        sim->SetKnobs({});
    });
    watch.start(50);
    RetrieveAndWait(h, 60000);
    watch.stop();

    ASSERT_TRUE(clicked);
    EXPECT_EQ(std::count(h.traces.begin(), h.traces.end(), std::string("Op Code called with 5, 0\n")), 1);
    EXPECT_EQ(BatchEnds(h), 1);
    // The cancelled copy is gone, the other one is whole, and both come back selected.
    EXPECT_FALSE(Exists(firstDest));
    ASSERT_EQ(FilesIn(out).size(), 1u);
    ASSERT_TRUE(ListShown(h));
    EXPECT_EQ(SelectedPaths(h), (std::set<std::string>{a, b}));
    EXPECT_TRUE(h.prompts.Boxes().empty());
}

}  // namespace
