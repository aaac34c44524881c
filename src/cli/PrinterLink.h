// The command-line tool's connection to the printer: a plain blocking TCP client
// whose every wait has a deadline. The dialogs' socket waits inside the window system's
// message pump and times its calls with window timers; a tool without windows needs
// neither, so it drives the system's transport (platform/socket_transport.h) directly with
// the plain wait (platform/wake_wait.h) and keeps only what matters to the user: the
// same per-call time-outs, the same Windows Sockets error numbers (and so the same texts
// from the string table) and a stop on Ctrl+C (SIGINT/SIGTERM).
//
// Contract:
// - Every call that fails returns false (Receive: -1) and leaves a Windows Sockets
//   error number in LastError(): the transport's own, a host name that cannot be
//   looked up 10022, a deadline or a per-call time-out 10060, a stop request 10004.
// - Connect tries for at most 2000 ms at a time and tries again after a time-out until
//   the deadline; a refusal or any other error ends it at once.
// - Receive waits up to 1000 ms at a time and waits again while the printer is only
//   slow, until data, the end of the connection (0) or the deadline.
// - SendAll sends every byte or fails; a partial send is continued, never restarted.
// - Close shuts both directions and closes; the destructor closes.
#pragma once

#include "platform/socket_transport.h"

#include <chrono>
#include <csignal>
#include <cstddef>
#include <memory>
#include <string>

using QbxClock = std::chrono::steady_clock;

class CWaitStatus;

// Set by the tool's stop handler; every wait gives up soon after it is set.
extern volatile std::sig_atomic_t g_nStopSignal;
// The stop handler: sets g_nStopSignal and wakes the waiting call at once.
void RequestStop(int signalNumber);
// Sleeps up to ms, or until a stop request.
void SleepUnlessStopped(int ms);

struct PrinterTarget {
    std::string host;  // dotted IPv4 address or host name
    int port = 3102;
    std::string bindIP;  // local address to bind to; empty: any
};

class CPrinterLink {
public:
    static constexpr int kConnectMs = 2000;
    static constexpr int kReceiveMs = 1000;

    CPrinterLink() = default;
    ~CPrinterLink() { Close(); }
    CPrinterLink(const CPrinterLink&) = delete;
    CPrinterLink& operator=(const CPrinterLink&) = delete;

    bool Connect(const PrinterTarget& target, QbxClock::time_point deadline);
    bool SendAll(const char* data, std::size_t len, QbxClock::time_point deadline);
    // Bytes received (> 0), 0 when the printer ended the connection, -1 on failure.
    long Receive(char* buffer, std::size_t len, QbxClock::time_point deadline);
    void Close();
    // Ends a connection that carried a job without an answer (a deletion): shuts the
    // sending side, reads and drops whatever the printer still sends until it closes
    // or the deadline, then closes. Closing at once with unread bytes pending would
    // reset the connection and could take the job with it. With answer, the first
    // kFinishKept bytes read are kept there (what the printer said to the job).
    static constexpr std::size_t kFinishKept = 64 * 1024;
    void Finish(QbxClock::time_point deadline, std::string* answer = nullptr);

    bool IsOpen() const { return m_io != nullptr; }
    // Told after every slice of a wait for the printer (the status line); not owned.
    void SetWaitStatus(CWaitStatus* wait) { m_pWait = wait; }
    int LastError() const { return m_nLastError; }

private:
    // Waits until the socket is ready or ms passed: 1 ready, 0 time-out or stop.
    int WaitReady(bool forWrite, int ms);
    bool Fail(int wsaError);
    bool Fail(long negError) { return Fail(static_cast<int>(-negError)); }

    std::unique_ptr<ISocketIo> m_io;
    int m_nLastError = 0;
    CWaitStatus* m_pWait = nullptr;
};

// The string-table text of a Windows Sockets error number ("" when it has none).
const char* SocketErrorText(int wsaError);
