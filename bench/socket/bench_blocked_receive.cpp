// How much CPU a receive costs while it waits 3 seconds for a printer that never answers.
// The wait should sleep, so the figure should be close to zero; a wait that polls or spins
// shows up here at once. The second run leaves a posted operation step in the queue during
// the wait, which the call must not keep waking up for.
#include "socket_fixture.h"

#include "app/QbxMessages.h"
#include "link/PrinterSocket.h"
#include "platform/msgqueue.h"

#include <time.h>

#include <chrono>
#include <cstdio>

namespace {

double CpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

bool Run(const char* name, bool busyQueue)
{
    ResetMessageQueue();
    TestShell shell;
    LoopbackPrinter printer;
    CPrinterSocket socket;
    socket.AttachToMainWindow();
    if (!socket.Create(0, SOCK_STREAM, "") || !socket.ConnectWithTimeout("127.0.0.1", printer.Port(), 2000) ||
        printer.Accept() < 0) {
        std::printf("%s: cannot connect to the loopback printer (error %d)\n", name, WSAGetLastError());
        return false;
    }
    if (busyQueue) PostMessage(shell.frame.m_hWnd, WM_QBX_IP_OP, QBX_CONNECT, 0);

    char buf[2048];
    double cpu0 = CpuMs();
    auto wall0 = std::chrono::steady_clock::now();
    int n = socket.ReceiveWithTimeout(buf, sizeof buf, 3000, 0);
    int err = WSAGetLastError();
    double cpu = CpuMs() - cpu0;
    double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall0).count();

    std::printf("%-28s result %d error %d  wall %8.1f ms  cpu %7.2f ms  (%.3f%% of one core)\n", name, n, err, wall,
                cpu, wall > 0 ? 100.0 * cpu / wall : 0.0);
    socket.Close();
    ResetMessageQueue();
    return true;
}

}  // namespace

int main()
{
    if (!AfxSocketInit()) {
        std::printf("sockets layer did not start\n");
        return 1;
    }
    std::printf("bench_blocked_receive: ReceiveWithTimeout(3000) on a printer that never answers\n");
    bool ok = Run("quiet queue", false);
    ok = Run("step left in the queue", true) && ok;
    return ok ? 0 : 1;
}
