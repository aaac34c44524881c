// The POSIX twin of the console: isatty, TIOCGWINSZ and signal handlers.
#include "platform/console.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

void (*g_onStop)(int) = nullptr;

void OnSignal(int sig)
{
    if (g_onStop) g_onStop(sig);
}

}  // namespace

bool IsTerminal(std::FILE* stream) { return stream && ::isatty(::fileno(stream)) != 0; }

int TerminalColumns(std::FILE* stream)
{
    winsize ws{};
    return stream && ::ioctl(::fileno(stream), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 ? ws.ws_col : 80;
}

void InstallStopHandler(void (*onStop)(int))
{
    g_onStop = onStop;
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: a waiting poll() returns at once
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

std::vector<std::string> CommandLineArguments(int argc, char** argv)
{
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");
    return args;
}
