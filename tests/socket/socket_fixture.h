// Pieces the socket tests and the socket benchmark share: a hidden frame that is the
// application's main window, and a loopback "printer" that accepts and then does only
// what the test tells it.
#pragma once

#include "platform/app.h"
#include "platform/wnd.h"

#include <string>
#include <vector>

class CTestFrame : public CWnd {};
class CTestApp : public CWinApp {};

// The application object with a hidden frame as its main window.
struct TestShell {
    TestShell();
    CTestApp app;
    CTestFrame frame;
};

// A TCP port on 127.0.0.1. listening=false: bound only, so a connection is refused.
class LoopbackPrinter {
public:
    explicit LoopbackPrinter(bool listening = true);
    ~LoopbackPrinter();
    LoopbackPrinter(const LoopbackPrinter&) = delete;
    LoopbackPrinter& operator=(const LoopbackPrinter&) = delete;

    unsigned Port() const { return m_port; }
    // Takes the next connection (waits for it); the peer's descriptor, -1 on failure.
    int Accept();
    // Reads from the peer until it closes the connection.
    static std::string ReadAll(int peer);

private:
    int m_fd = -1;
    unsigned m_port = 0;
    std::vector<int> m_peers;
};
