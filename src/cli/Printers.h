// The tool's printers command, and --printer by a DNS-SD service name.
#pragma once

#include "platform/printer_list.h"

#include <cstdio>
#include <string>
#include <vector>

// Lists the printers found: waitSeconds > 0 looks that long; otherwise until every
// source has given what it had (at most kDefaultPrinterWait seconds). Returns the exit
// status (0, also when none was found: that is said on stderr).
constexpr int kDefaultPrinterWait = 10;
int RunPrinters(int waitSeconds, bool json);

// Writes the lines as text (name, model, address:port, where found; a title line first)
// or as one JSON array of objects.
void PrintPrintersText(std::FILE* out, const std::vector<PrinterLine>& lines);
void PrintPrintersJson(std::FILE* out, const std::vector<PrinterLine>& lines);

// True when text cannot be HOST or HOST:PORT and so names a DNS-SD service ("Office
// Laser", "Brother HL-L8360CDW (3)"): a blank, parentheses, or any other character that
// no host name or address holds.
bool LooksLikeServiceName(const std::string& text);
