// The terminal check on POSIX systems.
#include "cli/Status.h"

#include <unistd.h>

bool IsTerminal(std::FILE* f) { return f && isatty(fileno(f)) != 0; }
