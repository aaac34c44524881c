// POSIX error values as the Windows Sockets numbers the program shows: one table for
// every errno a socket call can leave, used by the POSIX transport and by the tool.
#pragma once

// A POSIX errno value as a Windows Sockets number. 0 gives 0. An errno value that has no
// counterpart gives WSAENETDOWN (10050, "network subsystem failed"): it is a hard error
// the program reports and ends on, and it never collides with the numbers that have a
// meaning of their own (10004, 10056, 10060).
int MapSocketErrno(int err);
// A getaddrinfo result (EAI_...) as a Windows Sockets number; sysErrno is errno after
// the call, used for EAI_SYSTEM. Unknown values give WSANO_RECOVERY (11003).
int MapAddrInfoError(int eaiError, int sysErrno);
