// Names the command-line tool gives the printer's files: the stable name a scan keeps
// while it is on the printer (date, time and sequence number, because printers reuse
// sequence numbers once files are deleted), the dialog's batch name (display name with
// "_N" for duplicate number N, a position in today's listing), the local name `get`
// writes (the same rules as a batch saved from the dialog) and the local name `sync`
// writes (the stable name).
#pragma once

#include "directory/DirTable.h"

#include <string>
#include <vector>

// "007.TIF" for the first file of that display name, "007_1.TIF" for duplicate 1.
// Empty when the entry's name cannot make a file name.
std::string CliFileName(const DirEntry& e);

// Full local paths for `get` of the entries, in order: the dialog's batch naming with
// the chosen path FolderPrefix(folder) + ".TIF" (display name up to its ".", "_N" for duplicate N,
// the dialog's default extension), made unique within the batch. An entry whose name
// does not fit a path gets an empty text.
std::vector<std::string> GetDestPaths(const std::string& folder, const std::vector<const DirEntry*>& entries);

// The 14 date digits (YYYYMMDDhhmmss) of the entry's printer path, or empty when the
// path carries no complete date.
std::string EntryDateDigits(const DirEntry& e);

// The name that picks out this scan for as long as it is on the printer, whatever is
// deleted or added meanwhile: "2026-12-07_093005_007.TIF" (date, time, sequence part,
// extension), or the printer path of a scan whose path carries no date.
std::string StableName(const DirEntry& e);

// What a name given on the command line picks out in the listing.
struct NamePick {
    enum Kind {
        Found,        // one scan: index
        NotFound,     // none
        Ambiguous,    // several scans have this name: candidates
        DupNumbered,  // a duplicate-numbered name ("007_1.TIF"): candidates are the
                      // scans of that display name
    } kind = NotFound;
    int index = -1;
    std::vector<int> candidates;
};
// Looks want up among dir's records: by stable name or printer path first, then by
// display name ("007.TIF"), which counts only while exactly one scan has it. A name
// with a duplicate number is never taken: the number changes when a scan is deleted.
NamePick PickByName(const DirHeader& dir, const std::string& want);

// `sync`'s local file name: "2026-12-07_093005_007.TIF" (date, time, sequence part,
// extension, the printer's parts made safe by SafeFileStem); a file without a date
// keeps CliFileName(e).
std::string SyncFileName(const DirEntry& e);
