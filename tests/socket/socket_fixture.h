// Pieces the socket tests and the socket benchmark share: a hidden frame that is the
// application's main window, and a loopback "printer" that accepts and then does only
// what the test tells it.
#pragma once

#include "loopback_printer.h"
#include "platform/app.h"
#include "platform/wnd.h"

class CTestFrame : public CWnd {};
class CTestApp : public CWinApp {};

// The application object with a hidden frame as its main window.
struct TestShell {
    TestShell();
    CTestApp app;
    CTestFrame frame;
};
