// Names the command-line tool gives the printer's files: the name a file is known by
// on the command line (the dialog's batch name: display name with "_N" for duplicate
// number N), the local name `get` writes (the same rules as a batch saved from the
// dialog) and the local name `sync` writes (date, time and sequence number, because
// printers reuse sequence numbers once files are deleted).
#pragma once

#include "directory/DirTable.h"

#include <string>
#include <vector>

// "007.TIF" for the first file of that display name, "007_1.TIF" for duplicate 1.
// Empty when the entry's name cannot make a file name.
std::string CliFileName(const DirEntry& e);

// Full local paths for `get` of the entries, in order: the dialog's batch naming with
// the chosen path "<folder>/.TIF" (display name up to its ".", "_N" for duplicate N,
// the dialog's default extension), made unique within the batch. An entry whose name
// does not fit a path gets an empty text.
std::vector<std::string> GetDestPaths(const std::string& folder, const std::vector<const DirEntry*>& entries);

// The 14 date digits (YYYYMMDDhhmmss) of the entry's printer path, or empty when the
// path carries no complete date.
std::string EntryDateDigits(const DirEntry& e);

// `sync`'s local file name: "2026-12-07_093005_007.TIF" (date, time, sequence part,
// extension); a file without a date keeps CliFileName(e).
std::string SyncFileName(const DirEntry& e);
