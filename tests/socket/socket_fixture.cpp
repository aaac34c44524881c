#include "socket_fixture.h"

TestShell::TestShell()
{
    frame.CreateHandleOnly();
    app.m_pMainWnd = &frame;
}
