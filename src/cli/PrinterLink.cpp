// A plain blocking TCP client with deadlines, for the command-line tool.
#include "cli/PrinterLink.h"

#include "cli/Status.h"

#include "platform/resources.h"
#include "platform/socket.h"
#include "platform/wake_wait.h"

#include <algorithm>

volatile std::sig_atomic_t g_nStopSignal = 0;

namespace {

// Made before any stop handler is installed; a handler only wakes it.
WakeWait g_stopWait;

int MsUntil(QbxClock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - QbxClock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

}  // namespace

void RequestStop(int signalNumber)
{
    g_nStopSignal = signalNumber;
    g_stopWait.Wake();
}

void SleepUnlessStopped(int ms)
{
    if (!g_nStopSignal) g_stopWait.Wait(kNoSocketHandle, false, ms);
}

const char* SocketErrorText(int wsaError) { return GetStringRes(static_cast<UINT>(wsaError)); }

bool CPrinterLink::Fail(int wsaError)
{
    m_nLastError = wsaError;
    return false;
}

int CPrinterLink::WaitReady(bool forWrite, int ms)
{
    // A stop request ends the wait early; the caller looks at the stop flag and the deadline.
    if (g_nStopSignal) return 0;
    int r = g_stopWait.Wait(m_io->WaitHandle(), forWrite, ms);
    if (m_pWait) m_pWait->Tick();
    return r;
}

bool CPrinterLink::Connect(const PrinterTarget& target, QbxClock::time_point deadline)
{
    Close();
    SocketAddress remote;
    remote.port = static_cast<std::uint16_t>(target.port);
    if (int err = StartSystemSockets()) return Fail(err);
    if (target.port <= 0 || target.port > 65535 || ResolveIPv4(target.host.c_str(), &remote.ipv4) != 0)
        return Fail(WSAEINVAL);
    SocketAddress local;
    if (!target.bindIP.empty() && !ParseIPv4(target.bindIP.c_str(), &local.ipv4)) return Fail(WSAEADDRNOTAVAIL);

    for (;;) {
        if (g_nStopSignal) return Fail(WSAEINTR);
        m_io = MakeSystemSocketIo();
        if (long r = m_io->Open(SOCK_STREAM, local); r < 0) {
            Close();
            return Fail(r);
        }
        auto attemptEnd = std::min(deadline, QbxClock::now() + std::chrono::milliseconds(kConnectMs));
        long r = m_io->StartConnect(remote);
        while (r == -kSocketWouldBlock) {
            if (g_nStopSignal) {
                Close();
                return Fail(WSAEINTR);
            }
            int left = MsUntil(attemptEnd);
            if (left == 0) break;
            if (WaitReady(true, left) == 0) continue;
            r = m_io->FinishConnect();
        }
        if (r == 0) return true;
        Close();
        if (r != -kSocketWouldBlock) return Fail(r);
        // This attempt timed out: a printer that is only slow to accept gets another
        // until the deadline.
        if (MsUntil(deadline) == 0) return Fail(WSAETIMEDOUT);
    }
}

bool CPrinterLink::SendAll(const char* data, std::size_t len, QbxClock::time_point deadline)
{
    if (!m_io) return Fail(WSAENOTSOCK);
    std::size_t sent = 0;
    while (sent < len) {
        if (g_nStopSignal) return Fail(WSAEINTR);
        long n = m_io->Send(data + sent, len - sent, 0);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && n != -kSocketWouldBlock) return Fail(n);
        int left = MsUntil(deadline);
        if (left == 0) return Fail(WSAETIMEDOUT);
        WaitReady(true, std::min(left, kReceiveMs));
    }
    return true;
}

long CPrinterLink::Receive(char* buffer, std::size_t len, QbxClock::time_point deadline)
{
    if (!m_io) return Fail(WSAENOTSOCK), -1;
    for (;;) {
        if (g_nStopSignal) return Fail(WSAEINTR), -1;
        long n = m_io->Recv(buffer, len, 0);
        if (n >= 0) return n;
        if (n != -kSocketWouldBlock) return Fail(n), -1;
        // Nothing yet: wait a receive's time-out at most, and again while the
        // deadline allows, so a slow printer is waited for and a silent one is not
        // waited for for ever.
        int left = MsUntil(deadline);
        if (left == 0) return Fail(WSAETIMEDOUT), -1;
        WaitReady(false, std::min(left, kReceiveMs));
    }
}

void CPrinterLink::Close()
{
    if (!m_io) return;
    m_io->Shutdown(2);
    m_io->Close();
    m_io.reset();
}

void CPrinterLink::Finish(QbxClock::time_point deadline, std::string* answer)
{
    if (!m_io) return;
    m_io->Shutdown(1);
    char sink[4096];
    for (long n; (n = Receive(sink, sizeof sink, deadline)) > 0;)
        if (answer && answer->size() < kFinishKept)
            answer->append(sink, std::min(static_cast<std::size_t>(n), kFinishKept - answer->size()));
    Close();
}
