// The socket on a scripted transport and a manual clock (time-outs in no real time),
// the error table, and the start-up of the sockets layer.
#include "socket_fixture.h"

#include "app/QbxMessages.h"
#include "link/PrinterSocket.h"
#include "platform/clock.h"
#include "platform/msgqueue.h"
#include "platform/scripted_socket.h"
#ifndef _WIN32
#include "platform/posix/socket_errno.h"

#include <netdb.h>
#endif

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>

namespace {

class ScriptedSocketTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetMessageQueue();
        SetClock(&m_clock);
        SetSocketIoFactory(m_script.Factory());
        ASSERT_TRUE(AfxSocketInit());
        m_socket.AttachToMainWindow();
        m_realStart = std::chrono::steady_clock::now();
    }
    void TearDown() override
    {
        m_socket.Close();
        SetSocketIoFactory(nullptr);
        ResetMessageQueue();
        SetClock(nullptr);
        // Everything here runs on the manual clock: no real waiting.
        EXPECT_LT(std::chrono::steady_clock::now() - m_realStart, std::chrono::milliseconds(500));
    }
    void Connect()
    {
        m_script.QueueConnect(0);
        ASSERT_TRUE(m_socket.Create(0, SOCK_STREAM, ""));
        ASSERT_TRUE(m_socket.ConnectWithTimeout("10.1.2.3", 9100, 2000));
    }

    ManualClock m_clock;
    ScriptedSocketScript m_script;
    TestShell m_shell;
    CPrinterSocket m_socket;
    char m_buf[2048] = {};
    std::chrono::steady_clock::time_point m_realStart;
};

TEST_F(ScriptedSocketTest, ReceiveTimesOutAfterItsTimeOnTheClock)
{
    Connect();
    std::int64_t t0 = m_clock.NowMs();
    EXPECT_EQ(m_socket.ReceiveWithTimeout(m_buf, sizeof m_buf, 1000, 0), -1);
    EXPECT_EQ(WSAGetLastError(), 10060);
    EXPECT_EQ(m_clock.NowMs() - t0, 1000);
}

TEST_F(ScriptedSocketTest, DataThatArrivesBeforeTheTimeOutIsReceived)
{
    Connect();
    std::int64_t t0 = m_clock.NowMs();
    m_script.QueueReceive("abcdef", t0 + 300);
    EXPECT_EQ(m_socket.ReceiveWithTimeout(m_buf, 4, 1000, 0), 4);
    EXPECT_EQ(m_clock.NowMs() - t0, 300);
    EXPECT_EQ(m_socket.ReceiveWithTimeout(m_buf + 4, 4, 1000, 0), 2);
    EXPECT_EQ(std::string(m_buf, 6), "abcdef");
    // The timer of the first call is gone: the next wait gets its full time.
    m_script.QueueReceive("", t0 + 300 + 900);
    EXPECT_EQ(m_socket.ReceiveWithTimeout(m_buf, sizeof m_buf, 1000, 0), 0);
}

TEST_F(ScriptedSocketTest, ConnectTimesOutAndTheNextAttemptFindsItDone)
{
    std::int64_t t0 = m_clock.NowMs();
    ASSERT_TRUE(m_socket.Create(0, SOCK_STREAM, ""));
    EXPECT_FALSE(m_socket.ConnectWithTimeout("10.1.2.3", 9100, 2000));
    EXPECT_EQ(WSAGetLastError(), 10060);
    EXPECT_EQ(m_clock.NowMs() - t0, 2000);
    // The printer answers late; the retry on the same socket waits for that connection.
    m_script.QueueConnect(0, t0 + 2500);
    EXPECT_TRUE(m_socket.ConnectWithTimeout("10.1.2.3", 9100, 2000));
    EXPECT_EQ(m_clock.NowMs() - t0, 2500);
    EXPECT_FALSE(m_socket.ConnectWithTimeout("10.1.2.3", 9100, 2000));
    EXPECT_EQ(WSAGetLastError(), QBX_WSAEISCONN);
}

TEST_F(ScriptedSocketTest, TransportErrorsReachTheCaller)
{
    m_script.QueueConnect(-WSAECONNREFUSED);
    ASSERT_TRUE(m_socket.Create(0, SOCK_STREAM, ""));
    EXPECT_FALSE(m_socket.ConnectWithTimeout("10.1.2.3", 9100, 2000));
    EXPECT_EQ(WSAGetLastError(), 10061);
    m_socket.Close();

    m_script.QueueOpen(-WSAEMFILE);
    EXPECT_FALSE(m_socket.Create(0, SOCK_STREAM, ""));
    EXPECT_EQ(WSAGetLastError(), 10024);

    Connect();
    m_script.QueueReceiveError(WSAECONNRESET);
    EXPECT_EQ(m_socket.ReceiveWithTimeout(m_buf, sizeof m_buf, 1000, 0), -1);
    EXPECT_EQ(WSAGetLastError(), 10054);
    m_script.QueueSend(-WSAESHUTDOWN);
    EXPECT_EQ(m_socket.SendWithTimeout("x", 1000, 0), -1);
    EXPECT_EQ(WSAGetLastError(), 10058);
}

TEST_F(ScriptedSocketTest, SendGoesOnUntilEveryByteIsTaken)
{
    Connect();
    std::int64_t t0 = m_clock.NowMs();
    m_script.QueueSend(3);
    m_script.QueueSend(2, t0 + 200);  // the device is slow to take more
    EXPECT_EQ(m_socket.SendWithTimeout("hello world", 1000, 0), 11);
    EXPECT_EQ(m_script.SentBytes(), "hello world");
    EXPECT_EQ(m_clock.NowMs() - t0, 200);
}

TEST_F(ScriptedSocketTest, EachJobOpensAndClosesItsOwnTransport)
{
    for (int job = 0; job < 2; ++job) {
        Connect();
        m_socket.ShutDown(2);
        m_socket.Close();
    }
    EXPECT_EQ(m_script.OpenCount(), 2);
    EXPECT_EQ(m_script.CloseCount(), 2);
    EXPECT_EQ(m_script.Shutdowns(), (std::vector<int>{2, 2}));
}

// ---------------------------------------------------------------------------

#ifndef _WIN32
TEST(SocketErrors, PosixErrorsMapOntoWindowsSocketsNumbers)
{
    EXPECT_EQ(MapSocketErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(MapSocketErrno(ENETUNREACH), 10051);
    EXPECT_EQ(MapSocketErrno(EHOSTUNREACH), 10065);
    EXPECT_EQ(MapSocketErrno(ECONNRESET), 10054);
    EXPECT_EQ(MapSocketErrno(ETIMEDOUT), 10060);
    EXPECT_EQ(MapSocketErrno(EADDRINUSE), 10048);
    EXPECT_EQ(MapSocketErrno(EWOULDBLOCK), 10035);
    EXPECT_EQ(MapSocketErrno(EAGAIN), 10035);
    EXPECT_EQ(MapSocketErrno(ENOMEM), 10055);
    EXPECT_EQ(MapSocketErrno(EPIPE), 10058);
    EXPECT_EQ(MapSocketErrno(0), 0);
    EXPECT_EQ(MapSocketErrno(EXDEV), 10050) << "unknown errors become 'network subsystem failed'";
    EXPECT_EQ(MapAddrInfoError(EAI_NONAME, 0), 11001);
    EXPECT_EQ(MapAddrInfoError(EAI_AGAIN, 0), 11002);
    EXPECT_EQ(MapAddrInfoError(EAI_SYSTEM, ENOBUFS), 10055);
}
#endif

TEST(SocketErrors, SocketsNeedASuccessfulStartUp)
{
    TestShell shell;
    SetSocketInitFailure(true);
    EXPECT_FALSE(AfxSocketInit());
    CPrinterSocket socket;
    EXPECT_FALSE(socket.Create(0, SOCK_STREAM, ""));
    EXPECT_EQ(WSAGetLastError(), 10093);
    SetSocketInitFailure(false);
    EXPECT_TRUE(AfxSocketInit());
    EXPECT_TRUE(socket.Create(0, SOCK_STREAM, ""));
}

}  // namespace
