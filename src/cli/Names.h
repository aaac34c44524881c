// Names the command-line tool gives the printer's files: the name a file is known by
// on the command line (the dialog's batch name: display name with "_N" for duplicate
// number N), the local name `get` writes (the same rules as a batch saved from the
// dialog) and the local name `sync` writes (date, time and sequence number, because
// printers reuse sequence numbers once files are deleted).
#pragma once

#include "directory/DirTable.h"

#include <string>

// "007.TIF" for the first file of that display name, "007_1.TIF" for duplicate 1.
// Empty when the entry's name cannot make a file name.
std::string CliFileName(const DirEntry& e);

// Full local path of the entry in folder for `get`: folder + "/" + CliFileName(e).
// Empty when the result would be too long for a path.
std::string GetDestPath(const std::string& folder, const DirEntry& e);

// The 14 date digits (YYYYMMDDhhmmss) of the entry's printer path, or empty when the
// path carries no complete date.
std::string EntryDateDigits(const DirEntry& e);

// `sync`'s local file name: "2026-12-07_093005_007.TIF" (date, time, sequence part,
// extension); a file without a date keeps CliFileName(e).
std::string SyncFileName(const DirEntry& e);
