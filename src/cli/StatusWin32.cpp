// The terminal check on Windows: a console, not a file or a pipe.
#include "cli/Status.h"

#include <io.h>

bool IsTerminal(std::FILE* f) { return f && _isatty(_fileno(f)) != 0; }
