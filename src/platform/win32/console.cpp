// The Windows twin of the console: console handles, and SetConsoleCtrlHandler for the
// stop request.
#include "platform/console.h"

#include "platform/win32/utf16.h"

#include <io.h>
#include <shellapi.h>
#include <windows.h>

#include <cstdlib>

namespace {

void (*g_onStop)(int) = nullptr;
// Set once the program ends. Windows ends a process as soon as its handler of a closed
// console (a logoff, a shutdown) returns, so that handler waits for this: the partial
// copy is removed and nothing more is deleted before the process goes.
HANDLE g_ended = nullptr;
// Windows waits about 5 s for such a handler, then ends the process anyway.
constexpr DWORD kCloseGraceMs = 4500;

void MarkEnded()
{
    if (g_ended) ::SetEvent(g_ended);
}

HANDLE ConsoleOf(std::FILE* stream)
{
    if (!stream) return INVALID_HANDLE_VALUE;
    int fd = ::_fileno(stream);
    if (fd < 0) return INVALID_HANDLE_VALUE;
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

BOOL WINAPI OnCtrl(DWORD type)
{
    if (!g_onStop) return FALSE;
    switch (type) {
    case CTRL_C_EVENT: g_onStop(2); return TRUE;
    case CTRL_BREAK_EVENT: g_onStop(15); return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        g_onStop(15);
        if (g_ended) ::WaitForSingleObject(g_ended, kCloseGraceMs);
        return TRUE;
    default: return FALSE;
    }
}

}  // namespace

bool IsTerminal(std::FILE* stream)
{
    HANDLE h = ConsoleOf(stream);
    DWORD mode = 0;
    if (h == INVALID_HANDLE_VALUE || !::GetConsoleMode(h, &mode)) return false;
    if (stream != stdin) {
        ::SetConsoleOutputCP(CP_UTF8);
        ::SetConsoleMode(h, mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
    return true;
}

int TerminalColumns(std::FILE* stream)
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    HANDLE h = ConsoleOf(stream);
    if (h == INVALID_HANDLE_VALUE || !::GetConsoleScreenBufferInfo(h, &info)) return 80;
    int cols = info.srWindow.Right - info.srWindow.Left + 1;
    return cols > 0 ? cols : 80;
}

void InstallStopHandler(void (*onStop)(int))
{
    g_onStop = onStop;
    if (!g_ended) {
        g_ended = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::atexit(MarkEnded);
    }
    ::SetConsoleCtrlHandler(OnCtrl, TRUE);
}

std::vector<std::string> CommandLineArguments(int argc, char** argv)
{
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> args;
    if (wide != nullptr) {
        for (int i = 0; i < count; ++i) args.push_back(Narrow(wide[i]));
        ::LocalFree(wide);
        return args;
    }
    for (int i = 0; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");
    return args;
}
