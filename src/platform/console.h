// The console of a program without windows (quillbox-cli): whether a stream is a
// terminal, its width, and the stop request (Ctrl+C; SIGTERM, or the console being
// closed). Standard types only; twins platform/posix/console.cpp and
// platform/win32/console.cpp.
//
// Contract:
// - IsTerminal(stream) for stdin, stdout and stderr; a Windows console counts, a pipe
//   or a file does not. On Windows a terminal stream is switched to UTF-8 output and
//   to the escape sequences the progress bar uses ("\r", "\033[K").
// - TerminalColumns gives the terminal's width in characters, 80 when it cannot tell.
// - InstallStopHandler: onStop(signalNumber) is called once per request (SIGINT 2 or
//   SIGTERM 15; on Windows Ctrl+C is 2, Ctrl+Break and closing the console 15). On POSIX
//   it runs in the signal handler, on Windows on a thread of the system's: it may only
//   set a flag and call WakeWait::Wake(). Writes to a closed pipe fail instead of ending
//   the program. On Windows a closed console (or a logoff, a shutdown) is held until the
//   program has ended, at most about 5 s (what Windows allows), so it stops cleanly.
// - CommandLineArguments gives the program's arguments in UTF-8, argv[0] first. On
//   POSIX they are argv as it is; on Windows they are read from the wide command line
//   (argv holds them in the ANSI code page, where a name like "Zo\xC3\xAB" or
//   "1234(\xC7\x8D1)" may arrive changed into another name).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

bool IsTerminal(std::FILE* stream);
int TerminalColumns(std::FILE* stream);
void InstallStopHandler(void (*onStop)(int signalNumber));
std::vector<std::string> CommandLineArguments(int argc, char** argv);
