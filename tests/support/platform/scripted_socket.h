// A scripted transport for sockets, for tests: the network answers what the test queued.
//
// Contract:
// - Install with SetSocketIoFactory(script.Factory()); every socket created afterwards
//   takes its results from this script, in the order queued, across connections. The
//   script must outlive those sockets (the factory and each transport share its state).
// - Connect and receive wait ("would block") until a queued step is there and its
//   readyAtMs (a time of GetClock()) has come; with nothing queued they wait until the
//   test queues something (Queue* may be called from another thread: it wakes the wait).
//   With a ManualClock a step ready later makes the blocking wait move the clock to it.
// - Send accepts every byte unless a send step is queued; a step limits one call to
//   maxBytes, or fails it with minus a Windows Sockets number.
// - Results are what the system's transport gives: 0, byte counts, or minus a Windows
//   Sockets number (-WSAECONNREFUSED).
#pragma once

#include "platform/socket.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ScriptedSocketScript {
public:
    ScriptedSocketScript();
    ~ScriptedSocketScript();

    SocketIoFactory Factory();

    // The next Create's result: 0 or minus a Windows Sockets number (default 0).
    void QueueOpen(long result);
    // The next connect: 0 connected, or minus a Windows Sockets number; complete from
    // readyAtMs on.
    void QueueConnect(long result, std::int64_t readyAtMs = 0);
    // Bytes for receive calls from readyAtMs on (split over calls as the buffer needs).
    // Empty data: the peer closed the connection (receive returns 0 once).
    void QueueReceive(const std::string& data, std::int64_t readyAtMs = 0);
    // A receive that fails with the Windows Sockets number err (10054).
    void QueueReceiveError(int err, std::int64_t readyAtMs = 0);
    // The next send call: accepts at most maxBytesOrNegError (>= 1) bytes, or fails (minus
    // a Windows Sockets number).
    void QueueSend(long maxBytesOrNegError, std::int64_t readyAtMs = 0);

    // What happened.
    std::string SentBytes() const;
    int OpenCount() const;
    int CloseCount() const;
    std::vector<int> Shutdowns() const;

    struct State;

private:
    std::shared_ptr<State> m_state;
};
