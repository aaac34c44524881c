// CPrinterSocket against real loopback connections: time-outs, close requests, stray
// timers, errors, data and re-creation for the next job.
#include "socket_fixture.h"

#include "app/QbxMessages.h"
#include "link/PrinterSocket.h"
#include "platform/clock.h"
#include "platform/msgqueue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace {

using Ms = std::chrono::milliseconds;

// Counts the calls of OnMessagePending and notes whether a timer existed meanwhile.
class CountingSocket : public CPrinterSocket {
public:
    BOOL OnMessagePending() override
    {
        ++m_nPendingCalls;
        if (MsUntilNextTimer() >= 0) m_bSawTimer = true;
        return CPrinterSocket::OnMessagePending();
    }
    int m_nPendingCalls = 0;
    bool m_bSawTimer = false;
};

class PrinterSocketTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetMessageQueue();
        ASSERT_TRUE(AfxSocketInit());
        m_socket.AttachToMainWindow();
        ASSERT_EQ(m_socket.m_pTimerWnd, &m_shell.frame);
    }
    void TearDown() override
    {
        m_socket.Close();
        ResetMessageQueue();
    }

    // Creates the socket and connects it to the printer; the printer's end of it.
    PeerHandle Connect(LoopbackPrinter& printer)
    {
        if (!m_socket.Create(0, SOCK_STREAM, "")) return -1;
        if (!m_socket.ConnectWithTimeout("127.0.0.1", printer.Port(), 2000)) return -1;
        return printer.Accept();
    }
    static long long Since(std::chrono::steady_clock::time_point t0)
    {
        return std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - t0).count();
    }

    TestShell m_shell;
    CountingSocket m_socket;
    char m_buf[2048] = {};
};

// ---------------------------------------------------------------------------
// Connection errors

TEST_F(PrinterSocketTest, ConnectionErrorsCarryTheWindowsSocketsNumbers)
{
    LoopbackPrinter refusing(false);
    ASSERT_TRUE(m_socket.Create(0, SOCK_STREAM, ""));
    EXPECT_FALSE(m_socket.ConnectWithTimeout("127.0.0.1", refusing.Port(), 2000));
    EXPECT_EQ(WSAGetLastError(), 10061);
    EXPECT_EQ(MsUntilNextTimer(), -1) << "the time-out timer must be killed after the call";
    m_socket.Close();

    ASSERT_TRUE(m_socket.Create(0, SOCK_STREAM, ""));
    EXPECT_FALSE(m_socket.ConnectWithTimeout("no-such-host.invalid", 9100, 2000));
    EXPECT_EQ(WSAGetLastError(), 10022);
    m_socket.Close();

    EXPECT_FALSE(m_socket.Create(0, SOCK_STREAM, "300.1.2.3"));
    EXPECT_EQ(WSAGetLastError(), 10022);
    EXPECT_TRUE(m_socket.Create(0, SOCK_STREAM, "127.0.0.1"));
}

// ---------------------------------------------------------------------------
// Ways a blocked receive ends

TEST_F(PrinterSocketTest, SilentPrinterTimesOutEveryReceiveAndNothingElseHappens)
{
    LoopbackPrinter printer;
    PeerHandle peer = Connect(printer);
    ASSERT_GE(peer, 0);
    for (int i = 0; i < 2; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(m_socket.ReceiveWithTimeout(m_buf, sizeof m_buf, 1000, 0), -1);
        long long ms = Since(t0);
        EXPECT_EQ(WSAGetLastError(), 10060);
        EXPECT_GE(ms, 900);
        EXPECT_LT(ms, 3000);
        EXPECT_EQ(PostedMessageCount(), 0);
        EXPECT_EQ(MsUntilNextTimer(), -1);
        EXPECT_FALSE(m_socket.IsBlocking());
    }
    // The connection is still good after its waits timed out.
    ASSERT_EQ(LoopbackPrinter::Send(peer, "late"), 4);
    EXPECT_EQ(m_socket.ReceiveWithTimeout(m_buf, sizeof m_buf, 1000, 0), 4);
    EXPECT_EQ(std::string(m_buf, 4), "late");
}

TEST_F(PrinterSocketTest, CloseRequestEndsReceiveAtOnceAndStaysQueued)
{
    LoopbackPrinter printer;
    ASSERT_GE(Connect(printer), 0);
    HWND frame = m_shell.frame.m_hWnd;
    std::thread user([frame] {
        std::this_thread::sleep_for(Ms(200));
        PostMessage(frame, WM_QBX_MAINDLG, 0, 2);
    });
    auto t0 = std::chrono::steady_clock::now();
    int n = m_socket.ReceiveWithTimeout(m_buf, sizeof m_buf, 1000, 0);
    long long ms = Since(t0);
    user.join();

    EXPECT_EQ(n, -1);
    EXPECT_EQ(WSAGetLastError(), 10060);
    EXPECT_GE(ms, 150);
    EXPECT_LT(ms, 600) << "the close request must not wait for the time-out";
    EXPECT_EQ(m_socket.m_nTimerID, 0u);
    EXPECT_EQ(MsUntilNextTimer(), -1);
    MSG msg;
    ASSERT_TRUE(PeekMessage(&msg, 0, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_QBX_MAINDLG);
    EXPECT_EQ(msg.lParam, 2);
    EXPECT_EQ(msg.hwnd, frame);
}

TEST_F(PrinterSocketTest, OkFromMainDialogDoesNotEndTheReceive)
{
    LoopbackPrinter printer;
    PeerHandle peer = Connect(printer);
    ASSERT_GE(peer, 0);
    PostMessage(m_shell.frame.m_hWnd, WM_QBX_MAINDLG, 0, 1);
    std::thread device([peer] {
        std::this_thread::sleep_for(Ms(200));
        (void)LoopbackPrinter::Send(peer, "data");
    });
    int n = m_socket.ReceiveWithTimeout(m_buf, sizeof m_buf, 1000, 0);
    device.join();
    EXPECT_EQ(n, 4);
    EXPECT_EQ(PostedMessageCount(), 1);
}

TEST_F(PrinterSocketTest, TimerOneOfAnotherWindowEndsTheCall)
{
    LoopbackPrinter printer;
    ASSERT_GE(Connect(printer), 0);
    CTestFrame aboutIcon;
    ASSERT_TRUE(aboutIcon.CreateHandleOnly());
    ASSERT_EQ(aboutIcon.SetTimer(SOCKET_TIMER_ID, 150), SOCKET_TIMER_ID);

    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(m_socket.ReceiveWithTimeout(m_buf, sizeof m_buf, 1000, 0), -1);
    EXPECT_EQ(WSAGetLastError(), 10060);
    EXPECT_LT(Since(t0), 600);
}

TEST_F(PrinterSocketTest, UntimedCallStartsNoTimerAndKeepsInterruptedError)
{
    LoopbackPrinter printer;
    ASSERT_GE(Connect(printer), 0);
    HWND frame = m_shell.frame.m_hWnd;
    std::thread user([frame] {
        std::this_thread::sleep_for(Ms(200));
        PostMessage(frame, WM_QBX_MAINDLG, 0, 2);
    });
    int n = m_socket.ReceiveWithTimeout(m_buf, sizeof m_buf, 0, 0);
    user.join();
    EXPECT_EQ(n, -1);
    EXPECT_EQ(WSAGetLastError(), 10004);
    EXPECT_GE(m_socket.m_nPendingCalls, 1);
    EXPECT_FALSE(m_socket.m_bSawTimer);
}

TEST_F(PrinterSocketTest, MessagesLeftQueuedDoNotMakeTheWaitSpin)
{
    LoopbackPrinter printer;
    PeerHandle peer = Connect(printer);
    ASSERT_GE(peer, 0);
    // A step posted for later, and a due tick of another timer, both left alone by the call.
    PostMessage(m_shell.frame.m_hWnd, WM_QBX_IP_OP, QBX_CONNECT, 0);
    CTestFrame other;
    ASSERT_TRUE(other.CreateHandleOnly());
    other.SetTimer(7, 1);
    std::this_thread::sleep_for(Ms(5));
    std::thread device([peer] {
        std::this_thread::sleep_for(Ms(300));
        (void)LoopbackPrinter::Send(peer, "data");
    });

    int n = m_socket.ReceiveWithTimeout(m_buf, sizeof m_buf, 1000, 0);
    device.join();
    EXPECT_EQ(n, 4);
    EXPECT_LT(m_socket.m_nPendingCalls, 20) << "the wait woke again and again for the same messages";
    EXPECT_EQ(PostedMessageCount(), 1);
}

// ---------------------------------------------------------------------------
// Data

TEST_F(PrinterSocketTest, ReceivesDataThenTheEndOfTheConnection)
{
    LoopbackPrinter printer;
    PeerHandle peer = Connect(printer);
    ASSERT_GE(peer, 0);
    ASSERT_EQ(LoopbackPrinter::Send(peer, "@PJL\r\n"), 6);
    EXPECT_EQ(m_socket.ReceiveWithTimeout(m_buf, sizeof m_buf, 1000, 0), 6);
    EXPECT_EQ(std::string(m_buf, 6), "@PJL\r\n");
    LoopbackPrinter::ShutdownSending(peer);
    EXPECT_EQ(m_socket.ReceiveWithTimeout(m_buf, sizeof m_buf, 1000, 0), 0);
}

TEST_F(PrinterSocketTest, SendDeliversEveryByteOfALargeText)
{
    LoopbackPrinter printer;
    PeerHandle peer = Connect(printer);
    ASSERT_GE(peer, 0);
    std::string text(8 * 1024 * 1024, '\0');
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('A' + i % 26);
    std::string got;
    std::thread device([&] { got = LoopbackPrinter::ReadAll(peer); });

    int n = m_socket.SendWithTimeout(text.c_str(), 10000, 0);
    m_socket.ShutDown(2);
    device.join();
    EXPECT_EQ(n, static_cast<int>(text.size()));
    EXPECT_TRUE(got == text) << "received " << got.size() << " of " << text.size() << " bytes";
}

TEST_F(PrinterSocketTest, SameObjectServesOneConnectionPerJob)
{
    LoopbackPrinter printer;
    for (int job = 0; job < 3; ++job) {
        PeerHandle peer = Connect(printer);
        ASSERT_GE(peer, 0) << "job " << job;
        EXPECT_EQ(m_socket.SendWithTimeout("@PJL INFO ID\r\n", 1000, 0), 14);
        m_socket.ShutDown(2);
        m_socket.Close();
        EXPECT_EQ(m_socket.m_hSocket, INVALID_SOCKET);
        EXPECT_EQ(LoopbackPrinter::ReadAll(peer), "@PJL INFO ID\r\n");
    }
    EXPECT_EQ(m_socket.ReceiveWithTimeout(m_buf, sizeof m_buf, 1000, 0), -1);
    EXPECT_EQ(WSAGetLastError(), 10038) << "a closed socket is no socket";
}

}  // namespace
