// Local destination names of retrieved files: the path chosen in the Save As
// dialog, split into its parts and joined again with each file's own name.
#pragma once

#include "platform/wintypes.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Splits path into drive, folder, base name and extension. Each output that is
// not null receives at most MAX_PATH characters including the terminating NUL
// (a longer part is cut). drive: a drive letter and its colon ("C:") when the
// path starts with one, else empty. dir: up to and including the last "/" or
// "\". ext: from the last "." after the folder, the "." included, else empty.
// fname: what lies between. A null path gives four empty texts.
void SplitPath(const char* path, char* drive, char* dir, char* fname, char* ext);

// A part of a local file name made from the printer's text, safe in every folder:
// each byte that is not part of UTF-8, each control character and each of the
// characters < > : " / \ | ? * becomes "%" and its two hexadecimal digits ("a<b"
// gives "a%3Cb"), so names that differ on the printer still differ on disk, and
// Windows, FAT and SMB folders take them. Anything else is kept as it is.
std::string SafeFileStem(const std::string& text);

// Works out a file's destination from the chosen path. With singleFile the
// chosen path is used unchanged. Otherwise the base name gets the entry's
// display name up to its first "." (the whole name when it has none) and, when
// dupNumber is not empty, "_" and dupNumber, both made safe by SafeFileStem; the
// chosen drive, folder and extension stay. A result that Windows would take for a
// device (NUL, CON, AUX, PRN, COM0-9, LPT0-9, before the first ".") gets "_" after its
// base name ("NUL_.TIF"), and a base name that would end the name in a blank ends in
// "%20". destPath (MAX_PATH) receives the full path, destName
// (MAX_PATH) the file name with extension. Returns FALSE, with both outputs
// empty, when the chosen path is null or empty or the result would be longer
// than MAX_PATH - 1 characters: a cut name would be a different file.
// name and dupNumber may be null (empty).
BOOL BuildDestPath(const char* chosenPath, BOOL singleFile, const char* name, const char* dupNumber, char* destPath,
                   char* destName);

// One file of a batch: its display name and duplicate number as the listing gave them.
struct DestRequest {
    std::string name;
    std::string dupNumber;
};

// One file's destination: full path and file name with extension.
struct DestFile {
    std::string path;
    std::string name;
    // Something was at path when the batch was checked, and the user agreed to
    // overwrite it: only then may the copy replace what it finds there.
    bool replaces = false;
    // With replaces: the identity (device or volume, file number) of what was there,
    // the one file the user is asked about and may agree to lose.
    std::optional<std::pair<std::uint64_t, std::uint64_t>> existing;
};

// How a folder compares file names: two names with equal keys may be one file there.
// The program passes the platform's FileNameKey (platform/system.h); any pure function
// of the name will do.
using NameKeyFn = std::string (*)(const std::string& name);

// Works out the destinations of a whole batch, in batch order, so that no two files
// share one: each file first gets the name BuildDestPath gives it; a file whose name
// an earlier file of the batch already has gets instead the first "_N" (N = 1, 2, ...)
// in place of its duplicate number that no file of the batch has or would get by
// itself. Names are compared by nameKey (as the folder's file system may compare them:
// without regard to case, on Windows as NTFS does), so no two files of a batch are one
// file on disk. With singleFile only the first request counts. Returns FALSE, with out
// empty and *refused (when not null) the index of the request, when a name does not
// fit (see BuildDestPath).
BOOL BuildBatchDestPaths(const char* chosenPath, BOOL singleFile, const std::vector<DestRequest>& requests,
                         NameKeyFn nameKey, std::vector<DestFile>& out, std::size_t* refused = nullptr);
