// The tool's four commands. Each returns the process's exit status.
#pragma once

#include "cli/PrinterLink.h"

#include <string>
#include <vector>

// Exit statuses.
constexpr int QBX_EXIT_OK = 0;       // everything asked was done
constexpr int QBX_EXIT_FILES = 1;    // one or more files failed (a line each on stderr)
constexpr int QBX_EXIT_USAGE = 2;    // bad arguments or settings
constexpr int QBX_EXIT_PRINTER = 3;  // the printer could not be reached or listed
constexpr int QBX_EXIT_REFUSED = 4;  // the printer refused the listing (an error on its back channel)
// A stop by SIGINT/SIGTERM during work ends with 128 + the signal's number.

struct CliCommon {
    PrinterTarget target;
    std::string userID;
    int timeoutSeconds = 600;  // whole command (each round of sync --every); 0: none
    int verbosity = 0;         // -1 quiet, 0 normal, 1 verbose
    bool terminal = false;     // stderr is a terminal: show the progress bar
    int sortKey = 0;           // 105 name, 106 size, 107 date; the settings' SortBy by default
    // A file is deleted on the printer only after two listings this many seconds apart
    // showed it at one size (cli/Settle.h).
    int settleSeconds = 10;
    bool pdf = false;  // get and sync save each scan as a PDF (its TIFF when it cannot be one)
};

int RunList(const CliCommon& c, bool json);
// shortNames: the dialog's batch names (007.TIF, 007_1.TIF) instead of the stable names.
int RunGet(const CliCommon& c, const std::string& folder, const std::vector<std::string>& names, bool deleteAfter,
           bool overwrite, bool shortNames);
int RunDelete(const CliCommon& c, const std::vector<std::string>& names, bool yes);
int RunSync(const CliCommon& c, const std::string& folder, bool deleteAfter, int everySeconds);
