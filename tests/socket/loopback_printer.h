// A loopback "printer" for the socket tests: a TCP port on 127.0.0.1 that accepts and
// then does only what the test tells it. Standard types only, so the Windows build can
// make it with WinSock (loopback_printer.cpp) beside the layer's headers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The printer's end of one connection; -1 for none.
using PeerHandle = std::intptr_t;

class LoopbackPrinter {
public:
    // listening=false: bound only, so a connection is refused.
    explicit LoopbackPrinter(bool listening = true);
    ~LoopbackPrinter();
    LoopbackPrinter(const LoopbackPrinter&) = delete;
    LoopbackPrinter& operator=(const LoopbackPrinter&) = delete;

    unsigned Port() const { return m_port; }
    // Takes the next connection (waits for it); -1 on failure.
    PeerHandle Accept();
    // Reads from the peer until it closes the connection.
    static std::string ReadAll(PeerHandle peer);
    // Sends the bytes; how many went, -1 on failure.
    static long Send(PeerHandle peer, const std::string& bytes);
    // Ends the printer's sending side: the socket under test sees the end of the data.
    static void ShutdownSending(PeerHandle peer);

private:
    PeerHandle m_listener = -1;
    unsigned m_port = 0;
    std::vector<PeerHandle> m_peers;
};
